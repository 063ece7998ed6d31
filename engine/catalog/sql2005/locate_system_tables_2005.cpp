#include "engine/catalog/sql2005/locate_system_tables_2005.h"

#include "engine/catalog/sql2005/system_row_layout_2005.h"
#include "engine/catalog/sql2005/system_rows_2005.h"
#include "engine/catalog/sql2005/system_tables_2005.h"
#include "engine/catalog/sql2005/unit_pages_2005.h"
#include "engine/pagestore/iam_chain.h"
#include "engine/pagestore/iam_layout.h"

namespace tollamer::sql2005 {

using namespace page_layout;

bool CollectSinglePages2005(const PageStore& store, const std::vector<uint64_t>& slots,
                            uint64_t unit, SystemPageList& list) {
  for (uint64_t page : slots) {
    std::optional<PageHeader> h = store.ReadHeader(page);
    if (!h) continue;
    if (h->headerVersion == kValidHeaderVersion &&
        (UnitIdOfHeader(*h) != unit || h->HasType(PageType::kIam)))
      return false;
    if (IsPlausibleDataPage(*h)) list.Append(page);
  }
  return true;
}

void CollectExtentPages2005(const PageStore& store, const std::vector<uint64_t>& extents,
                            uint64_t unit, SystemPageList& list) {
  for (uint64_t extent : extents) {
    for (uint64_t k = 0; k < iam_layout::kPagesPerExtent; ++k) {
      uint64_t page = extent * iam_layout::kPagesPerExtent + k;
      std::optional<PageHeader> h = store.ReadHeader(page);
      if (h && IsPlausibleDataPage(*h) && UnitIdOfHeader(*h) == unit) list.Append(page);
    }
  }
}

namespace {

// Follows one sysallocunits row of a system table; false on damage.
bool FollowSystemUnit(const PageStore& store, const AllocUnitRow& row, SystemPageList& list) {
  if (row.firstIamFileId == 0) return true;
  std::optional<std::vector<uint64_t>> singles = ReadIamSinglePages(store, row.firstIam);
  if (!singles || !CollectSinglePages2005(store, *singles, row.auid, list)) return false;
  std::vector<uint64_t> extents;
  if (!WalkIamChain(store, row.firstIam, extents)) return false;
  CollectExtentPages2005(store, extents, row.auid, list);
  return true;
}

}  // namespace

SystemLocation2005 LocateSystemTables2005(const PageStore& store, SystemPages2005& lists) {
  SystemLocation2005 result;
  ForEachHeldPage(store, [&](uint64_t p, ByteView raw) {
    ++result.pagesScreened;
    std::optional<PageHeader> h = PageHeader::Decode(raw);
    if (!h || h->headerVersion != kValidHeaderVersion || !h->HasType(PageType::kData) ||
        h->objId != kSysallocunits)
      return true;
    std::optional<Page> page = store.ReadPage(p);
    if (!page) return true;
    ByteView v = page->view();
    for (size_t i = 0; i < h->slotCnt; ++i) {
      std::optional<uint16_t> offset = SlotOffset(v, i);
      if (!offset) break;
      std::optional<AllocUnitRow> row = DecodeAllocUnitRow(v, *offset);
      if (!row || row->type != row_layout::allocunits::kInRowData) continue;
      const SystemTable2005* table = SystemTableByRowset(row->ownerId);
      if (!table) {
        // A rowset column table: not one of the nine, but a list of it left
        // short would place the columns of some tables wrongly in their
        // records, so a damaged unit of it is damage as theirs is.
        if (const SystemTable2005* extra = LayoutTableByRowset(row->ownerId)) {
          SystemPageList* list = lists.ForObject(extra->objectId);
          if (list && !FollowSystemUnit(store, *row, *list)) {
            result.ok = false;
            return false;
          }
        }
        continue;
      }
      ++result.rowsMatched;
      SystemPageList* list = lists.ForObject(table->objectId);
      if (!list || !FollowSystemUnit(store, *row, *list)) {
        result.ok = false;
        return false;
      }
    }
    return result.rowsMatched < kSystemRowsWanted;
  });
  return result;
}

}  // namespace tollamer::sql2005
