#include "engine/catalog/sql2005/iam_page_2005.h"

#include "engine/pagestore/iam_layout.h"

namespace tollamer::sql2005 {

using namespace page_layout;
using namespace iam_layout;

std::optional<IamPage> ReadIamPage(const PageStore& store, uint64_t page_number) {
  std::optional<Page> page = store.ReadPage(page_number);
  if (!page) return std::nullopt;
  ByteView v = page->view();
  if (v.LeOr<uint8_t>(kType) != static_cast<uint8_t>(PageType::kIam)) return std::nullopt;
  IamPage iam;
  for (size_t s = 0; s < kSinglePageSlotCount; ++s) {
    uint32_t single = v.LeOr<uint32_t>(kSinglePageSlots + s * kPagePointerSize);
    if (single != 0) iam.singlePages.push_back(single);
  }
  return iam;
}

}  // namespace tollamer::sql2005
