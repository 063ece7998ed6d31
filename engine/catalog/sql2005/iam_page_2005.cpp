#include "engine/catalog/sql2005/iam_page_2005.h"

#include "engine/pagestore/iam_layout.h"

namespace tollamer::sql2005 {

using namespace page_layout;
using namespace iam_layout;

std::optional<IamPage> ReadIamPage(const PageStore& store, uint64_t page_number) {
  // The header and the IAM header record up to the end of the single-page
  // slots are all that is read; they lie in sector 0, which the torn-bit
  // repair never changes.
  std::optional<std::vector<uint8_t>> prefix = store.ReadPrefix(page_number, kPrefixSize);
  if (!prefix || prefix->size() < kPrefixSize) return std::nullopt;
  ByteView v(*prefix);
  if (v.LeOr<uint8_t>(kType) != static_cast<uint8_t>(PageType::kIam)) return std::nullopt;
  IamPage iam;
  for (size_t s = 0; s < kSinglePageSlotCount; ++s) {
    uint32_t single = v.LeOr<uint32_t>(kSinglePageSlots + s * kPagePointerSize);
    if (single != 0) iam.singlePages.push_back(single);
  }
  return iam;
}

}  // namespace tollamer::sql2005
