// `tollamer-cli export-data FILE --out DIR [--table NAME] [--format csv|sql]
// [--version 2000|2005|auto]`: every recoverable row of every table (or of
// one) into a CSV file or an INSERT script per table. Also the pieces that
// `import` shares: opening the file for the data commands, the table
// choice, the progress bar and the per-table report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"
#include "output/data_export.h"

namespace tollamer::cli {

struct ExportDataOptions {
  std::string path;
  std::string outDir;
  std::string table;  // empty: all tables
  std::string format = "csv";
  std::string version = "auto";
  std::string schemaFile;  // CREATE TABLE statements for dropped tables
  bool deleted = false;  // also <table>.deleted.csv
};

// The file opened and its catalog built with the chosen version, and the
// tables to process. Nothing (after a message on stderr) when the version
// is unknown (2), the file cannot be opened or holds no page (1), it has no
// catalog to read tables from (3) or the table is not found (4); `exit_code`
// then holds that code.
struct DataCommandInput {
  VersionSetting version = VersionSetting::kNone;
  std::vector<uint32_t> tables;
  // Allocated pages the opened backup does not hold: they went to another
  // file of a striped backup, or were lost; rows on them are not found.
  uint64_t backupPagesMissing = 0;
};
std::optional<DataCommandInput> OpenForDataCommand(CMdfDatabase& db, const std::string& path,
                                                   const std::string& version,
                                                   const std::string& table, int& exit_code);

// A progress bar on stderr while a table is written, when stderr is a
// terminal; the table's line on stdout when it is done.
DataProgress TerminalProgress();

// "dbo.authors: 23 rows" with the pages skipped, one line each; then the
// summary, and on stderr each table that is short, skipped or failed.
// Returns the exit code (cli_exit.h): 2 when an output was the input, 1 when
// an output could not be written, 3 when tables are short or skipped or
// the backup lacks allocated pages (`backup_pages_missing`, told on stderr).
int ReportResults(const std::vector<TableDataResult>& results, const char* verb,
                  uint64_t backup_pages_missing = 0);

// The deleted rows of each table: "dbo.authors: 3 deleted rows, 120
// candidates rejected" for each table with either, then the totals.
// Returns 1 when an output could not be written, else 0.
DataProgress DeletedProgress();
// The tables described in `path` (none when the path is empty); nothing,
// after a message, when the file cannot be read or describes no table.
std::optional<std::vector<TableInfo>> ReadSchemaFile(const std::string& path);
int ReportDeleted(const std::vector<TableDataResult>& results);

// Exit codes in cli_exit.h.
int RunExportData(const ExportDataOptions& options);

}  // namespace tollamer::cli
