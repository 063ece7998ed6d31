// `tollamer-cli import FILE --to sqlite:PATH | --to postgresql://…
// [--table NAME] [--version 2000|2005|auto]`: every recoverable row of
// every table (or of one) into a SQLite file or a PostgreSQL database.
#pragma once

#include <string>
#include "output/open_database.h"

#include "cli/data_commands.h"

namespace tollamer::cli {

struct ImportOptions {
  std::string path;     // the first of files.paths
  DatabaseFiles files;  // every FILE given, and --backup-set
  std::string to;
  TableChoice choice;  // --table, --schema
  std::string version = "auto";
  std::string schemaFile;  // --schema-file: CREATE TABLE statements for dropped tables
  bool deleted = false;  // also <table>_deleted tables
  bool force = false;    // replace tables that exist
  unsigned sessions = 0;  // --sessions: PostgreSQL connections loading tables at once
  std::string reportPath;  // --report: the run as JSON (data_report.h)
};

// Exit codes (cli_exit.h): 0 success, 1 the file or the target could not be
// opened or a table failed, 2 bad options or a target that is the input,
// 3 tables short or skipped, 4 no such table.
int RunImport(const ImportOptions& options);

}  // namespace tollamer::cli
