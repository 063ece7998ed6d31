#include "engine/catalog/sql2005/table_pages_2005.h"

#include <algorithm>

#include "engine/catalog/sql2005/iam_page_2005.h"
#include "engine/catalog/sql2005/system_row_layout_2005.h"
#include "engine/pagestore/iam_chain.h"
#include "engine/pagestore/iam_layout.h"

namespace tollamer::sql2005 {

using namespace page_layout;

AllocationIndex2005 AllocationIndex2005::Build(const PageStore& store,
                                               const SystemPages2005& lists) {
  AllocationIndex2005 index;
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
    if (row && row->type == row_layout::allocunits::kInRowData) {
      index.units_by_owner_[row->ownerId].push_back(index.units_.size());
      index.units_.push_back(*row);
    }
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

namespace {

class TablePages {
 public:
  TablePages(CMdfDatabase& db, uint32_t object_id) : db_(db), object_id_(object_id) {}

  // The unit's single pages, then its extents' pages; false on damage.
  bool FollowUnit(const AllocUnitRow& unit) {
    const PageStore& store = db_.Store();
    std::optional<IamPage> iam = ReadIamPage(store, unit.firstIam);
    if (!iam) return false;
    for (uint64_t page : iam->singlePages) AppendIfData(page);
    SetGridPages(1);
    std::vector<uint64_t> extents;
    if (!WalkIamChain(store, unit.firstIam, extents)) return false;
    for (uint64_t extent : extents) {
      for (uint64_t k = 0; k < iam_layout::kPagesPerExtent; ++k)
        AppendIfData(extent * iam_layout::kPagesPerExtent + k);
      AddGridPage();
    }
    return true;
  }

 private:
  void AppendIfData(uint64_t page) {
    std::optional<PageHeader> h = db_.Store().ReadHeader(page);
    if (h && h->HasType(PageType::kData)) db_.dataPageLists[object_id_].push_back(page);
  }
  void SetGridPages(uint32_t n) {
    if (auto it = db_.catalog.tables.find(object_id_); it != db_.catalog.tables.end())
      it->second.gridPageCount = n;
  }
  void AddGridPage() {
    if (auto it = db_.catalog.tables.find(object_id_); it != db_.catalog.tables.end())
      ++it->second.gridPageCount;
  }

  CMdfDatabase& db_;
  uint32_t object_id_;
};

}  // namespace

bool LocateTablePages2005(CMdfDatabase& db, uint32_t object_id, const AllocationIndex2005& index) {
  const std::vector<uint64_t>* rowsets = index.IdxRowsets(object_id);
  if (!rowsets) return true;
  TablePages pages(db, object_id);
  for (uint64_t rowset : *rowsets) {
    if (rowset != 0) {
      const std::vector<size_t>* units = index.UnitsOf(rowset);
      if (!units || units->empty()) continue;
      if (!pages.FollowUnit(index.Units()[units->front()])) return false;
      return true;
    }
    // Rowset 0: every unit owned by one of the table's rowsets, in list order.
    const std::unordered_set<uint64_t>* refs = index.RowsetRefs(object_id);
    if (!refs) continue;
    std::vector<size_t> positions;
    for (uint64_t ref : *refs)
      if (const std::vector<size_t>* units = index.UnitsOf(ref))
        positions.insert(positions.end(), units->begin(), units->end());
    std::sort(positions.begin(), positions.end());
    for (size_t position : positions)
      if (!pages.FollowUnit(index.Units()[position])) return false;
  }
  return true;
}

bool LocateTablePages2005(CMdfDatabase& db, uint32_t object_id) {
  AllocationIndex2005 index = AllocationIndex2005::Build(db.Store(), db.systemPages2005);
  return LocateTablePages2005(db, object_id, index);
}

}  // namespace tollamer::sql2005
