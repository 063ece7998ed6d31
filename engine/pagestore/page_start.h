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
//   0x24    2     file id not 0              file id = 1
//   0x40    32    all zero                   all zero
//
// The page number that places a found page is the 32-bit number at 0x20
// (with the file id, its page key).
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
// can carry bytes before it, of any length. Every byte of the first 4 MiB
// that begins a page header (version 1, a known type, a file id, the
// reserved bytes zero) votes for base = its position - its page number *
// 8192; while a block holds none the search goes on, 4 MiB at a time, up to
// 64 MiB. The base with most votes wins, the lowest on a tie, byte 0 when
// nothing votes. The file id is the one most of its voters carry (1 when
// none). Headers of file 1 that put their page elsewhere are `stray`: a
// damaged page now and then in a data file, most of them in a backup that
// lost its tape header, whose page images lie wherever its stream put them,
// in ascending page order.
struct DataFileStart {
  uint64_t base = 0;
  uint16_t fileId = kPrimaryFileId;
  uint64_t votes = 0;
  uint64_t stray = 0;
  uint64_t primary = 0;    // headers of file 1
  uint64_t ascending = 0;  // of those, the ones numbered above the one before
  // The byte position modulo 512 that most page headers share: a backup's
  // images start on its sectors, wherever the file now begins.
  uint64_t phase = 0;
};
DataFileStart FindDataFileStart(const platform::ReadOnlyFile& file);

}  // namespace tollamer
