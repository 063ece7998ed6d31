#include "engine/catalog/sql2005/locate_system_tables_2005.h"

#include "engine/catalog/sql2005/system_row_layout_2005.h"
#include "engine/catalog/sql2005/system_rows_2005.h"
#include "engine/catalog/sql2005/system_tables_2005.h"
#include "engine/pagestore/iam_chain.h"
#include "engine/pagestore/iam_layout.h"

namespace tollamer::sql2005 {

using namespace page_layout;

void CollectSinglePages2005(const PageStore& store, const std::vector<uint64_t>& slots,
                            SystemPageList& list) {
  for (uint64_t page : slots) {
    std::optional<PageHeader> h = store.ReadHeader(page);
    if (h && IsPlausibleDataPage(*h)) list.Append(page);
  }
}

void CollectExtentPages2005(const PageStore& store, const std::vector<uint64_t>& extents,
                            SystemPageList& list) {
  for (uint64_t extent : extents) {
    for (uint64_t k = 0; k < iam_layout::kPagesPerExtent; ++k) {
      uint64_t page = extent * iam_layout::kPagesPerExtent + k;
      std::optional<PageHeader> h = store.ReadHeader(page);
      if (h && IsPlausibleDataPage(*h)) list.Append(page);
    }
  }
}

namespace {

// Follows one sysallocunits row of a system table; false on damage.
bool FollowSystemUnit(const PageStore& store, const AllocUnitRow& row, SystemPageList& list) {
  if (row.firstIamFileId == 0) return true;
  std::optional<std::vector<uint64_t>> singles = ReadIamSinglePages(store, row.firstIam);
  if (!singles) return false;
  CollectSinglePages2005(store, *singles, list);
  std::vector<uint64_t> extents;
  if (!WalkIamChain(store, row.firstIam, extents)) return false;
  CollectExtentPages2005(store, extents, list);
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
        // A rowset column table: its pages are taken, but it is not one of
        // the nine and a damaged unit of it only leaves its list short.
        if (const SystemTable2005* extra = LayoutTableByRowset(row->ownerId)) {
          SystemPageList* list = lists.ForObject(extra->objectId);
          if (list) {
            SystemPageList found;
            if (FollowSystemUnit(store, *row, found))
              for (uint64_t page : found) list->Append(page);
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
