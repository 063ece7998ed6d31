#include "engine/catalog/sql2005/table_pages_2005.h"

#include <algorithm>
#include <set>

#include "engine/catalog/sql2005/rowset_columns_2005.h"
#include "engine/catalog/sql2005/rowset_columns_layout_2005.h"
#include "engine/catalog/sql2005/system_row_layout_2005.h"
#include "engine/catalog/sql2005/system_tables_2005.h"
#include "engine/pagestore/data_page_flags.h"
#include "engine/pagestore/iam_chain.h"
#include "engine/pagestore/iam_layout.h"

namespace tollamer::sql2005 {

using namespace page_layout;


AllocationIndex2005 AllocationIndex2005::Build(const PageStore& store,
                                               const SystemPages2005& lists, bool scan_headers) {
  AllocationIndex2005 index;
  index.store_ = &store;
  index.scan_headers_ = scan_headers;
  for (uint64_t page_number : lists.sysidxstats) {
    SystemPageList one;
    one.Append(page_number);
    std::unordered_set<uint32_t> seen_on_page;
    ForEachSystemRow(store, one, IdxStatSlot, [&](ByteView page, uint16_t offset) {
      std::optional<IdxStatRow> row = DecodeIdxStatRow(page, offset);
      if (row && row->indid <= 1 && seen_on_page.insert(row->id).second)
        index.idx_rowsets_[row->id].push_back(row->rowset);
      return true;
    });
  }
  ForEachSystemRow(store, lists.sysrowsetrefs, RowsetRefSlot, [&](ByteView page, uint16_t offset) {
    if (std::optional<RowsetRefRow> row = DecodeRowsetRefRow(page, offset))
      index.rowset_refs_[row->objId].insert(row->rowsetId);
    return true;
  });
  ForEachSystemRow(store, lists.sysallocunits, RowsetRefSlot, [&](ByteView page, uint16_t offset) {
    std::optional<AllocUnitRow> row = DecodeAllocUnitRow(page, offset);
    if (row) index.unit_owners_.try_emplace(row->auid, row->ownerId);
    if (row && row->type == row_layout::allocunits::kInRowData) {
      index.units_by_owner_[row->ownerId].push_back(index.units_.size());
      index.units_.push_back(*row);
    }
    return true;
  });
  size_t user_units = 0, shared = 0;
  for (const AllocUnitRow& unit : index.units_) {
    if (unit.auid < kFirstUserUnitId) continue;
    ++user_units;
    if (unit.auid == unit.ownerId) ++shared;
  }
  index.user_units_share_rowset_ids_ = user_units > 0 && shared == user_units;
  ForEachSystemRow(store, lists.sysrowsets, RowsetRefSlot, [&](ByteView page, uint16_t offset) {
    std::optional<DataRowsetRow> row = DecodeDataRowsetRow(page, offset);
    if (row && row->idMinor <= rowset_columns_layout::kMaxDataIndexId && row->rowsetId != 0)
      index.data_rowsets_[row->idMajor].push_back(row->rowsetId);
    return true;
  });
  return index;
}

const std::vector<uint64_t>* AllocationIndex2005::IdxRowsets(uint32_t object_id) const {
  auto it = idx_rowsets_.find(object_id);
  return it == idx_rowsets_.end() ? nullptr : &it->second;
}

const std::unordered_set<uint64_t>* AllocationIndex2005::RowsetRefs(uint32_t object_id) const {
  auto it = rowset_refs_.find(object_id);
  return it == rowset_refs_.end() ? nullptr : &it->second;
}

const std::vector<size_t>* AllocationIndex2005::UnitsOf(uint64_t rowset_id) const {
  auto it = units_by_owner_.find(rowset_id);
  return it == units_by_owner_.end() ? nullptr : &it->second;
}

bool AllocationIndex2005::MayBeOwnUnit(uint64_t rowset_id, uint32_t object_id) const {
  for (uint64_t index_id : {0, 1})
    if (rowset_id == RowsetIdOf(index_id, object_id)) return true;
  if (!user_units_share_rowset_ids_) return false;
  auto it = unit_owners_.find(rowset_id);
  return it == unit_owners_.end() || it->second == rowset_id;
}

const std::vector<uint64_t>* AllocationIndex2005::DataRowsets(uint32_t object_id) const {
  auto it = data_rowsets_.find(object_id);
  return it == data_rowsets_.end() ? nullptr : &it->second;
}

std::vector<uint32_t> AllocationIndex2005::ObjectsWithDataRowsets() const {
  std::set<uint32_t> ids;
  for (const auto& [id, rowsets] : idx_rowsets_) ids.insert(id);
  for (const auto& [id, rowsets] : data_rowsets_) ids.insert(id);
  return {ids.begin(), ids.end()};
}

const UnitPages2005& AllocationIndex2005::UnitPages() const {
  if (!unit_pages_) unit_pages_ = scan_headers_ ? UnitPages2005::Scan(*store_) : UnitPages2005();
  return *unit_pages_;
}

namespace {

class TablePages {
 public:
  TablePages(CMdfDatabase& db, uint32_t object_id) : db_(db), object_id_(object_id) {}

