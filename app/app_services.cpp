#include "app/app_services.h"

#include "engine/catalog/open/open_catalog.h"
#include "engine/catalog/sql2005/page_owner_2005.h"

namespace tollamer::app {

CTollamerDoc::CatalogBuilder DefaultCatalogBuilder() {
  return [](CMdfDatabase& db, VersionSetting version) { OpenCatalog(db, version); };
}

CMainFrame::TableReader DefaultTableReader() {
  return [](CMdfDatabase& db, VersionSetting version, uint32_t table_id, int32_t page) {
    return ShowTableData(db, version, table_id, page);
  };
}

bool PageOwnerConflictShown() { return sql2005::ProcessPageOwnerConflict().IsSet(); }

}  // namespace tollamer::app
