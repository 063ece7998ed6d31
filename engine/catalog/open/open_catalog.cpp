#include "engine/catalog/open/open_catalog.h"

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/sql2000/format_profile2000.h"
#include "engine/catalog/sql2005/format_profile_2005.h"
#include "engine/pagestore/server_version.h"

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
  // The failing pages among those the catalog is read from: the boot page
  // and the system tables' pages.
  for (const auto& [page, check] : db.Store().CheckFailures().Pages())
    if (page == kBootPage || db.systemPages2000.Holds(page) || db.systemPages2005.Holds(page))
      db.catalog.damagedPages.push_back(page);
  return result;
}

}  // namespace tollamer
