// The slot offsets that each lookup of the SQL 7.0/2000 catalog accepts:
// rows at or beyond the limit are not looked at.
#pragma once

#include <cstdint>

namespace tollamer::sql2000::offset_limit {

inline constexpr uint32_t kBelowPageEnd = 0x2000;   // sysindexes row counts: offset < 0x2000
inline constexpr uint32_t kUpToPageEnd = 0x2001;    // sysobjects, syscolumns, syscomments: <= 0x2000
inline constexpr uint32_t kAny = 0x10000;           // sysusers, systypes: no bound of their own

}  // namespace tollamer::sql2000::offset_limit
