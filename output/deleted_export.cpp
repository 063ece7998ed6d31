#include "output/deleted_export.h"

#include <functional>
#include <memory>
#include <set>

#include "engine/values/value_format.h"
#include "output/csv_format.h"
#include "output/data_export_buffer.h"
#include "output/safe_file_name.h"

namespace tollamer {

namespace {

ColumnInfo LocationColumn(const std::string& name, uint8_t xtype, uint16_t length) {
  ColumnInfo c;
  c.name = name;
  c.xtype = xtype;
  c.xusertype = xtype;
  c.length = length;
  c.nullText = " NULL";
  return c;
}

// Where the rows of one table go.
class DeletedSink {
 public:
  virtual ~DeletedSink() = default;
  virtual bool Begin(const TableInfo& table, std::string& target) = 0;
  virtual bool Row(const std::vector<TypedValue>& values) = 0;
  virtual bool End() = 0;
  virtual void Abort() = 0;
  virtual std::string Error() const = 0;
};

class CsvSink : public DeletedSink {
 public:
  explicit CsvSink(std::string folder) : folder_(std::move(folder)) {}
  bool Begin(const TableInfo& table, std::string& target) override {
    std::string name = DeletedFileName(table.fullName);
    if (!used_.insert(name).second) {
      name.insert(name.rfind(kDeletedFileSuffix), "_" + std::to_string(table.id));
      used_.insert(name);
    }
    std::optional<std::string> path = PathInFolder(folder_, name);
    if (!path) {
      error_ = kNoFileNameError;
      return false;
    }
    target = *path;
    out_ = BufferedOutput::Create(*path, error_);
    if (!out_) return false;
    AppendCsvHeader(out_->Buffer(), ColumnNames(table));
    return true;
  }
  bool Row(const std::vector<TypedValue>& values) override {
    AppendCsvRow(out_->Buffer(), values);
    if (out_->MaybeFlush()) return true;
    error_ = kWriteFailedError + out_->Error();
    return false;
  }
  bool End() override {
    if (out_->Commit()) return true;
    error_ = kWriteFailedError + out_->Error();
    return false;
  }
  void Abort() override { out_.reset(); }
  std::string Error() const override { return error_; }

 private:
  std::string folder_;
  std::set<std::string> used_;
  std::unique_ptr<BufferedOutput> out_;
  std::string error_;
};

class ImportSink : public DeletedSink {
 public:
  explicit ImportSink(ImportTarget& target) : target_(target) {}
  bool Begin(const TableInfo& table, std::string& target) override {
    return target_.BeginTable(table, target);
  }
  bool Row(const std::vector<TypedValue>& values) override { return target_.AddRow(values); }
  bool End() override { return target_.EndTable(); }
  void Abort() override { target_.AbortTable(); }
  std::string Error() const override { return target_.Error(); }

