#include "engine/pagestore/data_page_flags.h"

#include <algorithm>
#include <thread>

namespace tollamer {

namespace {

// Below this many pages the reads take less than a thread's start.
constexpr size_t kPagesPerThread = 4096;
constexpr unsigned kMaxThreads = 4;

bool IsData(const PageStore& store, uint64_t page) {
  if (std::optional<bool> noted = store.IsDataPage(page)) return *noted;
  const std::optional<PageKind> kind = store.KindOf(page);
  return kind && kind->HasType(page_layout::PageType::kData);
}

}  // namespace

std::vector<uint8_t> DataPageFlags(const PageStore& store, std::span<const uint64_t> pages) {
  std::vector<uint8_t> flags(pages.size(), 0);
  auto fill = [&](size_t first, size_t end) {
    for (size_t i = first; i < end; ++i) flags[i] = IsData(store, pages[i]) ? 1 : 0;
  };
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t threads =
      std::min<size_t>({cores, kMaxThreads, std::max<size_t>(1, pages.size() / kPagesPerThread)});
  if (threads <= 1) {
    fill(0, pages.size());
    return flags;
  }
  // Each thread takes one contiguous part; this thread takes the first.
  const size_t part = (pages.size() + threads - 1) / threads;
  std::vector<std::thread> others;
  for (size_t t = 1; t < threads; ++t) {
    const size_t first = std::min(pages.size(), t * part);
    others.emplace_back(fill, first, std::min(pages.size(), first + part));
  }
  fill(0, std::min(pages.size(), part));
  for (std::thread& t : others) t.join();
  return flags;
}

}  // namespace tollamer
