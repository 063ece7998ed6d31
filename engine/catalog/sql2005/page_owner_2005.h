// In SQL 2005/2008 files a data page's m_objId is part of its allocation
// unit id, not the table's object id. The builder learns, per table, which
// m_objId its first data page carries (CMdfDatabase::pageOwnerMap), so that
// the whole-file data scan can attribute pages to tables.
//
// When two tables' first pages carry the same m_objId the scan cannot tell
// their pages apart: the user is told once that the all-tables scan cannot
// be run, and the conflict flag stays set (the command stays grayed) while
// the flag's holder, normally the opened file, lives.
#pragma once

#include <cstdint>

#include "engine/catalog/mdf_database.h"

namespace tollamer::sql2005 {

// Records the m_objId of the table's first data page. Does nothing when the
// table has no pages. A second table claiming an m_objId shows the conflict
// message once (through the flag) and sets the flag; the earlier table
// keeps the m_objId.
void RecordPageOwner2005(CMdfDatabase& db, uint32_t object_id, PageOwnerConflict& conflict);

}  // namespace tollamer::sql2005
