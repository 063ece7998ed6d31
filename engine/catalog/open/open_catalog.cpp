#include "engine/catalog/open/open_catalog.h"

#include "engine/catalog/sql2000/open_catalog2000.h"
#include "engine/catalog/sql2005/open_catalog_2005.h"

namespace tollamer {

CatalogOpenResult OpenCatalog(CMdfDatabase& db, VersionSetting version) {
  switch (version) {
    case VersionSetting::kSql2000:
      return {true, OpenCatalog2000(db).usedFallback};
    case VersionSetting::kSql2005:
      return {true, sql2005::OpenCatalog2005(db).usedFallback};
    case VersionSetting::kNone:
      break;
  }
  return {};
}

}  // namespace tollamer
