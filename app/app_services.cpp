#include "app/app_services.h"

#include "engine/catalog/sql2000/open_catalog2000.h"
#include "engine/catalog/sql2005/open_catalog_2005.h"

namespace tollamer::app {

CTollamerDoc::CatalogBuilder DefaultCatalogBuilder() {
  return [](CMdfDatabase& db, VersionSetting version) {
    switch (version) {
      case VersionSetting::kSql2000: OpenCatalog2000(db); break;
      case VersionSetting::kSql2005: sql2005::OpenCatalog2005(db); break;
      case VersionSetting::kNone: break;
    }
  };
}

CMainFrame::TableReader DefaultTableReader() {
  return [](CMdfDatabase&, VersionSetting, uint32_t, int32_t) { return TableGridPage{}; };
}

bool PageOwnerConflictShown() { return sql2005::ProcessPageOwnerConflict().IsSet(); }

}  // namespace tollamer::app
