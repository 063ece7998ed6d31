// Filling the catalog of a SQL 2005/2008 file from the nine system page
// lists: user-defined types, user tables (schema-qualified name, row count,
// columns by column id, data page list, page owner), views (schema-qualified
// name and text), procedures and scalar functions (name and text).
#pragma once

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/sql2005/page_owner_2005.h"

namespace tollamer::sql2005 {

// Reads the lists, never changes them. Objects are taken from sysschobjs in
// list order and slot order; a table id met twice keeps its first record.
// What one lost system page hides is made good from the others: a table
// (id 100 or more) with a heap or clustered rowset but no sysschobjs row
// is kept as table_<id>; tables whose unit rows are lost are tied to their
// units (lost_units_2005.h); a table without column rows gets placeholder
// columns from its rowset's column rows or, without those, from its
// records (inferred_columns_2005.h).
void BuildCatalog2005(CMdfDatabase& db, PageOwnerConflict& conflict);

}  // namespace tollamer::sql2005
