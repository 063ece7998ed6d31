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
#include "engine/pagestore/page_layout.h"
#include "platform/file.h"

namespace tollamer {

inline constexpr uint16_t kPrimaryFileId = 1;
inline constexpr uint8_t kSortPageType = 7;
inline constexpr uint16_t kMaxHeaderCount = page_layout::kPageSize;
inline constexpr uint8_t kTypeFlagMask = 0x7F;

// The page types that a backup conversion or a file census accepts.
bool IsKnownPageType(uint8_t type);

// Backup conversion: true when `sector` (at least 96 bytes) begins a page.
bool IsBackupPageStart(ByteView sector);

// Fragment search: true when `unit` (at least 96 bytes) begins a page.
bool IsExcavationPageStart(ByteView unit);

// The page number stored in a page's own header.
std::optional<uint32_t> OwnPageNumber(ByteView page);

// Where page 0 of a data file lies, and which file of its database it is.
// Page 0 normally starts at byte 0; a file cut from a disk or badly copied
// can carry bytes before it. Every sector of the first 4 MiB that begins a
// page (of any file id) votes for base = its position - its page number *
// 8192; the base with most votes wins, byte 0 on a tie or when nothing
// votes. The file id is the one most of those pages carry (1 when none).
struct DataFileStart {
  uint64_t base = 0;
  uint16_t fileId = kPrimaryFileId;
  uint64_t votes = 0;
};
DataFileStart FindDataFileStart(const platform::ReadOnlyFile& file);

}  // namespace tollamer
