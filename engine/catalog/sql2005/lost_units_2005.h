// Tying tables to their in-row allocation units when the sysallocunits rows
// that tie them are lost (a sysallocunits page zeroed or overwritten).
//
// Pages still name their unit in the header, and sysidxstats/sysrowsets
// still give each table's rowset; only the unit -> rowset link is gone.
// Units and rowsets are numbered from counters that only grow, and a
// table's rowset and its in-row unit are made together, so among the lost
// links the order of unit ids follows the order of rowset ids. A unit and a
// table are paired only when the unit's records have the table's shape:
// the column count each record keeps after its fixed part, and the fixed
// part's size where the table's physical layout gives it. The pairing is
// the order-keeping one that pairs the most tables whose sysrowsets row counts
// rows and, within that order, the most of the others.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/inferred_columns.h"
#include "engine/catalog/sql2005/table_pages_2005.h"

namespace tollamer::sql2005 {

// The shape of a table's records (V not set): from its physical layout
// (every column and hidden column, fixed columns' ends) or, without one,
// its column count alone.
RecordShape ExpectedShape2005(const TableInfo& table);

// Pairs the catalog tables that have no data pages and whose rowset has no
// in-row unit row with the user units (ids from 2^56) that data pages name
// and no unit row describes, then lists each paired table's pages (in page
// order) and records their page owner. Returns the tables paired; none
// when tables x units exceeds 2^24.
size_t MatchLostUnits2005(CMdfDatabase& db, const AllocationIndex2005& index);

}  // namespace tollamer::sql2005
