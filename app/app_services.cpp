#include "app/app_services.h"

#include "engine/catalog/open/open_catalog.h"

namespace tollamer::app {

CTollamerDoc::CatalogBuilder DefaultCatalogBuilder() {
  return [](CMdfDatabase& db, VersionSetting version) { OpenCatalog(db, version); };
}

CMainFrame::TableReader DefaultTableReader() {
  return [](CMdfDatabase& db, VersionSetting version, uint32_t table_id, int32_t page) {
    return ShowTableData(db, version, table_id, page);
  };
}

}  // namespace tollamer::app
