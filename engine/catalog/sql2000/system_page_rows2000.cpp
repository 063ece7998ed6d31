#include "engine/catalog/sql2000/system_page_rows2000.h"

namespace tollamer::sql2000 {

using namespace page_layout;

namespace {

// False when `visit` asked to stop.
bool VisitPage(const PageStore& store, uint64_t page_number, uint32_t offset_limit,
               const std::function<bool(const SlotRow&)>& visit) {
  std::optional<Page> page = store.ReadPage(page_number);
  if (!page) return true;
  ByteView v = page->view();
  std::optional<PageHeader> header = PageHeader::Decode(v);
  if (!header) return true;
  for (size_t slot = 0; slot < header->slotCnt && slot < kMaxSlots; ++slot) {
    std::optional<uint16_t> offset = SlotOffset(v, slot);
    if (!offset || *offset >= offset_limit) continue;
    if (!visit(SlotRow{page_number, &*header, *offset, v.From(*offset)})) return false;
  }
  return true;
}

}  // namespace

void ForEachSlotRow(const PageStore& store, const SystemPageList& list, uint32_t offset_limit,
                    const std::function<bool(const SlotRow&)>& visit) {
  for (uint64_t page : list)
    if (!VisitPage(store, page, offset_limit, visit)) return;
}

void ForEachSlotRowOfFirstPage(const PageStore& store, const SystemPageList& list,
                               uint32_t offset_limit,
                               const std::function<bool(const SlotRow&)>& visit) {
  if (!list.empty()) VisitPage(store, *list.begin(), offset_limit, visit);
}

}  // namespace tollamer::sql2000
