// Columns for a table of which no system row describes a column (its
// syscolpars rows and its rowset column rows lost), inferred from its
// records: every primary record keeps F, the end of its fixed part, and
// the number V of its variable columns. The fixed part becomes one
// binary(F - 4) column, each variable column a varbinary(max) column,
// named col1, col2, ...; their places are recorded as the table's physical
// layout, without null bits (a null variable column reads as empty); the
// fixed columns inside col1 beyond the first count as hidden columns.
#pragma once

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2005 {

// Fills the columns and physical layout of `table` from the primary
// records of its first readable data page that holds one; false (the
// table unchanged) when none is found or the records disagree on F.
bool InferColumns2005(const PageStore& store, const DataPageList& pages, TableInfo& table);

}  // namespace tollamer::sql2005