 private:
  ImportTarget& target_;
};

using DeletedWalk = std::function<bool(const DeletedRowVisitor&, DeletedRowStats&)>;

// One table's deleted rows into `sink`. `eager`: the output is made even
// when no row comes.
TableDataResult WriteTable(const TableInfo& source, const std::string& name, bool eager,
                           DeletedSink& sink, const DeletedWalk& walk,
                           const DataProgress& progress) {
  TableDataResult result;
  result.tableId = source.id;
  result.tableName = source.fullName;
  result.columnsInferred = source.columnsInferred;
  if (progress.tableStarted) progress.tableStarted(source);
  const TableInfo table = DeletedRowsTable(source, name);
  bool begun = false;
  bool failed = false;
  bool cancelled = false;
  auto begin = [&]() {
    begun = true;
    if (!sink.Begin(table, result.target)) failed = true;
    return !failed;
  };
  if (source.columns.empty()) {
    result.ok = true;
    result.skipped = false;
    if (progress.tableDone) progress.tableDone(result);
    return result;
  }
  if (eager) begin();
  DeletedRowStats stats;
  if (!failed) {
    walk(
        [&](const DeletedRow& row) {
          if (progress.Cancelled()) {
            cancelled = true;
            return false;
          }
          if (!begun && !begin()) return false;
          if (!sink.Row(DeletedRowValues(row))) {
            failed = true;
            return false;
          }
          return true;
        },
        stats);
  }
  result.stats.rows = stats.rows;
  result.stats.rowsRejected = stats.rejected;
  result.stats.pages = stats.pages;
  if (cancelled) {
    result.error = kCancelledError;
    if (begun) sink.Abort();
  } else if (failed) {
    result.error = sink.Error();
    if (begun) sink.Abort();
  } else if (begun && !sink.End()) {
    result.error = sink.Error();
    sink.Abort();
  } else {
    result.ok = true;
  }
  if (progress.tableDone) progress.tableDone(result);
  return result;
}

std::vector<TableDataResult> WriteDeleted(CMdfDatabase& db, VersionSetting version,
                                          const std::vector<uint32_t>& table_ids, bool eager,
                                          const std::string& suffix, DeletedSink& sink,
                                          const DataProgress& progress,
                                          const DeletedOptions& options) {
  std::vector<uint32_t> ids = table_ids;
  const bool all = ids.empty();
  if (all)
    for (const auto& [id, t] : db.catalog.tables) ids.push_back(id);
  const LeftoverPages leftovers = FindLeftoverPages(db, version);
  std::vector<TableDataResult> results;
  for (uint32_t id : ids) {
    if (progress.Cancelled()) break;
    auto it = db.catalog.tables.find(id);
    if (it == db.catalog.tables.end()) continue;
    const TableInfo& table = it->second;
    results.push_back(WriteTable(
        table, table.fullName + suffix, eager, sink,
        [&](const DeletedRowVisitor& visit, DeletedRowStats& stats) {
          return ForEachDeletedRow(db, version, id, leftovers, visit, stats);
        },
        progress));
  }
  if (!all || !options.dropped) return results;
  for (DroppedTable& dropped : FindDroppedTables(db, leftovers, options.described)) {
    if (progress.Cancelled()) break;
    results.push_back(WriteTable(
        dropped.table, dropped.table.fullName + suffix, false, sink,
        [&](const DeletedRowVisitor& visit, DeletedRowStats& stats) {
          return ForEachDroppedRow(db, version, dropped, visit, stats);
        },
        progress));
  }
  return results;
}

}  // namespace

std::string DeletedFileName(const std::string& full_name) {
  return SafeFileNamePart(full_name) + kDeletedFileSuffix + ".csv";
}

TableInfo DeletedRowsTable(const TableInfo& table, const std::string& full_name) {
  TableInfo out = table;
  out.fullName = full_name;
  uint16_t next = out.columns.empty() ? 1 : out.columns.rbegin()->first + 1;
  namespace vt = value_type;
  for (ColumnInfo c : {LocationColumn("_source", vt::kVarChar, 20),
                       LocationColumn("_page", vt::kBigInt, 8),
                       LocationColumn("_slot", vt::kInt, 4)}) {
    c.colid = next;
    out.columns.emplace(next++, c);
  }
  return out;
}

std::vector<TypedValue> DeletedRowValues(const DeletedRow& row) {
  std::vector<TypedValue> values = row.values;
  values.push_back(TypedValue::Text(LeftoverSourceName(row.source)));
  values.push_back(TypedValue::Integer(static_cast<int64_t>(row.page)));
  values.push_back(row.slot ? TypedValue::Integer(*row.slot) : TypedValue::Null());
  return values;
}

std::vector<TableDataResult> ExportDeletedRows(CMdfDatabase& db, VersionSetting version,
                                               const std::vector<uint32_t>& table_ids,
                                               const std::string& folder,
                                               const DataProgress& progress,
                                               const DeletedOptions& options) {
  CsvSink sink(folder);
  return WriteDeleted(db, version, table_ids, true, "", sink, progress, options);
}

std::vector<TableDataResult> ImportDeletedRows(CMdfDatabase& db, VersionSetting version,
                                               const std::vector<uint32_t>& table_ids,
                                               ImportTarget& target,
                                               const DataProgress& progress,
                                               const DeletedOptions& options) {
  ImportSink sink(target);
  return WriteDeleted(db, version, table_ids, false, kDeletedTableSuffix, sink, progress,
                      options);
}

}  // namespace tollamer
