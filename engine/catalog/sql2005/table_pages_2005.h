// Locating a SQL 2005/2008 table's data pages: its sysidxstats row (heap or
// clustered index) gives the rowset, sysallocunits the in-row allocation
// unit of that rowset, and the unit's IAM page the pages.
//
// Each link has a stand-in, so that one damaged page does not hide a
// table: sysrowsets rows (idmajor = the table, idminor 0 or 1) name the
// rowset when the sysidxstats row is lost, and when the unit row or its
// IAM page is lost the pages are found by the unit id their headers carry
// (the unit's own id, or the rowset id, which an in-row unit shares).
#pragma once

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <optional>

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/sql2005/system_rows_2005.h"
#include "engine/catalog/sql2005/unit_pages_2005.h"

namespace tollamer::sql2005 {

// What the location needs from sysidxstats, sysrowsetrefs, sysrowsets and
// sysallocunits, read in one pass over each list; the whole-file unit scan
// is made on first need and kept.
class AllocationIndex2005 {
 public:
  // `scan_headers` false: UnitPages() stays empty (no whole-file scan).
  static AllocationIndex2005 Build(const PageStore& store, const SystemPages2005& lists,
                                   bool scan_headers = true);

  // Per sysidxstats page in list order: the rowset of the page's first row
  // with this id and index id 0 or 1.
  const std::vector<uint64_t>* IdxRowsets(uint32_t object_id) const;
  // sysrowsetrefs: the rowset ids of the object, whatever their index id.
  const std::unordered_set<uint64_t>* RowsetRefs(uint32_t object_id) const;
  // The in-row units (type 1) in list order and slot order.
  const std::vector<AllocUnitRow>& Units() const { return units_; }
  // Positions in Units() of the units owned by `rowset_id`, ascending.
  const std::vector<size_t>* UnitsOf(uint64_t rowset_id) const;
  // Whether pages whose header names `rowset_id` as their unit may be taken
  // for the rowset of `object_id`'s in-row unit. A table that came from a
  // SQL 2000 file keeps rowset id = unit id = index id * 2^48 + object id *
  // 2^16, so its pages still carry its object id: such an id is always
  // taken. Files of later servers number units and rowsets from counters
  // (ids from 2^56), one for both in some files, so there the id is taken
  // only when the unit rows read show user units sharing their rowset's
  // id, and none of them gives this id to a unit of another rowset.
  bool MayBeOwnUnit(uint64_t rowset_id, uint32_t object_id) const;
  // Whether a sysallocunits row (of any type) has this unit id.
  bool HasUnitRow(uint64_t unit_id) const { return unit_owners_.contains(unit_id); }
  // sysrowsets: the rowsets of the object with index id 0 or 1, in list order.
  const std::vector<uint64_t>* DataRowsets(uint32_t object_id) const;
  // Every object with a heap or clustered rowset in sysidxstats or
  // sysrowsets, ascending.
  std::vector<uint32_t> ObjectsWithDataRowsets() const;
  // The data pages of the file by header unit id (scanned on first call).
  const UnitPages2005& UnitPages() const;

 private:
  const PageStore* store_ = nullptr;
  bool scan_headers_ = true;
  mutable std::optional<UnitPages2005> unit_pages_;
  std::unordered_map<uint32_t, std::vector<uint64_t>> data_rowsets_;
  std::unordered_map<uint64_t, uint64_t> unit_owners_;  // every unit row: auid -> ownerid
  bool user_units_share_rowset_ids_ = false;
  std::unordered_map<uint32_t, std::vector<uint64_t>> idx_rowsets_;
  std::unordered_map<uint32_t, std::unordered_set<uint64_t>> rowset_refs_;
  std::vector<AllocUnitRow> units_;
  std::unordered_map<uint64_t, std::vector<size_t>> units_by_owner_;
};

// Before the lists of `tables` tables are built one after another: the kinds
// of the file's pages noted in one pass in file order when that pays
// (page_kinds.h), judged by the extents their IAM chains name.
void PrepareTableLists2005(const PageStore& store, const AllocationIndex2005& index,
                           const std::unordered_set<uint32_t>& table_ids);

// Builds the table's data page list (db.dataPageLists, created on the first
// page found). Single pages and extent pages are taken
// when their header says m_type 1. When that route gives no page (a link
// lost) or breaks, while the table is said to hold rows or a link was
// missing, the data pages whose header names the unit id, one of the
// table's rowset ids (when MayBeOwnUnit), or the table's object id with
// index id 0 (pages written before an upgrade from SQL 2000) are added in
// page order. False when an IAM page
// named by a unit is not of type 10 or its chain breaks and the headers
// gave no page either; the pages found before stay.
bool LocateTablePages2005(CMdfDatabase& db, uint32_t object_id, const AllocationIndex2005& index);
// Adds to the table's list the data pages whose header names `unit_id`
// (page order, pages listed already left out) and records their page owner.
void TakeUnitPages2005(CMdfDatabase& db, uint32_t object_id, const AllocationIndex2005& index,
                       uint64_t unit_id);
// The same for one table, reading the three lists for it alone (the row
// reader's path for a table that has no list yet). The page headers are
// not asked again: the catalog build asked them for every table.
bool LocateTablePages2005(CMdfDatabase& db, uint32_t object_id);

}  // namespace tollamer::sql2005
