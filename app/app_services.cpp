#include "app/app_services.h"

#include "engine/catalog/open/open_catalog.h"
#include "engine/catalog/sql2005/page_owner_2005.h"

namespace tollamer::app {

CTollamerDoc::CatalogBuilder DefaultCatalogBuilder() {
  return [](CMdfDatabase& db, VersionSetting version) { OpenCatalog(db, version); };
}

CMainFrame::TableReader DefaultTableReader() {
  return [](CMdfDatabase&, VersionSetting, uint32_t, int32_t) { return TableGridPage{}; };
}

bool PageOwnerConflictShown() { return sql2005::ProcessPageOwnerConflict().IsSet(); }

}  // namespace tollamer::app
