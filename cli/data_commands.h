// The pieces export-data and import share: opening the file for a data
// command with its table choice, the progress bar, the per-table report and
// the deleted rows' report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/file_gaps.h"
#include "engine/pagestore/server_version.h"
#include "output/data_export.h"
#include "output/open_database.h"

namespace tollamer::cli {

// The file opened and its catalog built with the chosen version, and the
// tables to process. Nothing (after a message on stderr) when the version
// is unknown (2), the file cannot be opened or holds no page (1), it has no
// catalog to read tables from (3) or the table is not found (4); `exit_code`
// then holds that code.
// The tables a command is asked for: --table (repeatable: owner.name, name
// or object id, any letter case) and --schema (repeatable). Neither: every
// table.
struct TableChoice {
  std::vector<std::string> tables;
  std::vector<std::string> schemas;
  bool Narrowed() const { return !tables.empty() || !schemas.empty(); }
};

// Before --schema named schemas, `--deleted --schema FILE` named the CREATE
// TABLE script for dropped tables: a single --schema value that is an
// existing file is still taken so, with --deleted.
void TakeOldSchemaFileSpelling(TableChoice& choice, std::string& schema_file, bool deleted);

// True when `path` opens as a data file whose pages are those of a file
// other than the primary (a secondary file).
bool IsSecondaryDataFile(const std::string& path);

// The tables `choice` picks, or nothing after "no table named ..." or "...
// names several tables: ..." on stderr (exit 4 for both).
std::optional<std::vector<uint32_t>> ChooseTables(const Catalog& catalog, const TableChoice& choice);

// What the opened files lack, one text each, when rows may be lost with it:
// stripes not given, a cut that took allocated pages, a backup's lost head
// or tail, compressed blocks that did not decode.
std::vector<std::string> StoreGaps(const PageStore& store);
// The same from their parts (a conversion's): the stripes missing of
// `stripes`, and what the files lack.
std::vector<std::string> GapTexts(const std::vector<uint16_t>& missing_stripes, uint16_t stripes,
                                  const FileGaps& measured);

struct DataCommandInput {
  VersionSetting version = VersionSetting::kNone;
  std::vector<uint32_t> tables;
  // What the opened file lacks (FileGapTexts) when rows may be lost with
  // it: a cut that took allocated pages, a backup's lost head or tail,
  // allocated pages of a backup in another stripe or lost.
  std::vector<std::string> fileGaps;
  // The catalog's damaged pages (CatalogDamageText), empty when none.
  std::string catalogDamage;
};
std::optional<DataCommandInput> OpenForDataCommand(CMdfDatabase& db, const DatabaseFiles& files,
                                                   const std::string& version,
                                                   const TableChoice& choice, int& exit_code);

// A progress bar on stderr while a table is written (see ProgressReporter);
// the table's line on stdout when it is done (on stderr when stdout holds
// the data itself).
DataProgress TerminalProgress(bool results_to_stderr = false);

// "dbo.authors: 23 rows" with the pages skipped, one line each; then the
// summary, and on stderr each table that is short, skipped or failed.
// Returns the exit code (cli_exit.h): 2 when an output was the input, 1 when
// an output could not be written, 3 when tables are short or skipped or
// the file lacks pages (the input's file gaps, each told on stderr: a cut,
// a lost head or tail, stripes not given) or the catalog was read from
// damaged pages. `checks`: the pages read that failed their checksum or
// torn bits, counted in the summary.
int ReportResults(const std::vector<TableDataResult>& results, const char* verb,
                  const DataCommandInput& input, bool results_to_stderr = false,
                  const PageCheckFailures* checks = nullptr);

// Each of the file's gaps on stderr ("incomplete: the backup's head is
// missing: rows on the missing pages are not found"); true when it has any.
// `lost`: what the missing pages held that is not found.
bool TellFileGaps(const std::vector<std::string>& file_gaps, const char* lost = "rows");
// A table whose columns were lost (none known, or placeholders read off its
// records) while the catalog does not count it empty: the server's internal
// tables of newer files have neither columns nor rows.
bool ColumnsLost(const TableInfo& table);
// "incomplete: the catalog was read from 1 damaged page ..." on stderr;
// true when the catalog was read from damaged pages.
bool TellCatalogDamage(const Catalog& catalog);

// The deleted rows of each table: "dbo.authors: 3 deleted rows, 120
// candidates rejected" for each table with either, then the totals.
// Returns 1 when an output could not be written, else 0.
DataProgress DeletedProgress();
// The tables described in `path` (none when the path is empty); nothing,
// after a message, when the file cannot be read or describes no table.
std::optional<std::vector<TableInfo>> ReadSchemaFile(const std::string& path);
int ReportDeleted(const std::vector<TableDataResult>& results);

}  // namespace tollamer::cli
