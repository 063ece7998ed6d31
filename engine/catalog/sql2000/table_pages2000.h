// A user table's data pages in an SQL 7.0/2000 file: through its sysindexes
// row and IAM pages, or by reading every page header of the file and
// attributing each data page by the object id that the header carries.
#pragma once

#include <cstdint>

#include "engine/catalog/mdf_database.h"

namespace tollamer {

// Finds the first sysindexes row of `object_id` with indid 0 or 1 (pages of
// the sysindexes list in order, slots in order; a page whose first such row
// has no data pages is passed over) and builds the table's data page list
// from its IAM: the single-page slots whose page is a data page, then, for
// eight data pages or more, the data pages of the table within the extents
// of the IAM chain.
//
// Returns false when the IAM page is not an IAM page or the chain cannot be
// walked (damaged allocation: offer the whole-file scan). Returns true
// otherwise. When no sysindexes row describes the table at all (its row
// lost with a damaged page), every catalog table in that state that has no
// list yet gets the data pages whose header names it, from one pass over
// the file; no list is created for a table without any, nor for a table
// whose row says it has no data pages.
bool LocateTablePages2000(CMdfDatabase& db, uint32_t object_id);

// Rebuilds data page lists from the page headers of the whole file, in
// ascending page order: with `all_tables` false the list of `object_id`
// (created when missing), otherwise the lists of every table of the catalog
// (existing lists are emptied first; pages of objects that are not tables
// of the catalog are ignored). Only data pages with header version 1 count.
// `progress` hears of every page read.
void ScanFileForTable2000(CMdfDatabase& db, uint32_t object_id, bool all_tables,
                          const ScanProgress& progress = {});

}  // namespace tollamer
