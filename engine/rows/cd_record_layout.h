// The compressed record format of SQL Server 2008 (row and page
// compression, "CD" records), and the compression information that a
// page-compressed data page keeps right after its header.
//
// CD record, offsets from the record start:
//
//   OFFSET    SIZE          MEANING
//   0         1             header; above 63 (bit 6 or 7 set) is not a CD
//                           record; 0x20: a long data region is present
//   1         1 or 2        N, the columns stored; a first byte of 0x80 or
//                           more makes it 2 bytes: ((b1 & 0x7F) << 8) | b2
//   1+c       ceil(N/2)     CD array: a 4-bit code per column, column i in
//                           the low nibble of byte i/2 when i is even, in the
//                           high nibble when i is odd (c = size of N)
//   ...       (N-1)/30      cluster array: one byte per complete cluster of
//                           30 columns, the short-data bytes of that cluster
//   ...       ...           short data: the short values in column order
//   ...       ...           long data region (header bit 0x20)
//
// Long data region, offsets from its start:
//
//   OFFSET    SIZE          MEANING
//   0         1             header, 0 or 1
//   1         2             n, the number of long values
//   3         2n            end offset of each long value from the start of
//                           the long data; bit 15 marks a value whose bytes
//                           are an in-row pointer to data kept elsewhere
//   3+2n      (N-1)/30      long values in each complete cluster of 30
//   ...       ...           long data; value k runs from end k-1 (0 for the
//                           first) to end k
//
// Compression information record, at page offset 96 of a data page whose
// m_typeFlagBits has 0x80:
//
//   OFFSET    SIZE          MEANING
//   0         1             header: 0x02 anchor record present, 0x04
//                           dictionary present; other bits are an error
//   1         2             page modification count (not read)
//   3         2             first field: the dictionary's offset from the
//                           record start (present with the anchor record)
//   3 or 5    2             second field (present with the dictionary)
//   3+2f      ...           anchor record, a CD record (f = fields present)
//
// Dictionary, offsets from its start:
//
//   OFFSET    SIZE          MEANING
//   0         2             m, the number of symbols
//   2         2m            end offset of each symbol from the dictionary
//                           start; symbol 0 starts at 2 + 2m
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/pagestore/page_layout.h"

namespace tollamer::cd_layout {

// Record header.
inline constexpr size_t kHeader = 0;
inline constexpr uint8_t kMaxHeader = 63;
inline constexpr uint8_t kHeaderLongRegion = 0x20;
inline constexpr size_t kColumnCount = 1;
inline constexpr uint8_t kTwoByteCountFlag = 0x80;
inline constexpr uint8_t kTwoByteCountHighMask = 0x7F;
// Compression excludes sparse column sets, so a compressed table has at
// most 1,024 columns; its records add at most a uniquifier.
inline constexpr uint32_t kMaxColumns = 1025;

inline constexpr size_t kClusterColumns = 30;

// CD codes, one nibble per column.
inline constexpr uint8_t kCodeNull = 0;
inline constexpr uint8_t kCodeEmpty = 1;
inline constexpr uint8_t kCodeShortFirst = 2;  // 1 byte
inline constexpr uint8_t kCodeShortLast = 9;   // 8 bytes
inline constexpr uint8_t kCodeLong = 10;
inline constexpr uint8_t kCodeBitOne = 11;
inline constexpr uint8_t kCodePageSymbol = 12;

// Long data region.
inline constexpr size_t kLongHeader = 0;
inline constexpr size_t kLongCount = 1;
inline constexpr size_t kLongEndOffsets = 3;
inline constexpr uint8_t kLongHeaderMax = 1;
inline constexpr uint16_t kLongComplexFlag = 0x8000;
inline constexpr uint16_t kLongOffsetMask = 0x7FFF;

// The length field handed out for a located value: bytes + 1, bit 15 for
// an in-row pointer.
inline constexpr int32_t kLengthComplexFlag = 0x8000;
inline constexpr int32_t kLengthCountMask = 0x7FFF;

// Compression information record.
inline constexpr size_t kCiPageOffset = page_layout::kHeaderSize;  // right after the header
inline constexpr size_t kCiHeader = 0;
inline constexpr size_t kCiFirstField = 3;
inline constexpr size_t kCiFieldSize = 2;
inline constexpr uint8_t kCiHasAnchor = 0x02;
inline constexpr uint8_t kCiHasDictionary = 0x04;
inline constexpr uint8_t kCiKnownBits = kCiHasAnchor | kCiHasDictionary;

// m_typeFlagBits of a page-compressed data page.
inline constexpr uint8_t kPageCompressedFlag = 0x80;

// Dictionary.
inline constexpr size_t kDictionaryCount = 0;
inline constexpr size_t kDictionaryEndOffsets = 2;

}  // namespace tollamer::cd_layout
