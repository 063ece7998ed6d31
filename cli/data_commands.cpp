#include "cli/data_commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "cli/cli_exit.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/compressed_blocks.h"
#include "cli/progress_reporter.h"
#include "cli/open_command.h"
#include "engine/catalog/create_table_text.h"
#include "engine/catalog/table_lookup.h"
#include "engine/pagestore/file_gaps.h"
#include "engine/pagestore/page_start.h"
#include "output/open_log.h"
#include "output/data_outcome.h"
#include "output/work_log.h"
#include "platform/paths.h"

namespace tollamer::cli {

void TakeOldSchemaFileSpelling(TableChoice& choice, std::string& schema_file, bool deleted) {
  std::error_code ec;
  if (!deleted || !schema_file.empty() || choice.schemas.size() != 1 ||
      !std::filesystem::is_regular_file(choice.schemas.front(), ec))
    return;
  schema_file = choice.schemas.front();
  choice.schemas.clear();
}

bool IsSecondaryDataFile(const std::string& path) {
  platform::OpenResult opened = platform::OpenReadOnlyExclusive(path);
  if (!opened.file || HasCompressedBackupHead(*opened.file)) return false;
  const DataFileStart start = FindDataFileStart(*opened.file);
  return start.votes > 0 && start.fileId != kPrimaryFileId;
}

std::optional<std::vector<uint32_t>> ChooseTables(const Catalog& catalog, const TableChoice& choice) {
  TableSelection s = SelectTables(catalog, choice.tables, choice.schemas);
  if (!s.missing.empty()) {
    Error("no table named %s%s\n", s.missing.c_str(),
          choice.schemas.empty() ? "" : " in the schemas given");
    return std::nullopt;
  }
  if (!s.ambiguous.empty()) {
    std::string list;
    for (const std::string& c : s.candidates) list += (list.empty() ? "" : ", ") + c;
    Error("%s names several tables: %s (name one with its schema)\n", s.ambiguous.c_str(),
          list.c_str());
    return std::nullopt;
  }
  return s.ids;
}

namespace {

// "stripe 2 of 3 missing, stripe 3 of 3 missing", or empty.
std::string StripesMissing(const std::vector<uint16_t>& missing, uint16_t stripes) {
  std::string text;
  for (uint16_t family : missing)
    text += (text.empty() ? "" : ", ") + std::string("stripe ") + std::to_string(family) +
            " of " + std::to_string(stripes) + " missing";
  return text;
}
std::string StripesMissing(const PageStore& store) {
  return StripesMissing(store.MissingStripes(), store.Media().familyCount);
}

}  // namespace

std::vector<std::string> GapTexts(const std::vector<uint16_t>& missing_stripes, uint16_t stripes,
                                  const FileGaps& measured) {
  std::vector<std::string> gaps;
  const std::string stripes_missing = StripesMissing(missing_stripes, stripes);
  if (!stripes_missing.empty())
    gaps.push_back(stripes_missing + " (a file of the striped backup not given)");
  if (measured.LosesRows())
    for (std::string& text : FileGapTexts(measured)) gaps.push_back(std::move(text));
  return gaps;
}

std::vector<std::string> StoreGaps(const PageStore& store) {
  std::vector<std::string> gaps =
      GapTexts(store.MissingStripes(), store.Media().familyCount, MeasureFileGaps(store));
  if (const DecodedBackupFile* decoded = store.Decoded())
    if (const uint64_t lost = ReportLostBlocks(decoded->Losses()))
      gaps.push_back(Counted(lost, "compressed block", "compressed blocks") +
                     " of the backup did not decode");
  return gaps;
}

std::optional<DataCommandInput> OpenForDataCommand(CMdfDatabase& db, const DatabaseFiles& files,
                                                   const std::string& version,
                                                   const TableChoice& choice, int& exit_code) {
  std::optional<VersionChoice> version_choice = ParseVersionChoice(version);
  if (!version_choice) {
    Error("unknown server version %s (2000, 2005 to 2025, or auto)\n",
          version.c_str());
    exit_code = kExitUsage;
    return std::nullopt;
  }
  WorkLog log;
  const std::string path = files.Label();
  std::optional<VersionSetting> setting = RunOpenFlow(db, files, *version_choice, log);
  if (!setting) {
    exit_code = kExitCannotRead;
    return std::nullopt;
  }
  // A table whose object row is lost is kept under a made-up name: said
  // once, so that its file is not taken for a table of the database's.
  for (const auto& [id, t] : db.catalog.tables)
    if (t.fullName.ends_with(".table_" + std::to_string(id)))
      Error("name lost: recovered as %s\n", t.fullName.c_str());
  DataCommandInput input;
  input.fileGaps = StoreGaps(db.Store());
  input.catalogDamage = CatalogDamageText(db.catalog);
  input.version = *setting;
  if (choice.Narrowed()) {
    std::optional<std::vector<uint32_t>> ids = ChooseTables(db.catalog, choice);
    if (!ids) {
      exit_code = kExitNoSuchTable;
      return std::nullopt;
    }
    input.tables = std::move(*ids);
  } else {
    for (const auto& [id, t] : db.catalog.tables) input.tables.push_back(id);
    if (input.tables.empty() && input.version == VersionSetting::kNone) {
      const std::string stripes_missing = StripesMissing(db.Store());
      Error("%s: no boot page and no system table pages: no catalog "
            "to read tables from%s%s\n", path.c_str(), stripes_missing.empty() ? "" : "; ",
            stripes_missing.c_str());
      exit_code = kExitLosses;
      return std::nullopt;
    }
  }
  return input;
}

DataProgress TerminalProgress(bool results_to_stderr) {
  DataProgress progress;
  auto bar = std::make_shared<ProgressReporter>("");
  progress.tableStarted = [bar](const TableInfo& t) { bar->SetLabel(t.fullName); };
  progress.pages = [bar](uint64_t done, uint64_t total) { bar->Fraction(done, total); };
  progress.tableDone = [bar, results_to_stderr](const TableDataResult& r) {
    ClearProgressLine();
    std::string line = (r.tableName.empty() ? std::to_string(r.tableId) : r.tableName) + ": ";
    if (r.ok) {
      line += Counted(r.stats.rows, "row", "rows");
      if (r.stats.pagesSkipped)
        line += ", " + std::to_string(r.stats.pagesSkipped) + " of " +
                std::to_string(r.stats.pages) + " pages skipped";
      if (r.stats.pagesUnallocated)
        line += ", " + std::to_string(r.stats.pagesUnallocated) + " free pages left out";
      if (r.stats.rowsRejected) line += ", " + std::to_string(r.stats.rowsRejected) + " rows rejected";
    } else if (r.skipped) {
      line += "skipped (" + r.error + ")";
    } else {
      line += "FAILED (" + r.error + ")";
    }
    if (r.ok && !r.stats.suspectRows.empty())
      line += ", " + std::to_string(r.stats.suspectRows.size()) + " suspect rows kept apart";
    if (r.ok && r.stats.slotsLost)
      line += ", " + std::to_string(r.stats.slotsLost) + " records undecodable";
    if (r.ok && r.stats.rows < r.catalogRows)
      line += " (the catalog counts " + std::to_string(*r.catalogRows) + ")";
    if (results_to_stderr) {
      Note("%s\n", line.c_str());
    } else {
      std::printf("%s\n", line.c_str());
      std::fflush(stdout);
    }
  };
  return progress;
}

int ReportResults(const std::vector<TableDataResult>& results, const char* verb,
                  const DataCommandInput& input, bool results_to_stderr,
                  const PageCheckFailures* checks) {
  const std::vector<std::string>& file_gaps = input.fileGaps;
  const DataOutcome outcome = SummarizeOutcome(results);
  uint64_t skipped_pages = 0;
  size_t damaged = 0;
  bool refused = false;
  for (const TableDataResult& r : results) {
    skipped_pages += r.stats.pagesSkipped;
    if (r.ok && r.stats.pagesSkipped) ++damaged;
    if (!r.ok && r.error == platform::kOutputIsInputText) refused = true;
  }
  std::string summary = Counted(results.size(), "table", "tables") + ", " +
                        Counted(outcome.rows, "row", "rows") + " " + verb + ", " +
                        std::to_string(outcome.failed) + " failed";
  if (outcome.shortTables)
    summary += ", " + std::to_string(outcome.shortTables) + " short (" +
               std::to_string(outcome.rowsMissing) + " rows missing)";
  if (outcome.skipped) summary += ", " + std::to_string(outcome.skipped) + " skipped";
  if (damaged)
    summary += ", " + std::to_string(damaged) + " damaged (" + std::to_string(skipped_pages) +
               " pages skipped)";
  if (outcome.rowsSuspect)
    summary += ", " + std::to_string(outcome.rowsSuspect) + " suspect rows kept apart";
  if (checks)
    if (std::string line = PageCheckLine(*checks); !line.empty()) summary += "; " + line;
  if (results_to_stderr) {
    Note("%s\n", summary.c_str());
  } else {
    std::printf("%s\n", summary.c_str());
    std::fflush(stdout);
  }
  for (const TableDataResult& r : results)
    if (std::string line = OutcomeLine(r); !line.empty())
      Error("%s\n", line.c_str());
  TellFileGaps(file_gaps);
  if (!input.catalogDamage.empty()) Error("incomplete: %s\n", input.catalogDamage.c_str());
  if (refused) return kExitUsage;
  if (outcome.failed) return kExitCannotRead;
  if (!outcome.Complete()) {
    Error("incomplete: %s with rows lost or kept apart, %zu skipped",
          Counted(outcome.shortTables, "table", "tables").c_str(), outcome.skipped);
    if (outcome.inferred) Error(", %zu without column definitions", outcome.inferred);
    Error("\n");
    return kExitLosses;
  }
  // Rows written under a made-up table name are not the database's table.
  const size_t names_lost = static_cast<size_t>(std::count_if(
      results.begin(), results.end(), [](const TableDataResult& r) {
        return r.tableName.ends_with(".table_" + std::to_string(r.tableId));
      }));
  if (names_lost) {
    Error("incomplete: %s lost %s: rows written under table_<object id>\n",
          Counted(names_lost, "table", "tables").c_str(),
          names_lost == 1 ? "its name" : "their names");
    return kExitLosses;
  }
  return file_gaps.empty() && input.catalogDamage.empty() ? kExitComplete : kExitLosses;
}

bool TellFileGaps(const std::vector<std::string>& file_gaps, const char* lost) {
  for (const std::string& gap : file_gaps)
    Error("incomplete: %s: %s on the missing pages are not found\n", gap.c_str(), lost);
  return !file_gaps.empty();
}

bool ColumnsLost(const TableInfo& table) {
  return (table.columns.empty() || table.columnsInferred) && table.rowCount != 0;
}

bool TellCatalogDamage(const Catalog& catalog) {
  const std::string text = CatalogDamageText(catalog);
  if (!text.empty()) Error("incomplete: %s\n", text.c_str());
  return !text.empty();
}

DataProgress DeletedProgress() {
  DataProgress progress;
  progress.tableDone = [](const TableDataResult& r) {
    if (r.ok && r.stats.rows == 0 && r.stats.rowsRejected == 0) return;
    std::string line = r.tableName + ": ";
    if (r.ok)
      line += std::to_string(r.stats.rows) + " deleted rows, " +
              std::to_string(r.stats.rowsRejected) + " candidates rejected";
    else
      line += "deleted rows FAILED (" + r.error + ")";
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  };
  return progress;
}

std::optional<std::vector<TableInfo>> ReadSchemaFile(const std::string& path) {
  if (path.empty()) return std::vector<TableInfo>{};
  std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    Error("cannot read %s\n", path.c_str());
    return std::nullopt;
  }
  std::vector<TableInfo> tables = ParseCreateTables(text.str());
  if (tables.empty()) {
    Error("%s holds no CREATE TABLE statement with known types\n", path.c_str());
    return std::nullopt;
  }
  return tables;
}

int ReportDeleted(const std::vector<TableDataResult>& results) {
  uint64_t rows = 0;
  uint64_t rejected = 0;
  size_t tables = 0;
  size_t failed = 0;
  for (const TableDataResult& r : results) {
    rows += r.stats.rows;
    rejected += r.stats.rowsRejected;
    if (r.stats.rows) ++tables;
    if (!r.ok) ++failed;
  }
  std::printf("%llu deleted rows in %zu tables, %llu candidates rejected",
              static_cast<unsigned long long>(rows), tables,
              static_cast<unsigned long long>(rejected));
  if (failed) std::printf(", %zu failed", failed);
  std::printf("\n");
  std::fflush(stdout);
  return failed ? kExitCannotRead : kExitComplete;
}

}  // namespace tollamer::cli
