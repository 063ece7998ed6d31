// Data pages that allocation no longer claims, grouped by the owner their
// header names. TRUNCATE TABLE and DROP TABLE deallocate a table's pages
// (the PFS byte loses its allocated bit 0x40; GAM, SGAM and IAM bits change)
// but leave their contents until the pages are reused, and a heap page
// emptied by DELETE is deallocated the same way. The header still names the
// owner: in SQL 7.0/2000 files m_objId is the table's object id; in
// 2005+ files m_objId and m_indexId are the two halves of the allocation
// unit id ((m_indexId << 48) | (m_objId << 16)), user units having
// m_indexId 256 or more.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"

namespace tollamer {

struct LeftoverPages {
  // Catalog table -> its pages that PFS marks free (listed or not).
  std::map<uint32_t, std::vector<uint64_t>> byTable;
  // Free data pages of an owner no catalog table has: by object id (2000)
  // or allocation unit id (2005+). An owner whose records have the shape
  // of exactly one catalog table (the fixed part's end, the column count,
  // no more variable columns) is taken as that table's: TRUNCATE gives a
  // 2005+ table new allocation units, and a table dropped and made again
  // has a new object id.
  std::map<uint64_t, std::vector<uint64_t>> byLostOwner;
};

// Finds every catalog table's page list first (as the row readers do),
// then reads every page header of the file once. `ask` false: a SQL 2000
// table whose allocation chain is damaged gets no question and no
// one-table scan (its list stays missing).
LeftoverPages FindLeftoverPages(CMdfDatabase& db, VersionSetting version, bool ask = true);

}  // namespace tollamer
