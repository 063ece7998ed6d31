#include "output/data_export.h"

#include <filesystem>

#include "output/csv_format.h"
#include "platform/file.h"
#include "output/safe_file_name.h"
#include "output/sql_insert.h"
#include "output/suspect_rows.h"
#include "output/table_export.h"

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

TableExport::TableExport(CMdfDatabase& db, uint32_t table_id, DataFormat format, std::string path,
                         size_t buffer_bytes)
    : db_(db), format_(format), bufferBytes_(buffer_bytes) {
  result_.tableId = table_id;
  result_.target = std::move(path);
}

TableExport::Start TableExport::Begin() {
  auto it = db_.catalog.tables.find(result_.tableId);
  if (it == db_.catalog.tables.end()) {
    result_.error = kNotInCatalogError;
    return Start::kNotInCatalog;
  }
  table_ = &it->second;
  const TableInfo& table = *table_;
  result_.tableName = table.fullName;
  result_.catalogRows = table.rowCount;
  result_.columnsInferred = table.columnsInferred;
  if (table.columns.empty()) {
    // Nothing to write; a loss only when the catalog counts rows for it.
    result_.skipped = table.rowCount != 0;
    result_.ok = !result_.skipped;
    if (result_.skipped) result_.error = kNoColumnsError;
    result_.target.clear();
    return Start::kNothingToWrite;
  }
  out_ = BufferedOutput::Create(result_.target, result_.error, bufferBytes_);
  if (!out_) return Start::kCannotCreate;
  const std::optional<IdentityInfo>& identity = table.constraints.identity;
  if (format_ == DataFormat::kCsv) {
    AppendCsvHeader(out_->Buffer(), ColumnNames(table));
  } else {
    sql_ = std::make_unique<SqlInsertWriter>(
        table.fullName, ColumnList(table),
        identity && table.columns.contains(identity->colid) && !table.columnsInferred);
    out_->Append(sql_->Header());
  }
  return Start::kReady;
}

TypedRowFormatter TableExport::RowFormatter() const {
  if (format_ != DataFormat::kCsv) {
    const SqlInsertWriter* sql = sql_.get();
    return [sql](const std::vector<TypedValue>& values, std::string& text) {
      sql->AppendStatement(text, values);
    };
  }
  return [](const std::vector<TypedValue>& values, std::string& text) {
    AppendCsvRow(text, values);
  };
}

const TextForm* TableExport::Form() const {
  return format_ == DataFormat::kCsv ? &CsvTextForm() : &sql_->Form();
}

bool TableExport::Take(const TypedRowBatch& batch) {
  if (writeFailed_) return false;
  const std::string_view text = batch.text;
  if (!sql_) {
    writeFailed_ = !out_->Put(text);
    return !writeFailed_;
  }
  // A "GO" after every kRowsPerBatch-th row of the table: the batch goes
  // out as its runs of rows between them, not copied.
  pieces_.clear();
  size_t from = 0;
  for (size_t end : batch.rowEnds) {
    if (!sql_->CountRow()) continue;
    pieces_.push_back(text.substr(from, end - from));
    pieces_.push_back(kBatchEnd);
    from = end;
  }
  pieces_.push_back(text.substr(from));
  writeFailed_ = !out_->PutPieces(pieces_);
  return !writeFailed_;
}

void TableExport::StartWriteBack() {
  if (out_ && !writeFailed_) out_->StartWriteBack();
}

const TableDataResult& TableExport::Finish(bool walked, bool cancelled,
                                           const TypedTableStats& stats) {
  result_.stats = stats;
  if (sql_) out_->Append(sql_->Footer());
  if (cancelled) {
    result_.error = kCancelledError;
  } else if (writeFailed_) {
    result_.error = kWriteFailedError + out_->Error();
  } else if (!walked && !stats.listed && table_->rowCount != 0) {
    result_.skipped = true;
    result_.error = kNoDataPagesError;
  } else if (!out_->Commit()) {
    result_.error = kWriteFailedError + out_->Error();
  } else if (!stats.suspectRows.empty() && result_.target != platform::kStandardOutputName) {
    result_.suspectTarget = SuspectFilePath(result_.target);
    result_.ok = WriteSuspectCsv(*table_, stats.suspectRows, result_.suspectTarget, result_.error);
  } else {
    result_.ok = true;
    // A suspect file of an earlier run (replaced with --force) would tell
    // of rows this run did not keep apart.
    std::error_code ignored;
    if (result_.target != platform::kStandardOutputName)
      std::filesystem::remove(SuspectFilePath(result_.target), ignored);
  }
  return result_;
}

const TableDataResult& WalkTableExport(CMdfDatabase& db, VersionSetting version,
                                       TableExport& table, const DataProgress& progress) {
  const uint32_t table_id = table.Result().tableId;
  TypedTableStats stats;
  bool cancelled = false;
  bool walked = false;
  // Lines are made on worker threads, a batch of pages at a time, and
  // written here in order; cancelling is asked per batch.
  TypedBatchOptions options;
  options.form = table.Form();
  options.rowEnds = table.WantsRowEnds();
  walked = ForEachTypedRowBatch(
      db, version, table_id, table.RowFormatter(),
      [&](const TypedRowBatch& batch) {
        if (progress.Cancelled()) {
          cancelled = true;
          return false;
        }
        return table.Take(batch);
      },
      stats, progress.pages, options);
  const TableDataResult& result = table.Finish(walked, cancelled, stats);
  if (progress.tableDone) progress.tableDone(result);
  return result;
}

TableDataResult ExportTableData(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                                DataFormat format, const std::string& path,
                                const DataProgress& progress) {
  TableExport table(db, table_id, format, path);
  const TableExport::Start start = table.Begin();
  if (start == TableExport::Start::kNotInCatalog) return table.Result();
  if (progress.tableStarted) progress.tableStarted(table.Table());
  if (start == TableExport::Start::kNothingToWrite && progress.tableDone)
    progress.tableDone(table.Result());
  if (start != TableExport::Start::kReady) return table.Result();
  return WalkTableExport(db, version, table, progress);
}

}  // namespace tollamer
