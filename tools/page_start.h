// The tests that recognise the first sector of a SQL Server page in a raw
// byte stream (field layout in engine/pagestore/page_layout.h):
//
//   OFFSET  SIZE  BACKUP CONVERSION          FRAGMENT SEARCH
//   0x00    1     m_headerVersion = 1        m_headerVersion = 1
//   0x01    1     m_type in kBackupTypes     m_type in kExcavationTypes (adds 7)
//   0x02    1     -                          m_typeFlagBits & 0x7F in {0, 1, 4}
//   0x0E    2     -                          m_pminlen <= 8192
//   0x1C    2     -                          m_freeCnt <= 8192
//   0x1E    2     -                          m_freeData <= 8192
//   0x24    2     file id = 1                file id = 1
//   0x40    32    all zero                   all zero
//
// The page number that places a found page is the 32-bit number at 0x20.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/pagestore/byte_view.h"

namespace tollamer::tools {

inline constexpr uint16_t kPrimaryFileId = 1;
inline constexpr uint8_t kSortPageType = 7;
inline constexpr uint16_t kMaxHeaderCount = 8192;
inline constexpr uint8_t kTypeFlagMask = 0x7F;

// The page types that a backup conversion or a file census accepts.
bool IsKnownPageType(uint8_t type);

// Backup conversion: true when `sector` (at least 96 bytes) begins a page.
bool IsBackupPageStart(ByteView sector);

// Fragment search: true when `unit` (at least 96 bytes) begins a page.
bool IsExcavationPageStart(ByteView unit);

// The page number stored in a page's own header.
std::optional<uint32_t> OwnPageNumber(ByteView page);

}  // namespace tollamer::tools
