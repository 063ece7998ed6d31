// The whole-file data scan of SQL 2005/2008 files: a table's data page list
// rebuilt from the headers of every page, attributing data pages through
// CMdfDatabase::pageOwnerMap. Lists come out in ascending page order.
#pragma once

#include <cstdint>

#include "engine/catalog/mdf_database.h"

namespace tollamer::sql2005 {

// all_tables false: the given table's list is created when missing and
// emptied, then filled with every data page (header version 1, type 1)
// whose m_objId is the first pageOwnerMap entry, in ascending m_objId, that
// names the table; without such an entry it stays empty.
// all_tables true: every existing list is emptied (and kept), then every
// data page whose m_objId is in pageOwnerMap goes to the mapped table's
// list, created when missing. `progress` hears of every page read.
void ScanFileForTable2005(CMdfDatabase& db, uint32_t object_id, bool all_tables,
                          const ScanProgress& progress = {});

}  // namespace tollamer::sql2005
