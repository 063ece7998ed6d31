#include "output/db_import.h"

#include <deque>

#include "engine/rows/typed_rows.h"
#include "output/postgres_target.h"
#include "output/sqlite_target.h"
#include "output/suspect_rows.h"

namespace tollamer {

std::pair<std::string, std::string> OwnerAndName(const std::string& full_name) {
  size_t dot = full_name.find('.');
  if (dot == std::string::npos) return {"dbo", full_name};
  return {full_name.substr(0, dot), full_name.substr(dot + 1)};
}

std::string FlatTableName(const std::string& full_name) {
  auto [owner, name] = OwnerAndName(full_name);
  return owner + "_" + name;
}

std::string QuotedIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    if (c != '\0') out.push_back(c);
  }
  return out + "\"";
}

bool ImportTarget::AddRow(const std::vector<TypedValue>& row) {
  one_row_.clear();
  PrepareRow(row, one_row_);
  return AddPreparedRows(one_row_, 1);
}

std::unique_ptr<ImportTarget> OpenImportTarget(const std::string& spec, std::string& error,
                                               unsigned sessions) {
  constexpr std::string_view kSqlite = "sqlite:";
  if (spec.rfind(kSqlite, 0) == 0) return OpenSqliteTarget(spec.substr(kSqlite.size()), error);
  if (spec.rfind("postgresql://", 0) == 0 || spec.rfind("postgres://", 0) == 0 ||
      spec.find('=') != std::string::npos)
    return OpenPostgresTarget(spec, error, sessions);
  error = "unknown import target " + spec + " (sqlite:PATH or postgresql://...)";
  return nullptr;
}

std::vector<TableDataResult> ImportTables(CMdfDatabase& db, VersionSetting version,
                                          const std::vector<uint32_t>& table_ids,
                                          ImportTarget& target, const DataProgress& progress) {
  std::vector<uint32_t> ids = table_ids;
  if (ids.empty())
    for (const auto& [id, t] : db.catalog.tables) ids.push_back(id);
  std::vector<TableDataResult> results;
  // Results not yet told, in table order, some of tables whose rows are
  // still loading (their outcomes from the target's NextOutcome, which
  // tells them in the same order).
  struct Untold {
    TableDataResult result;
    bool loading = false;
    bool quiet = false;  // not for progress.tableDone
  };
  std::deque<Untold> untold;
  const auto tell = [&](bool wait) {
    while (!untold.empty()) {
      auto& [result, loading, quiet] = untold.front();
      if (loading) {
        const std::optional<bool> ok = target.NextOutcome(wait, result.error);
        if (!ok) return;
        result.ok = *ok;
      }
      if (progress.tableDone && !quiet) progress.tableDone(result);
      results.push_back(std::move(result));
      untold.pop_front();
    }
  };
  for (uint32_t id : ids) {
    if (progress.Cancelled()) break;
    TableDataResult result;
    result.tableId = id;
    auto it = db.catalog.tables.find(id);
    bool loading = false;
    if (it == db.catalog.tables.end()) {
      result.error = kNotInCatalogError;
      untold.push_back({std::move(result), false, true});
      tell(false);
      continue;
    }
    const TableInfo& table = it->second;
    result.tableName = table.fullName;
    result.catalogRows = table.rowCount;
    result.columnsInferred = table.columnsInferred;
    if (progress.tableStarted) progress.tableStarted(table);
    if (table.columns.empty()) {
      // Nothing to import; a loss only when the catalog counts rows for it.
      result.skipped = table.rowCount != 0;
      result.ok = !result.skipped;
      if (result.skipped) result.error = kNoColumnsError;
    } else if (!target.BeginTable(table, result.target)) {
      result.error = target.Error();
    } else {
      bool failed = false;
      bool cancelled = false;
      // Rows are decoded and prepared for the target on worker threads
      // while this one sends them, a batch at a time.
      const bool walked = ForEachTypedRowBatch(
          db, version, id,
          [&target](const std::vector<TypedValue>& values, std::string& batch) {
            target.PrepareRow(values, batch);
          },
          [&](const TypedRowBatch& batch) {
            if (progress.Cancelled()) {
              cancelled = true;
              return false;
            }
            if (target.AddPreparedRows(batch.text, batch.rowCount)) return true;
            failed = true;
            return false;
          },
          result.stats, progress.pages);
      if (cancelled) {
        result.error = kCancelledError;
        target.AbortTable();
      } else if (failed) {
        result.error = target.Error();
        target.AbortTable();
      } else if (!walked && !result.stats.listed && table.rowCount != 0) {
        result.skipped = true;
        result.error = kNoDataPagesError;
        target.AbortTable();
      } else if (const bool suspect = !result.stats.suspectRows.empty();
                 !(suspect ? target.EndTable() : target.EndTableQueued(loading))) {
        // A table with suspect rows waits for its rows: its suspect table
        // is made only when they are in.
        result.error = target.Error();
        target.AbortTable();
      } else if (suspect) {
        result.ok = ImportSuspectRows(table, result.stats.suspectRows, target,
                                      result.suspectTarget, result.error);
      } else {
        result.ok = !loading;
      }
    }
    untold.push_back({std::move(result), loading, false});
    tell(false);
  }
  tell(true);
  // A table that kept no row apart this time drops the suspect table an
  // earlier run left for it (its own table was replaced with --force), so
  // that no suspect row stands beside rows it does not belong to.
  for (TableDataResult& r : results)
    if (r.ok && r.suspectTarget.empty() && !target.DropLeftTable(r.tableName + kSuspectTableSuffix)) {
      r.ok = false;
      r.error = target.Error();
    }
  return results;
}

}  // namespace tollamer