  // The unit's single pages, then its extents' pages; false on damage.
  // The extents are walked whatever the unit's page count: a database
  // created by SQL Server 2016 or later gives every table uniform extents
  // from its first page on, so a one-page table has no single pages.
  bool FollowUnit(const AllocUnitRow& unit) {
    const PageStore& store = db_.Store();
    std::optional<std::vector<uint64_t>> singles = ReadIamSinglePages(store, unit.firstIam);
    if (!singles) return false;
    for (uint64_t page : *singles)
      if (!OfTheUnit(page, unit)) return false;
    for (uint64_t page : *singles) AppendIfData(page);
    std::vector<uint64_t> extents;
    bool cut = false;
    if (!WalkIamChain(store, unit.firstIam, extents, &cut)) return false;
    cut_ = cut_ || cut;
    std::vector<uint64_t> candidates;
    candidates.reserve(extents.size() * iam_layout::kPagesPerExtent);
    for (uint64_t extent : extents) {
      for (uint64_t k = 0; k < iam_layout::kPagesPerExtent; ++k)
        candidates.push_back(extent * iam_layout::kPagesPerExtent + k);
    }
    // The headers are asked all at once (on several threads when many),
    // the pages listed in extent order as one by one.
    const std::vector<uint8_t> data = DataPageFlags(store, candidates);
    for (size_t i = 0; i < candidates.size(); ++i)
      if (data[i]) db_.dataPageLists[object_id_].push_back(candidates[i]);
    return true;
  }

  // The data pages whose header names one of `unit_ids`, not listed yet,
  // in page order.
  void FollowHeaders(const UnitPages2005& scan, const std::vector<uint64_t>& unit_ids) {
    std::set<uint64_t> pages;
    if (auto it = db_.dataPageLists.find(object_id_); it != db_.dataPageLists.end())
      pages.insert(it->second.begin(), it->second.end());
    std::vector<uint64_t> found;
    for (uint64_t unit : unit_ids)
      if (const std::vector<uint64_t>* named = unit ? scan.PagesOf(unit) : nullptr)
        for (uint64_t page : *named)
          if (pages.insert(page).second) found.push_back(page);
    if (found.empty()) return;
    std::sort(found.begin(), found.end());
    DataPageList& list = db_.dataPageLists[object_id_];
    list.insert(list.end(), found.begin(), found.end());
  }

  // An IAM chain went on into a file that is not here.
  bool Cut() const { return cut_; }

  bool Found() const {
    auto it = db_.dataPageLists.find(object_id_);
    return it != db_.dataPageLists.end() && !it->second.empty();
  }

 private:
  // Whether a page a single-page slot names is the unit's: its header names
  // the unit (or, written by a SQL 2000 server, the table itself) and it is
  // no IAM page. A slot naming another's page is a changed slot.
  bool OfTheUnit(uint64_t page, const AllocUnitRow& unit) const {
    std::optional<PageKind> kind = db_.Store().KindOf(page);
    if (!kind) return true;  // unreadable: no rows of it are read either
    return (kind->objId == HeaderObjIdOfUnit(unit.auid) || kind->objId == object_id_) &&
           !kind->HasType(PageType::kIam);
  }

  // A backup's map pass noted the types: a compressed one's blocks are not
  // decoded once more for the headers.
  void AppendIfData(uint64_t page) {
    std::optional<bool> data = db_.Store().IsDataPage(page);
    if (!data) {
      std::optional<PageKind> h = db_.Store().KindOf(page);
      data = h && h->HasType(PageType::kData);
    }
    if (*data) db_.dataPageLists[object_id_].push_back(page);
  }

