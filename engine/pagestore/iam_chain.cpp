#include "engine/pagestore/iam_chain.h"

#include <algorithm>
#include <unordered_set>

#include "engine/pagestore/iam_layout.h"

namespace tollamer {

using namespace page_layout;
using namespace iam_layout;

namespace {

// Number of bitmap bytes worth examining: enough for every extent the file
// holds a page of (a backup can end on an extent's first page), and never
// more than one IAM page holds.
size_t BitmapBytesForFile(uint64_t page_count) {
  uint64_t extents = (page_count + kPagesPerExtent - 1) / kPagesPerExtent;
  uint64_t bytes = (extents + 7) / 8;
  return static_cast<size_t>(std::min<uint64_t>(bytes, kBitmapBytes));
}

bool AppendPageExtents(const PageStore& store, const Page& page, std::vector<uint64_t>& out) {
  ByteView v = page.view();
  std::optional<uint32_t> start_page = v.U32(kStartPage);
  // The interval's file: its extents are that file's.
  const uint16_t file = std::max(v.LeOr<uint16_t>(kStartPage + 4), kFirstFileId);
  std::optional<uint16_t> bitmap_slot = SlotOffset(v, kBitmapRecordSlot);
  if (!start_page || !bitmap_slot || *bitmap_slot < kHeaderSize) return false;
  const size_t bitmap_bytes = BitmapBytesForFile(store.PageCountOf(file));
  const uint64_t file_extents = FirstKeyOf(file) / kPagesPerExtent;
  if (!v.Contains(size_t{*bitmap_slot} + kRecordHeaderSize, 0)) return false;
  // A bitmap record that runs past the page is read only as far as the page.
  ByteView bits = v.From(size_t{*bitmap_slot} + kRecordHeaderSize);
  size_t count = std::min(bitmap_bytes, bits.size());
  uint64_t interval = *start_page / kPagesPerInterval;
  for (size_t i = 0; i < count; ++i) {
    uint8_t byte = bits.LeOr<uint8_t>(i);
    for (unsigned j = 0; j < 8; ++j)
      if (byte & (1u << j)) out.push_back(file_extents + (interval * kBitmapBytes + i) * 8 + j);
  }
  return true;
}

}  // namespace

bool WalkIamChain(const PageStore& store, uint64_t first, std::vector<uint64_t>& extents,
                  bool* cut) {
  // Collect the chain first; a chain can hold no more pages than the file.
  std::vector<uint64_t> chain;
  std::unordered_set<uint64_t> seen;
  if (cut) *cut = false;
  for (uint64_t page = first;;) {
    if (!seen.insert(page).second) return false;  // loops back on itself
    if (!store.HoldsFile(FileIdOfKey(page)) && !chain.empty()) {
      // The chain goes on in a file of the database that is not here.
      if (cut) *cut = true;
      break;
    }
    std::optional<PageHeader> header = store.ReadHeader(page);
    if (!header || !header->HasType(PageType::kIam)) return false;
    chain.push_back(page);
    if (header->nextPage == 0) break;
    page = header->NextKey();
  }

  std::vector<uint64_t> found;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    std::optional<Page> page = store.ReadPage(*it);
    if (!page || store.CheckOf(*it) != PageCheck::kGood || !AppendPageExtents(store, *page, found))
      return false;
  }
  extents.insert(extents.end(), found.begin(), found.end());
  return true;
}

std::optional<std::vector<uint64_t>> ReadIamSinglePages(const PageStore& store,
                                                        uint64_t iam_page) {
  // The whole page is read for its check; the slots lie in sector 0, whose
  // bytes up to them the torn-bit repair never changes.
  std::optional<Page> page = store.ReadPage(iam_page);
  if (!page || store.CheckOf(iam_page) != PageCheck::kGood) return std::nullopt;
  ByteView v = page->view();
  if (v.LeOr<uint8_t>(kType) != static_cast<uint8_t>(PageType::kIam)) return std::nullopt;
  std::vector<uint64_t> pages;
  for (size_t s = 0; s < kSinglePageSlotCount; ++s) {
    uint64_t page = PointerKey(v, kSinglePageSlots + s * kPagePointerSize).value_or(0);
    if (page != 0) pages.push_back(page);
  }
  return pages;
}

}  // namespace tollamer
