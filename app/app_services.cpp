#include "app/app_services.h"

namespace tollamer::app {

CTollamerDoc::CatalogBuilder DefaultCatalogBuilder() {
  return [](CMdfDatabase&, VersionSetting) {};
}

CMainFrame::TableReader DefaultTableReader() {
  return [](CMdfDatabase&, VersionSetting, uint32_t, int32_t) { return TableGridPage{}; };
}

}  // namespace tollamer::app
