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

// What the desktop program puts into its grid for one grid page.
struct TableGridPage {
  std::vector<std::string> titles;  // the column names, ascending column id
  RowList rows;
  // The table's grid page count, from its data page list as the read found
  // it (the profile's count of its entries; 1 when it has no list).
  uint32_t pageCount = 0;
};

// Grid page `grid_page` (1-based) of a table, read as the profile's format;
// the data page list is found or built first (with the whole-file scan
// offered where the format offers it). No rows when the table has no page
// list; nothing at all when the catalog does not hold the table.
TableGridPage ReadTableRows(CMdfDatabase& db, const FormatProfile& profile, uint32_t table_id,
                            int32_t grid_page);

// The same through the version setting: titles alone when no version is
// chosen.
TableGridPage ShowTableData(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                            int32_t grid_page);

// Every row of every grid page of the table, in order, one data page in
// memory at a time. `row` returns false to stop. False when the table or
// its pages cannot be had, or the callback stopped.
bool ForEachTableRow(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                     const std::function<bool(const std::vector<std::string>&)>& row);

}  // namespace tollamer
