#include "engine/catalog/open/open_catalog.h"

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
  return profile ? profile->BuildCatalog(db) : CatalogOpenResult{};
}

}  // namespace tollamer
