#include "cli/export_data_command.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>

#include "cli/cli_exit.h"
#include "cli/cli_messages.h"
#include "cli/open_command.h"
#include "cli/rows_command.h"
#include "engine/catalog/create_table_text.h"
#include "engine/catalog/table_lookup.h"
#include "engine/pagestore/backup_coverage.h"
#include "output/data_outcome.h"
#include "output/deleted_export.h"
#include "output/work_log.h"

namespace tollamer::cli {

namespace {

constexpr int kBarWidth = 30;

struct BarState {
  std::string table;
  std::chrono::steady_clock::time_point last{};
  bool shown = false;
};

void DrawBar(BarState& bar, uint64_t done, uint64_t total) {
  auto now = std::chrono::steady_clock::now();
  if (done != total && now - bar.last < std::chrono::milliseconds(100)) return;
  bar.last = now;
  const int filled = total ? static_cast<int>(done * kBarWidth / total) : kBarWidth;
  std::fprintf(stderr, "\r%-.40s [%s%s] %3d%%", bar.table.c_str(), std::string(filled, '#').c_str(),
               std::string(kBarWidth - filled, ' ').c_str(),
               total ? static_cast<int>(done * 100 / total) : 100);
  bar.shown = true;
}

void ClearBar(BarState& bar) {
  if (bar.shown) std::fprintf(stderr, "\r%*s\r", 40 + kBarWidth + 8, "");
  bar.shown = false;
}

}  // namespace

std::optional<DataCommandInput> OpenForDataCommand(CMdfDatabase& db, const std::string& path,
                                                   const std::string& version,
                                                   const std::string& table, int& exit_code) {
  std::optional<VersionChoice> choice = ParseVersionChoice(version);
  if (!choice) {
    std::fprintf(stderr, "tollamer-cli: unknown server version %s (2000, 2005 to 2025, or auto)\n",
                 version.c_str());
    exit_code = kExitUsage;
    return std::nullopt;
  }
  WorkLog log;
  std::optional<VersionSetting> setting = RunOpenFlow(db, path, *choice, log);
  if (!setting) {
    exit_code = kExitCannotRead;
    return std::nullopt;
  }
  DataCommandInput input;
  if (db.Store().Kind() == FileKind::kBackup)
    input.backupPagesMissing = MeasureBackupCoverage(db.Store()).PagesMissing();
  input.version = *setting;
  if (!table.empty()) {
    const TableInfo* t = FindTableByName(db.catalog, table);
    if (!t) {
      std::fprintf(stderr, "tollamer-cli: no table named %s\n", table.c_str());
      exit_code = kExitNoSuchTable;
      return std::nullopt;
    }
    input.tables.push_back(t->id);
  } else {
    for (const auto& [id, t] : db.catalog.tables) input.tables.push_back(id);
    if (input.tables.empty() && input.version == VersionSetting::kNone) {
      std::fprintf(stderr, "tollamer-cli: %s: no boot page and no system table pages: no catalog "
                           "to read tables from\n", path.c_str());
      exit_code = kExitLosses;
      return std::nullopt;
    }
  }
  return input;
}

DataProgress TerminalProgress() {
  DataProgress progress;
  const bool terminal = isatty(STDERR_FILENO) == 1;
  auto bar = std::make_shared<BarState>();
  if (terminal) {
    progress.tableStarted = [bar](const TableInfo& t) {
      bar->table = t.fullName;
      bar->last = {};
    };
    progress.pages = [bar](uint64_t done, uint64_t total) { DrawBar(*bar, done, total); };
  }
  progress.tableDone = [bar](const TableDataResult& r) {
    ClearBar(*bar);
    std::string line = (r.tableName.empty() ? std::to_string(r.tableId) : r.tableName) + ": ";
    if (r.ok) {
      line += std::to_string(r.stats.rows) + " rows";
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
    if (r.ok && r.stats.rows < r.catalogRows)
      line += " (the catalog counts " + std::to_string(r.catalogRows) + ")";
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  };
  return progress;
}

int ReportResults(const std::vector<TableDataResult>& results, const char* verb,
                  uint64_t backup_pages_missing) {
  const DataOutcome outcome = SummarizeOutcome(results);
  uint64_t skipped_pages = 0;
  size_t damaged = 0;
  bool refused = false;
  for (const TableDataResult& r : results) {
    skipped_pages += r.stats.pagesSkipped;
    if (r.ok && r.stats.pagesSkipped) ++damaged;
    if (!r.ok && r.error == platform::kOutputIsInputText) refused = true;
  }
  std::printf("%zu tables, %llu rows %s, %zu failed", results.size(),
              static_cast<unsigned long long>(outcome.rows), verb, outcome.failed);
  if (outcome.shortTables)
    std::printf(", %zu short (%llu rows missing)", outcome.shortTables,
                static_cast<unsigned long long>(outcome.rowsMissing));
  if (outcome.skipped) std::printf(", %zu skipped", outcome.skipped);
  if (damaged)
    std::printf(", %zu damaged (%llu pages skipped)", damaged,
                static_cast<unsigned long long>(skipped_pages));
  std::printf("\n");
  std::fflush(stdout);
  for (const TableDataResult& r : results)
    if (std::string line = OutcomeLine(r); !line.empty())
      std::fprintf(stderr, "tollamer-cli: %s\n", line.c_str());
  if (refused) return kExitUsage;
  if (outcome.failed) return kExitCannotRead;
  if (!outcome.Complete()) {
    std::fprintf(stderr, "tollamer-cli: incomplete: %zu table(s) short of their catalog row "
                         "counts, %zu skipped", outcome.shortTables, outcome.skipped);
    if (outcome.inferred) std::fprintf(stderr, ", %zu without column definitions", outcome.inferred);
    std::fprintf(stderr, "\n");
    return kExitLosses;
  }
  if (backup_pages_missing) {
    std::fprintf(stderr, "tollamer-cli: incomplete: the backup lacks %llu allocated pages (another "
                         "file of a striped backup, or lost): rows on them are not found\n",
                 static_cast<unsigned long long>(backup_pages_missing));
    return kExitLosses;
  }
  return kExitComplete;
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
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    std::fprintf(stderr, "tollamer-cli: cannot read %s\n", path.c_str());
    return std::nullopt;
  }
  std::vector<TableInfo> tables = ParseCreateTables(text.str());
  if (tables.empty()) {
    std::fprintf(stderr, "tollamer-cli: %s holds no CREATE TABLE statement with known types\n",
                 path.c_str());
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

int RunExportData(const ExportDataOptions& options) {
  DataFormat format;
  if (options.format == "csv") {
    format = DataFormat::kCsv;
  } else if (options.format == "sql") {
    format = DataFormat::kSql;
  } else {
    std::fprintf(stderr, "tollamer-cli: unknown format %s (csv or sql)\n", options.format.c_str());
    return kExitUsage;
  }
  if (RefuseOutputOverInput(options.path, options.outDir)) return kExitUsage;
  std::optional<std::vector<TableInfo>> described = ReadSchemaFile(options.schemaFile);
  if (!described) return kExitUsage;
  std::error_code ec;
  std::filesystem::create_directories(options.outDir, ec);
  if (!std::filesystem::is_directory(options.outDir, ec)) {
    std::fprintf(stderr, "tollamer-cli: %s is not a folder\n", options.outDir.c_str());
    return kExitCannotRead;
  }
  CliMessages messages;
  CMdfDatabase db(messages);
  int exit_code = 0;
  std::optional<DataCommandInput> input =
      OpenForDataCommand(db, options.path, options.version, options.table, exit_code);
  if (!input) return exit_code;
  std::vector<TableDataResult> results =
      ExportTablesData(db, input->version, input->tables, format, options.outDir,
                       TerminalProgress());
  const int live = ReportResults(results, "written", input->backupPagesMissing);
  if (!options.deleted) return live;
  const int deleted = ReportDeleted(ExportDeletedRows(
      db, input->version, options.table.empty() ? std::vector<uint32_t>{} : input->tables,
      options.outDir, DeletedProgress(), {true, std::move(*described)}));
  return live != kExitComplete ? live : deleted;
}

}  // namespace tollamer::cli
