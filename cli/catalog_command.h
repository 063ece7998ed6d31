// `tollamer-cli catalog FILE [--server-version 2000|2005|...|auto] [--json]`:
// opens the file, builds its catalog with the builder of the chosen server
// version and lists the tables with their row counts and columns, then the
// views, procedures, functions and user types, each by owner.name. The text
// is for reading ("11 tables", "dbo.sales: 21 rows"); the JSON holds
// numbers, booleans and null where those are meant.
#pragma once

#include <string>

#include "engine/catalog/catalog_model.h"
#include "output/open_database.h"

namespace tollamer::cli {

struct CatalogOptions {
  std::string path;     // the first of files.paths
  DatabaseFiles files;  // every FILE given, and --backup-set
  std::string version = "auto";  // "2000", "2005" or "auto"
  bool json = false;
};

// The listing and the JSON object, for one catalog.
std::string CatalogListing(const Catalog& catalog);
std::string CatalogJson(const Catalog& catalog);

// Returns the exit code: 0 success, 1 the file could not be opened, 2 a
// version that cannot be read yet or is not known.
int RunCatalog(const CatalogOptions& options);

}  // namespace tollamer::cli
