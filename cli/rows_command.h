// `tollamer-cli rows FILE --table NAME [--server-version V] [--page N |
// --all] [--format tsv|csv|json]` (the table may also be given as a second
// argument, and `--json` asks for one JSON object holding titles, rows and
// page counts): opens the file as the desktop program does and prints the
// column titles and the rows of one grid page (eight data pages) or of all
// of them, with the values export-data writes (complete, NULL apart from
// empty text): tab-separated lines (NULL as \N), CSV as export-data writes
// it, or a JSON array of objects keyed by column name (NULL as null,
// numbers as numbers). The grid page count goes to stderr.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/data_commands.h"
#include "engine/catalog/catalog_model.h"
#include "output/open_database.h"

namespace tollamer::cli {

struct RowsOptions {
  std::string path;     // the first of files.paths
  DatabaseFiles files;  // every FILE given, and --backup-set
  TableChoice choice;   // --table (dbo.name, name, or the object id), --schema; or the
                        // table given after the files
  std::string version = "auto";  // "2000", "2005" or "auto"
  int32_t page = 1;              // grid page, 1-based
  bool all = false;              // every grid page
  bool json = false;
  std::string format;            // "tsv" (the default), "csv" or "json"
};


// One line of tab-separated cells; tabs, line breaks and backslashes in a
// cell are written as \t, \n, \r and \\.
std::string TabLine(const std::vector<std::string>& cells);

// One CSV line (CR LF ended) of texts.
std::string CsvLine(const std::vector<std::string>& cells);

// Exit codes (cli_exit.h): 0 success, 1 the file could not be opened, 2 bad
// options, a page past the last, or stdout is the input file, 3 --all gave
// fewer rows than the catalog counts, 4 no such table.
int RunRows(const RowsOptions& options);

}  // namespace tollamer::cli
