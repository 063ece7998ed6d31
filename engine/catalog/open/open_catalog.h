// The open sequence of the chosen server version: the SQL 7.0/2000 or the
// SQL 2005/2008 catalog builder, or none when no version was chosen.
#pragma once

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"

namespace tollamer {

struct CatalogOpenResult {
  bool built = false;         // a builder ran
  bool usedFallback = false;  // the system tables were found by the whole-file scan
};

// Fills db's catalog from its system tables. The file must be open.
CatalogOpenResult OpenCatalog(CMdfDatabase& db, VersionSetting version);

}  // namespace tollamer
