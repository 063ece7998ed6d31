// Reading ahead: the pass that notes every page's kind in file order, and
// the hints that let the system read pages before they are asked for.
#include <algorithm>

#include "engine/pagestore/page_store.h"

namespace tollamer {

using namespace page_layout;

namespace {

// Pages per read of the kinds pass (2 MiB), and how far ahead of its reads
// the system is told to read: 64 to 128 MiB, which keeps enough reads in
// flight for a disk that serves several at once (a cold pass then reads
// faster than `cat` with the system's own read-ahead; 8 MiB ahead did not).
constexpr uint64_t kKindBlockPages = 256;
constexpr uint64_t kKindAheadPages = 32 * kKindBlockPages;

// Calls `run(first, location, count)` for each run of held pages in
// [first, end) that lie one after another in their file, at most `limit`
// pages a run, in page order.
template <typename Run>
void ForEachRun(const PageMap& map, uint64_t first, uint64_t end, uint64_t limit, Run&& run) {
  for (uint64_t page = first; page < end;) {
    const std::optional<PageLocation> at = map.Locate(page);
    const uint64_t length = at ? map.RunLength(page, std::min(limit, end - page)) : 0;
    if (length == 0) {
      const std::optional<uint64_t> next = map.NextHeld(page + 1);
      if (!next) return;
      page = *next;
      continue;
    }
    run(page, *at, length);
    page += length;
  }
}

}  // namespace

void PageStore::NotePageKinds() const {
  if (!IsOpen() || !kinds_->Empty()) return;
  const uint64_t count = PageCount();
  kinds_->Reset(count);
  for (const StoreSource& source : sources_) source.file->ReadingInOrder(true);
  std::vector<uint8_t> block(kKindBlockPages * kPageSize);
  uint64_t told = 0;  // the pages below it the system was told of
  ForEachRun(map_, 0, count, kKindBlockPages, [&](uint64_t first, PageLocation at, uint64_t run) {
    if (told < first + kKindAheadPages) {
      const uint64_t from = std::max(told, first);
      told = std::min(count, first + 2 * kKindAheadPages);
      ForEachRun(map_, from, told, UINT64_MAX, [&](uint64_t, PageLocation ahead, uint64_t n) {
        sources_[ahead.source].file->WillRead(ahead.offset, n * kPageSize);
      });
    }
    const size_t got = ReadAt(at, std::span<uint8_t>(block.data(), run * kPageSize));
    for (uint64_t k = 0; k < run && k * kPageSize + kHeaderSize <= got; ++k)
      if (std::optional<PageHeader> h =
              PageHeader::Decode(ByteView(block.data() + k * kPageSize, kHeaderSize)))
        kinds_->Note(first + k, *h);
  });
  for (const StoreSource& source : sources_) source.file->ReadingInOrder(false);
}

std::optional<PageKind> PageStore::KindOf(uint64_t page_number) const {
  if (std::optional<PageKind> noted = kinds_->Of(page_number)) return noted;
  std::optional<PageHeader> h = ReadHeader(page_number);
  if (!h) return std::nullopt;
  return PageKind{h->type, h->objId};
}

void PageStore::WillRead(std::span<const uint64_t> pages) const {
  if (!IsOpen()) return;
  for (size_t i = 0; i < pages.size();) {
    size_t run = 1;
    while (i + run < pages.size() && pages[i + run] == pages[i + run - 1] + 1) ++run;
    ForEachRun(map_, pages[i], pages[i] + run, UINT64_MAX, [&](uint64_t, PageLocation at, uint64_t n) {
      sources_[at.source].file->WillRead(at.offset, n * kPageSize);
    });
    i += run;
  }
}

}  // namespace tollamer
