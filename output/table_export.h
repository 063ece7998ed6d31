// One table's data export file, from its header to its commit, fed by
// whichever walk reads the table's rows: the table's own walk, or the walk
// over the file that reads many tables at once (data_export.h).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "output/data_export.h"
#include "output/data_export_buffer.h"
#include "output/sql_insert.h"

namespace tollamer {

class TableExport {
 public:
  TableExport(CMdfDatabase& db, uint32_t table_id, DataFormat format, std::string path,
              size_t buffer_bytes = kDefaultFlushBytes);

  enum class Start {
    kNotInCatalog,   // result() holds the failure; no progress call is due
    kNothingToWrite, // no columns: result() is final (skipped or empty)
    kCannotCreate,   // result() holds the failure
    kReady,          // the file is open with its header written
  };
  Start Begin();

  const TableInfo& Table() const { return *table_; }
  // The line (CSV) or statement (SQL) maker for worker threads, and the
  // form it writes in; SQL batches need their row ends (Take adds a "GO"
  // after every kRowsPerBatch-th row of the table).
  TypedRowFormatter RowFormatter() const;
  const TextForm* Form() const;
  bool WantsRowEnds() const { return format_ == DataFormat::kSql; }
  // False once a write failed (the rows after it are not taken).
  bool Take(const TypedRowBatch& batch);
  // The rows are all taken: what is written starts going to the disk, so
  // that Finish() of many files waits for little (a failure shows there).
  void StartWriteBack();

  // The outcome once the walk ended: `walked` false when the table had no
  // page list to walk. Writes the footer and commits the file when all went
  // well.
  const TableDataResult& Finish(bool walked, bool cancelled, const TypedTableStats& stats);
  const TableDataResult& Result() const { return result_; }

 private:
  CMdfDatabase& db_;
  DataFormat format_;
  const TableInfo* table_ = nullptr;
  TableDataResult result_;
  std::unique_ptr<BufferedOutput> out_;
  std::unique_ptr<SqlInsertWriter> sql_;
  size_t bufferBytes_;
  bool writeFailed_ = false;
  std::vector<std::string_view> pieces_;  // Take: a batch's runs of statements and "GO"s
};

// Exports one table through its own walk: lines or statements made on
// worker threads a batch of pages at a time. Calls
// progress.pages and, at the end, progress.tableDone.
const TableDataResult& WalkTableExport(CMdfDatabase& db, VersionSetting version,
                                       TableExport& table, const DataProgress& progress);

}  // namespace tollamer
