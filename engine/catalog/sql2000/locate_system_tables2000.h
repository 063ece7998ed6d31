// Locating the pages of the seven SQL 7.0/2000 system tables through the
// file's own allocation records: the sysindexes row of each system table
// names its first IAM page, whose single-page slots (and, for tables of
// eight data pages or more, whose extent bitmap) name the table's pages.
#pragma once

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/page_store.h"

namespace tollamer {

// Reads the file from page 0 for sysindexes data pages (header version 1,
// type 1, object 2) and visits their slots in order. Every row of object 1,
// 2, 3, 4, 6, 10 or 20 with indid 0 or 1 and a nonzero data page count is
// located: the plausible data pages named by its IAM page are appended to
// that object's list. The scan stops after the sysindexes page on which the
// seventh such row was found, or at the end of the file.
//
// Returns false as soon as an IAM page is not of type 10 or an IAM chain
// cannot be walked (the lists may then hold some pages already); true
// otherwise, also when fewer than seven objects were found.
bool LocateSystemTables2000(const PageStore& store, SystemPages2000& lists);

}  // namespace tollamer
