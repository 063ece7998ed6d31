// The slot offsets that each lookup of the SQL 7.0/2000 catalog accepts:
// rows at or beyond the limit are not looked at.
#pragma once

#include <cstdint>

#include "engine/pagestore/page_layout.h"

namespace tollamer::sql2000::offset_limit {

// sysindexes row counts: offset < 0x2000
inline constexpr uint32_t kBelowPageEnd = page_layout::kPageSize;
// sysobjects, syscolumns, syscomments: offset <= 0x2000
inline constexpr uint32_t kUpToPageEnd = page_layout::kPageSize + 1;
// sysusers, systypes: no bound of their own
inline constexpr uint32_t kAny = 0x10000;

}  // namespace tollamer::sql2000::offset_limit
