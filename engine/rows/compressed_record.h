// Reading the parts of one compressed (CD) record: its header, the column
// count, the CD nibbles, and where each column's bytes lie. Layout in
// cd_record_layout.h. Every read stays inside the page: a record whose
// arrays or values would run past it gives nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/engine_messages.h"

namespace tollamer {

// Where a column's value lies, as the locating step reports it.
struct CdLocation {
  size_t dataOffset = 0;    // from the record start
  int32_t lengthField = 0;  // byte count + 1; bit 15: an in-row pointer

  // (lengthField >> 15) is 0 or 1: a length the value can be read with.
  bool LengthValid() const { return lengthField >= 0 && (lengthField >> 15) <= 1; }
  bool Complex() const;
  // The value's byte count; 0 when the field says none.
  size_t ByteCount() const;
};

// Short-data bytes a column with this CD code occupies.
size_t CdShortBytes(uint8_t code);

class CdRecord {
 public:
  // The record at `record_offset` of `page`; nothing when even its header
  // and column count lie outside the page.
  static std::optional<CdRecord> Open(ByteView page, size_t record_offset);

  uint8_t Header() const { return header_; }
  bool HasLongRegion() const;
  // N, the number of columns the record stores.
  uint32_t ColumnCount() const { return column_count_; }
  // 1 or 2.
  size_t CountFieldSize() const { return count_size_; }
  // Bytes of the record's own view: from its start to the page end.
  ByteView Bytes() const { return record_; }

  // Column i's CD code; nothing when i is not below N or the nibble lies
  // outside the page.
  std::optional<uint8_t> Code(uint32_t column) const;
  // Offset of the short data region from the record start.
  size_t ShortDataBase() const;
  // Offset of the long data region from the record start: the short data
  // base plus the short bytes of all N columns.
  std::optional<size_t> LocateLongRegion() const;
  // Column i's bytes. Code 10 values need the long region's offset; the
  // others ignore it.
  std::optional<CdLocation> Locate(uint32_t column, std::optional<size_t> long_region) const;

 private:
  CdRecord(ByteView record, uint8_t header, uint32_t column_count, size_t count_size)
      : record_(record), header_(header), column_count_(column_count), count_size_(count_size) {}

  size_t CdArrayOffset() const;
  size_t ClusterArrayOffset() const;
  // Complete 30-column clusters, (N - 1) div 30 (0 for N = 0).
  size_t ClusterCount() const;
  std::optional<CdLocation> LocateShort(uint32_t column) const;
  std::optional<CdLocation> LocateLong(uint32_t column, size_t long_region) const;

  ByteView record_;
  uint8_t header_ = 0;
  uint32_t column_count_ = 0;
  size_t count_size_ = 1;
};

// The message shown when a record announces a long data region that
// cannot be found or whose header is neither 0 nor 1.

// The long data region of `record` for its code-10 columns. When the
// header announces the region (bit 0x20) and it cannot be located or its
// header is neither 0 nor 1, the message is shown; decoding goes on with
// what was found.
std::optional<size_t> CheckedLongRegion(const CdRecord& record, EngineMessages& messages);

}  // namespace tollamer
