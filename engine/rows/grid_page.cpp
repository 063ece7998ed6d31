#include "engine/rows/grid_page.h"

#include <algorithm>

namespace tollamer {

std::span<const uint64_t> GridPageEntries(const DataPageList& list, int32_t grid_page) {
  if (grid_page < 1) return {};
  size_t first = static_cast<size_t>(grid_page - 1) * kDataPagesPerGridPage;
  if (first >= list.size()) return {};
  size_t count = std::min(kDataPagesPerGridPage, list.size() - first);
  return std::span<const uint64_t>(list).subspan(first, count);
}

}  // namespace tollamer
