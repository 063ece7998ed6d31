#include "engine/catalog/open/open_catalog.h"

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/sql2000/format_profile2000.h"
#include "engine/catalog/sql2005/format_profile_2005.h"

namespace tollamer {

const FormatProfile* ProfileFor(VersionSetting setting) {
  switch (setting) {
    case VersionSetting::kSql2000: return &FormatProfile2000();
    case VersionSetting::kSql2005: return &sql2005::FormatProfile2005();
    case VersionSetting::kNone: break;
  }
  return nullptr;
}

CatalogOpenResult OpenCatalog(CMdfDatabase& db, VersionSetting version) {
  const FormatProfile* profile = ProfileFor(version);
  if (!profile) return {};
  const CatalogOpenResult result = profile->BuildCatalog(db);
  // Every page failing its check so far was read for the catalog.
  for (const auto& [page, check] : db.Store().CheckFailures().Pages()) db.catalog.damagedPages.push_back(page);
  return result;
}

}  // namespace tollamer
