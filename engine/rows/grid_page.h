// Grid pages: the record grid shows a table eight data pages at a time.
// Grid page p (1-based) covers entries 8(p-1) to 8(p-1)+7 of the table's
// data page list, however many rows those pages hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/catalog/catalog_model.h"

namespace tollamer {

inline constexpr size_t kDataPagesPerGridPage = 8;

// SQL 7.0/2000 files: floor(entries / 8) + 1, so 8 entries give 2 grid
// pages, the second empty.
constexpr uint32_t GridPageCount2000(size_t entries) {
  return static_cast<uint32_t>(entries / kDataPagesPerGridPage + 1);
}

// SQL 2005/2008 files: ceil(entries / 8).
constexpr uint32_t GridPageCount2005(size_t entries) {
  return static_cast<uint32_t>((entries + kDataPagesPerGridPage - 1) / kDataPagesPerGridPage);
}

// The entries of grid page `grid_page`; empty for a page before the first
// or past the end of the list.
std::span<const uint64_t> GridPageEntries(const DataPageList& list, int32_t grid_page);

}  // namespace tollamer
