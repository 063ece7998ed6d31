// Deleted rows out: per table, a CSV file "<table>.deleted.csv" or an
// imported table "<table>_deleted", holding the table's columns and three
// more that say where each row was found: _source (ghost, free-space,
// unallocated-page, dropped-table), _page and _slot (empty for a record no
// slot names). Live exports never hold these rows. Tables whose catalog
// rows are gone come out as "dbo.dropped_<owner>" with placeholder columns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"
#include "engine/rows/deleted_rows.h"
#include "output/data_export.h"
#include "output/db_import.h"

namespace tollamer {

inline constexpr char kDeletedFileSuffix[] = ".deleted";
inline constexpr char kDeletedTableSuffix[] = "_deleted";

// "<safe full name>.deleted.csv": the file of a table's deleted rows (one
// whose name collides with another's gets the table's object id too).
std::string DeletedFileName(const std::string& full_name);

// `table` with the three location columns appended, named `full_name`.
TableInfo DeletedRowsTable(const TableInfo& table, const std::string& full_name);
// The row's values and its three location values.
std::vector<TypedValue> DeletedRowValues(const DeletedRow& row);

struct DeletedOptions {
  bool dropped = true;  // also the tables no catalog row names
  // CREATE TABLE descriptions for those tables (create_table_text.h).
  std::vector<TableInfo> described;
};

// Writes one file per table (all catalog tables when `table_ids` is
// empty) into `folder`; a dropped table gets a file only when it yields
// rows. Each result's stats count rows and rejected candidate runs.
std::vector<TableDataResult> ExportDeletedRows(CMdfDatabase& db, VersionSetting version,
                                               const std::vector<uint32_t>& table_ids,
                                               const std::string& folder,
                                               const DataProgress& progress = {},
                                               const DeletedOptions& options = {});

// The same into an import target, one "<table>_deleted" table per table
// that yields rows.
std::vector<TableDataResult> ImportDeletedRows(CMdfDatabase& db, VersionSetting version,
                                               const std::vector<uint32_t>& table_ids,
                                               ImportTarget& target,
                                               const DataProgress& progress = {},
                                               const DeletedOptions& options = {});

}  // namespace tollamer
