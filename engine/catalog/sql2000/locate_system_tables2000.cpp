#include "engine/catalog/sql2000/locate_system_tables2000.h"

#include "engine/catalog/sql2000/system_rows2000.h"
#include "engine/catalog/sql2000/system_rows2000_layout.h"
#include "engine/pagestore/iam_chain.h"
#include "engine/pagestore/iam_layout.h"
#include "engine/pagestore/torn_page.h"

namespace tollamer {

using namespace page_layout;

namespace {

constexpr size_t kSystemObjectsToLocate = 7;

bool IsSysIndexesDataPage(const PageHeader& h) {
  return h.headerVersion == kValidHeaderVersion && h.HasType(PageType::kData) &&
         h.objId == sql2000::object_id::kSysIndexes;
}

// Appends the page when it is a plausible data page of `object_id`; false
// when its header names another object, or it is an IAM page (no page an
// IAM page names as its object's).
bool AppendIfPlausible(const PageStore& store, uint64_t page, uint32_t object_id,
                       SystemPageList& list) {
  std::optional<PageHeader> h = store.ReadHeader(page);
  if (!h) return true;
  if (h->headerVersion == kValidHeaderVersion &&
      (h->objId != object_id || h->HasType(PageType::kIam)))
    return false;
  if (IsPlausibleDataPage(*h)) list.Append(page);
  return true;
}

// Follows one system table's sysindexes row to its pages; false when its
// allocation structures are damaged, a single-page slot naming a page of
// another object among them. A page of another object in one of its
// extents is one not reused since the extent changed hands: left out.
bool LocateOne(const PageStore& store, const sql2000::SysIndexesRow& row, SystemPageList& list) {
  std::optional<std::vector<uint64_t>> singles = ReadIamSinglePages(store, row.firstIam);
  if (!singles) return false;
  for (uint64_t page : *singles)
    if (!AppendIfPlausible(store, page, row.id, list)) return false;
  if (row.dataPages >= sql2000::sysindexes::kExtentThreshold) {
    std::vector<uint64_t> extents;
    if (!WalkIamChain(store, row.firstIam, extents)) return false;
    for (uint64_t e : extents)
      for (uint64_t k = 0; k < iam_layout::kPagesPerExtent; ++k)
        AppendIfPlausible(store, e * iam_layout::kPagesPerExtent + k, row.id, list);
  }
  return true;
}

}  // namespace

bool LocateSystemTables2000(const PageStore& store, SystemPages2000& lists) {
  size_t located = 0;
  bool damaged = false;
  ForEachHeldPage(store, [&](uint64_t, ByteView raw) {
    std::optional<PageHeader> h = PageHeader::Decode(raw);
    if (!h || !IsSysIndexesDataPage(*h)) return true;
    Page page = FixTornPage(raw.span(), h->tornBits, h->flagBits);
    ByteView v = page.view();
    for (size_t slot = 0; slot < h->slotCnt && slot < kMaxSlots; ++slot) {
      std::optional<uint16_t> offset = SlotOffset(v, slot);
      if (!offset || size_t{*offset} + kHeaderSize > kPageSize) continue;
      std::optional<sql2000::SysIndexesRow> row = sql2000::ReadSysIndexesRow(v.From(*offset));
      if (!row || !row->DescribesData() || row->dataPages == 0) continue;
      SystemPageList* list = lists.ForObject(row->id);
      if (!list) continue;
      if (row->id == sql2000::object_id::kSysReferences) {
        // Not one of the seven: a damaged chain of it only loses foreign keys.
        SystemPageList found;
        if (LocateOne(store, *row, found))
          for (uint64_t p : found) list->Append(p);
        continue;
      }
      ++located;
      if (!LocateOne(store, *row, *list)) {
        damaged = true;
        return false;
      }
    }
    return located < kSystemObjectsToLocate;
  });
  return !damaged;
}

}  // namespace tollamer
