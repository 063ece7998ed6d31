// The SQL Server page as it lies on disk (7.0 through 2008).
//
// A page is 8192 bytes = 16 sectors of 512. Page n of a data file starts at
// byte n * 8192 (plus the base offset of a backup file). All numbers are
// little-endian.
//
// Page header, the first 96 bytes:
//
//   OFFSET  SIZE  FIELD             MEANING
//   0x00    1     m_headerVersion   1 in every valid page
//   0x01    1     m_type            page type (PageType below)
//   0x02    1     m_typeFlagBits    0, 1 or 4 on a sane data page
//   0x03    1     m_level           B-tree level, 0 for leaf and heap pages
//   0x04    2     m_flagBits        0x0100: torn bits present; 0x0200: checksum
//   0x06    2     m_indexId         index id (2005+: allocation unit id part)
//   0x08    6     m_prevPage        page pointer: previous page at this level
//   0x0E    2     m_pminlen         fixed length of the records on the page
//   0x10    6     m_nextPage        page pointer: next page (next IAM of a chain)
//   0x16    2     m_slotCnt         number of slot array entries
//   0x18    4     m_objId           owning object (2005+: allocation unit part)
//   0x1C    2     m_freeCnt         free bytes on the page
//   0x1E    2     m_freeData        offset of the first free byte
//   0x20    6     m_pageId          page pointer: the page's own number and file
//   0x26    2     m_reservedCnt
//   0x28    10    m_lsn             log sequence number of the last change
//   0x32    2     m_xactReserved
//   0x34    6     m_xdesId
//   0x3A    2     m_ghostRecCnt     ghost records on the page
//   0x3C    4     m_tornBits        torn-page bits, or the page checksum
//   0x40    32    reserved          all zero in a valid page
//
// Page pointer, 6 bytes: a 4-byte page number, then a 2-byte file id. A page
// number of 0 means "no page". The page store addresses a page of any file
// of the database by the pair (page_address.h).
//
// Slot array: 16-bit record offsets from the start of the page, stored
// backwards from the end: slot i is at page byte 8192 - 2 * (i + 1).
//
// Torn-page protection (m_flagBits 0x0100): when the server writes a page it
// saves the two low bits of the last byte of each sector in m_tornBits (bits
// 2s and 2s+1 for sector s) and overwrites them with a write pattern, so that
// a sector that did not reach the disk shows. Reading restores them for the
// sectors 1 to 15; sector 0 holds m_tornBits itself and is never changed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tollamer::page_layout {

inline constexpr size_t kSectorSize = 512;
inline constexpr size_t kSectorsPerPage = 16;
inline constexpr size_t kPageSize = kSectorSize * kSectorsPerPage;  // 8192
inline constexpr size_t kHeaderSize = 96;
inline constexpr size_t kPagePointerSize = 6;

// Header field offsets.
inline constexpr size_t kHeaderVersion = 0x00;
inline constexpr size_t kType = 0x01;
inline constexpr size_t kTypeFlagBits = 0x02;
inline constexpr size_t kLevel = 0x03;
inline constexpr size_t kFlagBits = 0x04;
inline constexpr size_t kIndexId = 0x06;
inline constexpr size_t kPrevPage = 0x08;
inline constexpr size_t kPminlen = 0x0E;
inline constexpr size_t kNextPage = 0x10;
inline constexpr size_t kSlotCnt = 0x16;
inline constexpr size_t kObjId = 0x18;
inline constexpr size_t kFreeCnt = 0x1C;
inline constexpr size_t kFreeData = 0x1E;
inline constexpr size_t kPageId = 0x20;
inline constexpr size_t kFileId = 0x24;
inline constexpr size_t kLsn = 0x28;
inline constexpr size_t kGhostRecCnt = 0x3A;
inline constexpr size_t kTornBits = 0x3C;
inline constexpr size_t kReserved = 0x40;
inline constexpr size_t kReservedSize = 32;

inline constexpr uint8_t kValidHeaderVersion = 1;
inline constexpr uint16_t kFlagTornBits = 0x0100;
inline constexpr uint16_t kFlagChecksum = 0x0200;

// Values of m_type.
enum class PageType : uint8_t {
  kData = 1,
  kIndex = 2,
  kTextMix = 3,   // text/image page holding fragments of several values
  kTextTree = 4,  // text/image page of one value's tree
  kGam = 8,
  kSgam = 9,
  kIam = 10,
  kPfs = 11,
  kBoot = 13,
  kFileHeader = 15,
  kDiffMap = 16,
  kMlMap = 17,
};

// Byte position of slot `slot`'s entry in the slot array.
constexpr size_t SlotEntryOffset(size_t slot) { return kPageSize - 2 * (slot + 1); }

// The largest slot count whose array still fits behind the header.
inline constexpr size_t kMaxSlots = (kPageSize - kHeaderSize) / 2;

}  // namespace tollamer::page_layout
