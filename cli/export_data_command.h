// `tollamer-cli export-data FILE --out DIR [--table NAME] [--format csv|sql]
// [--version 2000|2005|auto]`: every recoverable row of every table (or of
// one) into a CSV file or an INSERT script per table (data_commands.h holds
// what it shares with `import`).
#pragma once

#include <string>
#include "output/open_database.h"

#include "cli/data_commands.h"

namespace tollamer::cli {

struct ExportDataOptions {
  std::string path;     // the first of files.paths
  DatabaseFiles files;  // every FILE given, and --backup-set
  std::string outDir;
  TableChoice choice;  // --table, --schema
  std::string format = "csv";
  std::string version = "auto";
  std::string schemaFile;  // --schema-file: CREATE TABLE statements for dropped tables
  bool deleted = false;  // also <table>.deleted.csv
  bool force = false;    // replace files that exist
  std::string reportPath;  // --report: the run as JSON (data_report.h)
};

// Exit codes in cli_exit.h.
int RunExportData(const ExportDataOptions& options);

}  // namespace tollamer::cli
