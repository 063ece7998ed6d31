// Locating a SQL 2005/2008 table's data pages: its sysidxstats row (heap or
// clustered index) gives the rowset, sysallocunits the in-row allocation
// unit of that rowset, and the unit's IAM page the pages.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/sql2005/system_rows_2005.h"

namespace tollamer::sql2005 {

// What the location needs from sysidxstats, sysrowsetrefs and
// sysallocunits, read in one pass over each list.
class AllocationIndex2005 {
 public:
  static AllocationIndex2005 Build(const PageStore& store, const SystemPages2005& lists);

  // Per sysidxstats page in list order: the rowset of the page's first row
  // with this id and index id 0 or 1.
  const std::vector<uint64_t>* IdxRowsets(uint32_t object_id) const;
  // sysrowsetrefs: the rowset ids of the object, whatever their index id.
  const std::unordered_set<uint64_t>* RowsetRefs(uint32_t object_id) const;
  // The in-row units (type 1) in list order and slot order.
  const std::vector<AllocUnitRow>& Units() const { return units_; }
  // Positions in Units() of the units owned by `rowset_id`, ascending.
  const std::vector<size_t>* UnitsOf(uint64_t rowset_id) const;

 private:
  std::unordered_map<uint32_t, std::vector<uint64_t>> idx_rowsets_;
  std::unordered_map<uint32_t, std::unordered_set<uint64_t>> rowset_refs_;
  std::vector<AllocUnitRow> units_;
  std::unordered_map<uint64_t, std::vector<size_t>> units_by_owner_;
};

// Builds the table's data page list (db.dataPageLists, created on the first
// page found) and sets its number of grid pages: 1 after the single pages
// of a unit, plus 1 per extent. Single pages and extent pages are taken
// when their header says m_type 1. False when an IAM page named by a unit
// is not of type 10 or its chain breaks; the pages found before stay.
bool LocateTablePages2005(CMdfDatabase& db, uint32_t object_id, const AllocationIndex2005& index);
// The same for one table, reading the three lists for it alone (the row
// reader's path for a table that has no list yet).
bool LocateTablePages2005(CMdfDatabase& db, uint32_t object_id);

}  // namespace tollamer::sql2005
