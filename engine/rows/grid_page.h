// Grid pages: the record grid shows a table eight data pages at a time.
// Grid page p (1-based) covers entries 8(p-1) to 8(p-1)+7 of the table's
// data page list, however many rows those pages hold. How many grid pages
// a list makes is the format profile's count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/catalog/catalog_model.h"
#include "engine/catalog/format_profile.h"

namespace tollamer {

// The entries of grid page `grid_page`; empty for a page before the first
// or past the end of the list.
std::span<const uint64_t> GridPageEntries(const DataPageList& list, int32_t grid_page);

}  // namespace tollamer
