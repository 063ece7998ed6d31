// The FixedVar record: the row format of every ordinary data record of
// SQL Server 7.0 to 2008 (compressed records are in cd_record_layout.h).
// Offsets from the record start; all numbers little-endian.
//
//   OFFSET      SIZE    MEANING
//   0           1       status byte A: bits 1-3 (mask 0x0E) the record type,
//                       0 primary, 1 forwarded, 2 forwarding stub, 3 index,
//                       4 blob fragment, 5 ghost index, 6 ghost data;
//                       0x10 null bitmap present, 0x20 variable columns
//                       present, 0x40 versioning tag. In 2005/2008 files a
//                       record with bit 0 set and bits 6-7 clear is a
//                       compressed record instead.
//   1           1       status byte B (not read)
//   2           2       F: end of the fixed part = offset of the column count
//   4           F-4     fixed-length column values
//   F           2       N: number of columns the record stores
//   F+2         B       null bitmap, B = ceil(N / 8): column i (0-based) is
//                       NULL when bit i mod 8 of byte i div 8 is set
//   F+2+B       2       V: number of variable columns stored
//   F+4+B       2V      end offset of each stored variable column, from the
//                       record start; bit 15 marks a complex column (the
//                       in-row bytes point at data kept elsewhere)
//   F+4+B+2V    -       variable column data in column order; column k
//                       (1-based) runs from the end of column k-1 (the
//                       start of this area for k = 1) to its own end
//
// Text pointer of a text, ntext or image column (16 in-row bytes): bytes
// 8-11 page id, 12-13 file id, 14-15 slot id (see values/lob_layout.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/pagestore/page_layout.h"

namespace tollamer::record_layout {

inline constexpr size_t kStatusA = 0;
inline constexpr size_t kStatusB = 1;
inline constexpr size_t kFixedEnd = 2;  // F
inline constexpr size_t kFixedData = 4;

inline constexpr uint8_t kRecordTypeMask = 0x0E;
inline constexpr uint8_t kRecordTypePrimary = 0x00;
// A heap row moved off its page by an update that made it grow; its old
// slot holds a forwarding stub (type 2). It is a primary record with one
// variable column more, the back-pointer to the stub, after the table's.
inline constexpr uint8_t kRecordTypeForwarded = 0x02;
inline constexpr uint8_t kStatusVariableColumns = 0x20;

// A compressed record of a 2005/2008 file: bit 0 set, bits 6 and 7 clear.
inline constexpr uint8_t kCompressedBit = 0x01;
inline constexpr uint8_t kCompressedClearBits = 0xC0;
constexpr bool IsCompressedStatus(uint8_t status_a) {
  return (status_a & kCompressedBit) != 0 && (status_a & kCompressedClearBits) == 0;
}
constexpr bool IsPrimaryStatus(uint8_t status_a) {
  return (status_a & kRecordTypeMask) == kRecordTypePrimary;
}
// The records that hold a table row: primary and forwarded records.
constexpr bool IsRowStatus(uint8_t status_a) {
  return IsPrimaryStatus(status_a) || (status_a & kRecordTypeMask) == kRecordTypeForwarded;
}

// Relative to F.
inline constexpr size_t kColumnCountSize = 2;
inline constexpr size_t kVariableCountSize = 2;
inline constexpr size_t kEndOffsetSize = 2;

constexpr size_t NullBitmapBytes(size_t column_count) { return (column_count + 7) / 8; }
// A null bitmap longer than this (more than 800 columns) is damage.
inline constexpr size_t kMaxNullBitmapBytes = 100;

inline constexpr uint16_t kComplexFlag = 0x8000;
inline constexpr uint16_t kEndOffsetMask = 0x7FFF;

// Slot offsets a reader accepts: 2000 files [96, 8192], 2005/2008 files
// (0, 8192). Offset 0 is never a record.
inline constexpr uint16_t kMinSlotOffset2000 = page_layout::kHeaderSize;
inline constexpr uint16_t kMaxSlotOffset2000 = page_layout::kPageSize;
inline constexpr uint16_t kSlotOffsetLimit2005 = page_layout::kPageSize;

// A record's fixed part must end inside the page.
inline constexpr size_t kRecordLimit = page_layout::kPageSize;

}  // namespace tollamer::record_layout
