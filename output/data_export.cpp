#include "output/data_export.h"

#include <set>

#include "output/csv_format.h"
#include "output/data_export_buffer.h"
#include "output/safe_file_name.h"
#include "output/sql_insert.h"

namespace tollamer {

std::vector<std::string> ColumnNames(const TableInfo& table) {
  std::vector<std::string> names;
  for (const auto& [colid, c] : table.columns) names.push_back(c.name);
  return names;
}

std::vector<const ColumnInfo*> ColumnList(const TableInfo& table) {
  std::vector<const ColumnInfo*> list;
  for (const auto& [colid, c] : table.columns) list.push_back(&c);
  return list;
}

std::string DataFileName(const TableInfo& table, DataFormat format) {
  return SafeFileNamePart(table.fullName) + (format == DataFormat::kCsv ? ".csv" : ".sql");
}

TableDataResult ExportTableData(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                                DataFormat format, const std::string& path,
                                const DataProgress& progress) {
  TableDataResult result;
  result.tableId = table_id;
  result.target = path;
  auto it = db.catalog.tables.find(table_id);
  if (it == db.catalog.tables.end()) {
    result.error = "not in the catalog";
    return result;
  }
  const TableInfo& table = it->second;
  result.tableName = table.fullName;
  result.catalogRows = table.rowCount;
  result.columnsInferred = table.columnsInferred;
  if (progress.tableStarted) progress.tableStarted(table);
  if (table.columns.empty()) {
    // Nothing to write; a loss only when the catalog counts rows for it.
    result.skipped = table.rowCount != 0;
    result.ok = !result.skipped;
    if (result.skipped) result.error = kNoColumnsError;
    result.target.clear();
    if (progress.tableDone) progress.tableDone(result);
    return result;
  }

  std::unique_ptr<BufferedOutput> out = BufferedOutput::Create(path, result.error);
  if (!out) return result;
  const std::vector<const ColumnInfo*> columns = ColumnList(table);
  const std::optional<IdentityInfo>& identity = table.constraints.identity;
  SqlInsertWriter sql(table.fullName, columns,
                      identity && table.columns.contains(identity->colid) && !table.columnsInferred);
  if (format == DataFormat::kCsv)
    AppendCsvHeader(out->Buffer(), ColumnNames(table));
  else
    out->Append(sql.Header());

  bool write_failed = false;
  bool cancelled = false;
  auto row = [&](const std::vector<TypedValue>& values) {
    if (progress.Cancelled()) {
      cancelled = true;
      return false;
    }
    if (format == DataFormat::kCsv)
      AppendCsvRow(out->Buffer(), values);
    else
      sql.AppendRow(out->Buffer(), values);
    if (!out->MaybeFlush()) {
      write_failed = true;
      return false;
    }
    return true;
  };
  bool walked = false;
  if (format == DataFormat::kCsv) {
    // CSV lines are made on worker threads, a batch of pages at a time, and
    // written here in order; cancelling is asked per batch.
    const TypedRowFormatter csv = [](const std::vector<TypedValue>& values, std::string& text) {
      AppendCsvRow(text, values);
    };
    walked = ForEachTypedRowBatch(
        db, version, table_id, csv,
        [&](const TypedRowBatch& batch) {
          if (progress.Cancelled()) {
            cancelled = true;
            return false;
          }
          out->Append(batch.text);
          if (!out->MaybeFlush()) {
            write_failed = true;
            return false;
          }
          return true;
        },
        result.stats, progress.pages);
  } else {
    walked = ForEachTypedRow(db, version, table_id, row, result.stats, progress.pages);
  }
  if (format == DataFormat::kSql) out->Append(sql.Footer());
  if (cancelled) {
    result.error = "cancelled";
  } else if (write_failed) {
    result.error = "write failed: " + out->Error();
  } else if (!walked && !result.stats.listed && table.rowCount != 0) {
    result.skipped = true;
    result.error = kNoDataPagesError;
  } else if (!out->Commit()) {
    result.error = "write failed: " + out->Error();
  } else {
    result.ok = true;
  }
  if (progress.tableDone) progress.tableDone(result);
  return result;
}

std::vector<TableDataResult> ExportTablesData(CMdfDatabase& db, VersionSetting version,
                                              const std::vector<uint32_t>& table_ids,
                                              DataFormat format, const std::string& folder,
                                              const DataProgress& progress) {
  std::vector<uint32_t> ids = table_ids;
  if (ids.empty())
    for (const auto& [id, t] : db.catalog.tables) ids.push_back(id);
  std::vector<TableDataResult> results;
  std::set<std::string> used;
  for (uint32_t id : ids) {
    if (progress.Cancelled()) break;
    auto it = db.catalog.tables.find(id);
    std::string name = it == db.catalog.tables.end()
                           ? std::to_string(id) + (format == DataFormat::kCsv ? ".csv" : ".sql")
                           : DataFileName(it->second, format);
    if (!used.insert(name).second) {
      name.insert(name.rfind('.'), "_" + std::to_string(id));
      used.insert(name);
    }
    std::optional<std::string> path = PathInFolder(folder, name);
    if (!path) {
      TableDataResult failed;
      failed.tableId = id;
      if (it != db.catalog.tables.end()) failed.tableName = it->second.fullName;
      failed.error = "no file name for the table";
      results.push_back(failed);
      if (progress.tableDone) progress.tableDone(failed);
      continue;
    }
    results.push_back(ExportTableData(db, version, id, format, *path, progress));
  }
  return results;
}

}  // namespace tollamer
