#include "engine/catalog/system_page_scan.h"

namespace tollamer {

using namespace page_layout;

namespace {

constexpr uint32_t kObject20 = 20;

bool IsDataPageV1(const PageHeader& h) {
  return h.headerVersion == kValidHeaderVersion && h.HasType(PageType::kData);
}

}  // namespace

void ScanSystemPages2000(const PageStore& store, SystemPages2000& lists) {
  lists.Clear();
  ForEachHeldPage(store, [&](uint64_t page, ByteView bytes) {
    std::optional<PageHeader> h = PageHeader::Decode(bytes);
    if (!h) return true;
    if (h->objId == kObject20) {
      lists.object20.Append(page);
    } else if (IsDataPageV1(*h)) {
      if (SystemPageList* list = lists.ForObject(h->objId)) list->Append(page);
    }
    return true;
  });
}

void ScanSystemPages2005(const PageStore& store, SystemPages2005& lists) {
  lists.Clear();
  ForEachHeldPage(store, [&](uint64_t page, ByteView bytes) {
    std::optional<PageHeader> h = PageHeader::Decode(bytes);
    if (h && IsDataPageV1(*h)) {
      if (SystemPageList* list = lists.ForObject(h->objId)) list->Append(page);
    }
    return true;
  });
}

}  // namespace tollamer