  CMdfDatabase& db_;
  uint32_t object_id_;
  bool cut_ = false;
};

}  // namespace

namespace {

enum class Route { kNoUnit, kFollowed, kDamaged };

// The allocation route: sysidxstats rowset, its in-row unit, the unit's IAM
// pages. Every rowset and unit id met goes to `unit_ids`.
Route FollowRoute(TablePages& pages, uint32_t object_id, const AllocationIndex2005& index,
                  std::vector<uint64_t>& unit_ids) {
  const std::vector<uint64_t>* rowsets = index.IdxRowsets(object_id);
  if (!rowsets) return Route::kNoUnit;
  for (uint64_t rowset : *rowsets) {
    if (rowset != 0) {
      if (index.MayBeOwnUnit(rowset, object_id)) unit_ids.push_back(rowset);
      const std::vector<size_t>* units = index.UnitsOf(rowset);
      if (!units || units->empty()) continue;
      const AllocUnitRow& unit = index.Units()[units->front()];
      unit_ids.push_back(unit.auid);
      return pages.FollowUnit(unit) ? Route::kFollowed : Route::kDamaged;
    }
    // Rowset 0: every unit owned by one of the table's rowsets, in list order.
    const std::unordered_set<uint64_t>* refs = index.RowsetRefs(object_id);
    if (!refs) continue;
    std::vector<size_t> positions;
    for (uint64_t ref : *refs) {
      if (index.MayBeOwnUnit(ref, object_id)) unit_ids.push_back(ref);
      if (const std::vector<size_t>* units = index.UnitsOf(ref))
        positions.insert(positions.end(), units->begin(), units->end());
    }
    std::sort(positions.begin(), positions.end());
    for (size_t position : positions) {
      unit_ids.push_back(index.Units()[position].auid);
      if (!pages.FollowUnit(index.Units()[position])) return Route::kDamaged;
    }
    if (!positions.empty()) return Route::kFollowed;
  }
  return Route::kNoUnit;
}

uint64_t RecordedRowCount(const CMdfDatabase& db, uint32_t object_id) {
  auto it = db.catalog.tables.find(object_id);
  return it == db.catalog.tables.end() ? 0 : it->second.rowCount.value_or(0);
}

}  // namespace

void PrepareTableLists2005(const PageStore& store, const AllocationIndex2005& index,
                           const std::unordered_set<uint32_t>& table_ids) {
  // The pages the lists will ask: those of the extents the IAM chains of
  // the tables' heap or clustered units name (a chain's pages are few).
  uint64_t asked = 0;
  std::vector<uint64_t> extents;
  for (uint32_t id : table_ids) {
    const std::vector<uint64_t>* rowsets = index.IdxRowsets(id);
    if (!rowsets) continue;
    for (uint64_t rowset : *rowsets) {
      const std::vector<size_t>* units = rowset ? index.UnitsOf(rowset) : nullptr;
      if (!units || units->empty()) continue;
      extents.clear();
      if (WalkIamChain(store, index.Units()[units->front()].firstIam, extents))
        asked += extents.size() * iam_layout::kPagesPerExtent;
      break;
    }
  }
  // A backup's map pass noted its data pages already (IsDataPage answers):
  // a pass would decode a compressed backup once more for nothing.
  const bool noted = store.IsDataPage(0).has_value();
  if (!noted && KindPassPays(table_ids.size(), asked, store.PagesHeld())) store.NotePageKinds();
}

bool LocateTablePages2005(CMdfDatabase& db, uint32_t object_id, const AllocationIndex2005& index) {
  TablePages pages(db, object_id);
  std::vector<uint64_t> unit_ids;
  Route route = FollowRoute(pages, object_id, index, unit_ids);
  // Pages in the files held past a chain's cut: their headers name the unit.
  if (pages.Cut()) pages.FollowHeaders(index.UnitPages(), unit_ids);
  if (pages.Found()) {
    if (route != Route::kDamaged) return true;
  } else if (route == Route::kFollowed && RecordedRowCount(db, object_id) == 0) {
    return true;  // an empty table
  }
  // A link of the route is lost: the sysrowsets rowsets, through their
  // units when the route named none, then the page headers.
  if (const std::vector<uint64_t>* rowsets = index.DataRowsets(object_id)) {
    for (uint64_t rowset : *rowsets) {
      if (index.MayBeOwnUnit(rowset, object_id)) unit_ids.push_back(rowset);
      const std::vector<size_t>* units = index.UnitsOf(rowset);
      if (route != Route::kNoUnit || !units || units->empty()) continue;
      const AllocUnitRow& unit = index.Units()[units->front()];
      unit_ids.push_back(unit.auid);
      route = pages.FollowUnit(unit) ? Route::kFollowed : Route::kDamaged;
      if (route == Route::kFollowed && pages.Found()) return true;
    }
  }
  // Pages a SQL 2000 server wrote keep the table's own object id and index
  // id 0 in their header, whatever rowset the upgrade gave the table.
  unit_ids.push_back(RowsetIdOf(0, object_id));
  pages.FollowHeaders(index.UnitPages(), unit_ids);
  return pages.Found() || route != Route::kDamaged;
}

void TakeUnitPages2005(CMdfDatabase& db, uint32_t object_id, const AllocationIndex2005& index,
                       uint64_t unit_id) {
  TablePages pages(db, object_id);
  pages.FollowHeaders(index.UnitPages(), {unit_id});
  auto list = db.dataPageLists.find(object_id);
  if (list == db.dataPageLists.end() || list->second.empty()) return;
  db.pageOwnerMap.try_emplace(HeaderObjIdOfUnit(unit_id), object_id);
}

bool LocateTablePages2005(CMdfDatabase& db, uint32_t object_id) {
  AllocationIndex2005 index = AllocationIndex2005::Build(db.Store(), db.systemPages2005, false);
  return LocateTablePages2005(db, object_id, index);
}

}  // namespace tollamer::sql2005
