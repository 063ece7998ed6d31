// Columns for a table of which no system row describes a column (its
// syscolumns rows, or its syscolpars and rowset column rows, lost), inferred
// from its records, which have one format in every version: every primary record keeps F, the end of its fixed part, and
// the number V of its variable columns. The fixed part becomes one
// binary(F - 4) column, each variable column a varbinary(max) column,
// named col1, col2, ...; their places are recorded as the table's physical
// layout, without null bits (a null variable column reads as empty); the
// fixed columns inside col1 beyond the first count as hidden columns.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/page_store.h"

namespace tollamer {

// The shape of records: the column count K, the end F of the fixed part
// (0 when not known) and the number V of variable columns.
struct RecordShape {
  uint16_t columns = 0;
  uint16_t fixedSize = 0;
  uint16_t variables = 0;
};

// The shape of the primary records of the first readable page of `pages`
// that holds one (at most eight pages tried): their F, and the largest K
// and V among them. Nothing when no page holds one or its records
// disagree on F.
std::optional<RecordShape> ReadRecordShape(const PageStore& store,
                                                   const std::vector<uint64_t>& pages);

// Fills the columns and physical layout of `table` from the shape of its
// records; false (the table unchanged) when it cannot be read.
bool InferColumnsFromRecords(const PageStore& store, const DataPageList& pages, TableInfo& table);

}  // namespace tollamer
