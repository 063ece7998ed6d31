// The index allocation map (IAM) page, m_type 10.
//
// An IAM page maps one GAM interval of 511232 pages (63904 extents) for one
// object. Slot 0 holds the IAM header record, slot 1 the extent bitmap.
//
//   PAGE OFFSET       SIZE  CONTENT
//   0x10              4     m_nextPage: next IAM page of the chain, 0 at the end
//   0x60              -     slot 0: IAM header record (4-byte record header first)
//   0x88              4     start page of the interval mapped (page pointer at
//                           header-record offset 0x28)
//   0x8E              48    eight single-page slots, 6-byte page pointers
//                           (header-record offsets 0x2E..0x5D); 0 = empty
//   slot 1 + 4        7988  extent bitmap, after slot 1's 4-byte record header
//
// Bitmap byte i, bit j (bit 0 least significant) set means that extent
// (start page / 511232) * 63904 + i * 8 + j belongs to the object. Extent e
// holds pages 8e to 8e + 7.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/pagestore/page_layout.h"

namespace tollamer::iam_layout {

inline constexpr size_t kStartPage = 0x88;
inline constexpr size_t kSinglePageSlots = 0x8E;
inline constexpr size_t kSinglePageSlotCount = 8;
inline constexpr size_t kBitmapRecordSlot = 1;
inline constexpr size_t kRecordHeaderSize = 4;
inline constexpr size_t kBitmapBytes = 7988;
inline constexpr size_t kPagesPerExtent = 8;
inline constexpr uint64_t kExtentsPerInterval = kBitmapBytes * 8;                // 63904
inline constexpr uint64_t kPagesPerInterval = kExtentsPerInterval * kPagesPerExtent;  // 0x7CD00

}  // namespace tollamer::iam_layout
