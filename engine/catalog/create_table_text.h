// Tables described by CREATE TABLE statements (T-SQL) that the user gives
// for a table whose catalog rows are gone: its columns with their system
// type ids, lengths, precision, scale and nullability, laid out in the
// record the way both servers lay out a new table: fixed-length columns in
// column order from offset 4 (bit columns eight to a shared byte), then the
// variable-length columns numbered -1, -2, ... in column order. Computed
// columns and table constraints are left out; unknown types make the
// statement unusable.
#pragma once

#include <string_view>
#include <vector>

#include "engine/catalog/catalog_model.h"

namespace tollamer {

// Every usable CREATE TABLE statement of `sql`, in order. Each table's id
// is 0, its full name "owner.name" (owner "dbo" when none is given).
std::vector<TableInfo> ParseCreateTables(std::string_view sql);

// The shape the laid-out columns give a record: the end of the fixed part
// (F), the number of columns (N) and of variable-length columns.
struct CreatedShape {
  uint16_t fixedEnd = 4;
  uint16_t columns = 0;
  uint16_t variables = 0;
};
CreatedShape ShapeOfCreated(const TableInfo& table);

}  // namespace tollamer
