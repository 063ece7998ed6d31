// `tollamer-cli scan-tables FILE [--version 2000|2005|auto]`: opens the
// catalog, then rebuilds the data page lists of all tables by reading every
// page header of the file (the all-tables data scan), and prints each table
// with its number of data pages before and after the scan.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "engine/catalog/catalog_model.h"
#include "output/open_database.h"

namespace tollamer::cli {

struct ScanTablesOptions {
  std::string path;     // the first of files.paths
  DatabaseFiles files;  // every FILE given, and --backup-set
  std::string version = "auto";
};

// One line per table in ascending object id:
// "dbo.authors : 1 -> 2 data page(s)".
std::string ScanTablesListing(const Catalog& catalog, const std::map<uint32_t, size_t>& before,
                              const std::map<uint32_t, size_t>& after);

// Exit codes (cli_exit.h): 0 success, 1 the file could not be opened, 2 bad
// options, 3 tables the catalog counts rows for with no data page found.
int RunScanTables(const ScanTablesOptions& options);

}  // namespace tollamer::cli
