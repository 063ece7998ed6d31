// Table data as grid text: the rows of one grid page (eight data pages) for
// the record grid, and every row of a table for export and the CLI. A NULL
// value is "NULL"; a variable column that a short row does not store is
// empty text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/catalog/format_profile.h"
#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"

namespace tollamer {

// One grid page's rows in page-list order and slot order; each row one text
// per table column in ascending column id.
using RowList = std::vector<std::vector<std::string>>;

// The rows of grid page `grid_page` (1-based) of a table, read as the
// profile's format; the data page list is found or built first (with the
// whole-file scan offered where the format offers it). Empty when the
// table has no page list.
RowList ReadTableRows(CMdfDatabase& db, const FormatProfile& profile, uint32_t table_id,
                      int32_t grid_page);

// What the desktop program puts into its grid for one grid page.
struct TableGridPage {
  std::vector<std::string> titles;  // the column names, ascending column id
  std::vector<std::vector<std::string>> rows;
  uint32_t pageCount = 0;  // the table's grid page count after the read
};

// The grid's content for `grid_page` of the table: no rows when the table's
// grid page count is 0 or no version is chosen.
TableGridPage ShowTableData(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                            int32_t grid_page);

// Every row of every grid page of the table, in order, one data page in
// memory at a time. `row` returns false to stop. False when the table or
// its pages cannot be had, or the callback stopped.
bool ForEachTableRow(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                     const std::function<bool(const std::vector<std::string>&)>& row);

}  // namespace tollamer
