// Page free space (PFS) pages: which pages of the file are allocated. A
// data page in an extent of the table that PFS marks as not allocated
// holds rows that were deleted or moved away; its bytes are stale.
//
//   OFFSET  SIZE   MEANING
//   0       96     page header, m_type 11
//   96      2      record status bits
//   98      2      record length: 8092 (4 + one byte per page)
//   100     8088   one byte per page, from the PFS page's own interval:
//                  bits 0-2 free space, 0x04 ghost records, 0x08 IAM page,
//                  0x20 mixed extent, 0x40 allocated
//
// The first PFS page is page 1; the next one every 8088 pages (8088,
// 16176, ...), each covering the 8088 pages from its interval start.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tollamer::pfs_layout {

inline constexpr uint64_t kFirstPfsPage = 1;
inline constexpr uint64_t kPagesPerPfs = 8088;
inline constexpr size_t kRecordLength = 98;
inline constexpr uint16_t kExpectedRecordLength = 8092;
inline constexpr size_t kFirstPageByte = 100;
inline constexpr uint8_t kAllocatedBit = 0x40;

// The PFS page covering `page`, and the byte offset of its entry there.
constexpr uint64_t PfsPageOf(uint64_t page) {
  return page < kPagesPerPfs ? kFirstPfsPage : page / kPagesPerPfs * kPagesPerPfs;
}
constexpr size_t EntryOffsetOf(uint64_t page) {
  return kFirstPageByte + static_cast<size_t>(page % kPagesPerPfs);
}

}  // namespace tollamer::pfs_layout
