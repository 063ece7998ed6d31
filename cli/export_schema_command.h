// `tollamer-cli export-schema FILE --out DIR`: opens the file as `open` does
// and writes its schema scripts into DIR, which must exist.
#pragma once

#include <string>
#include <vector>
#include "output/open_database.h"

namespace tollamer::cli {

struct ExportSchemaOptions {
  std::string path;     // the first of files.paths
  DatabaseFiles files;  // every FILE given, and --backup-set
  std::string outDir;
  std::string version = "auto";
  std::string kind = "all";  // tables, views, procs, funcs, types or all
  std::vector<std::string> objects;  // --object (repeatable): each into its own file
  std::vector<std::string> schemas;  // --schema (repeatable): only the objects of these
  std::string encoding = "utf8";
  bool force = false;  // replace script files that exist
};

// Prints each path written. Exit codes (cli_exit.h): 0 all written, 1 the
// file could not be opened, the folder cannot be made or a write failed, 2 bad
// options or an output that is the input, 3 tables whose columns are lost
// (scripted as a comment), 4 no object matched.
int RunExportSchema(const ExportSchemaOptions& options);

}  // namespace tollamer::cli
