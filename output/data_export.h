// Table data export: every recoverable row of a table, with complete
// values, into a CSV file or a T-SQL INSERT script, one file per table
// named by the table's full name (made safe as a file name). A file
// appears under its name only once it is complete. A damaged table gives
// the rows of its pages that decode and the count of pages skipped; it
// never stops the export of the other tables.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"
#include "engine/rows/typed_rows.h"

namespace tollamer {

enum class DataFormat { kCsv, kSql };

// What became of one table (export or import).
struct TableDataResult {
  uint32_t tableId = 0;
  std::string tableName;  // the catalog's full name
  std::string target;     // the file written, or the table created
  bool ok = false;
  bool skipped = false;   // nothing written: no columns or no data pages known
  std::string error;      // why the table failed or was skipped
  uint64_t catalogRows = 0;  // the row count the system tables record
  bool columnsInferred = false;  // written in placeholder columns: the definitions are lost
  TypedTableStats stats;
};

// Why a table is skipped, or failed (a failed write gives its own reason
// after kWriteFailedError).
inline constexpr char kNoColumnsError[] = "no columns known";
inline constexpr char kNoDataPagesError[] = "no data pages found";
inline constexpr char kNotInCatalogError[] = "not in the catalog";
inline constexpr char kCancelledError[] = "cancelled";
inline constexpr char kNoFileNameError[] = "no file name for the table";
inline constexpr char kWriteFailedError[] = "write failed: ";

// Called before each table with its name, and per data page.
struct DataProgress {
  std::function<void(const TableInfo&)> tableStarted;
  PageProgress pages;
  std::function<void(const TableDataResult&)> tableDone;
  // Asked per row: true ends the table being written (it is not kept) and
  // the tables after it.
  std::function<bool()> cancelled;

  bool Cancelled() const { return cancelled && cancelled(); }
};

// The column names and pointers of a table in ascending column id.
std::vector<std::string> ColumnNames(const TableInfo& table);
std::vector<const ColumnInfo*> ColumnList(const TableInfo& table);

// The file name of a table's export: its safe full name and ".csv"/".sql".
std::string DataFileName(const TableInfo& table, DataFormat format);

// Writes one table to `path`. A table without known columns gets no file:
// skipped when the catalog counts rows for it (the server's internal tables
// of newer files have neither). A table without a data page list is skipped
// unless the catalog counts no rows for it (then the file holds the header
// alone).
TableDataResult ExportTableData(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                                DataFormat format, const std::string& path,
                                const DataProgress& progress = {});

// The files ExportTablesData writes for `table_ids`, in order (nothing for
// a table whose name makes no file name): two tables whose safe names
// collide get their object id appended.
std::vector<std::optional<std::string>> TableDataPaths(const CMdfDatabase& db,
                                                       const std::vector<uint32_t>& table_ids,
                                                       DataFormat format,
                                                       const std::string& folder);

// Writes the given tables (all catalog tables when `table_ids` is empty)
// into `folder`, in ascending object id. Two tables whose safe names
// collide get their object id appended. Their data pages are read in one
// walk over the file (a table whose page list goes back in the file gets a
// walk of its own); each table's file, outcome and messages are what
// ExportTableData gives, and the outcomes come in the tables' order once
// the walk has ended.
std::vector<TableDataResult> ExportTablesData(CMdfDatabase& db, VersionSetting version,
                                              const std::vector<uint32_t>& table_ids,
                                              DataFormat format, const std::string& folder,
                                              const DataProgress& progress = {});

}  // namespace tollamer
