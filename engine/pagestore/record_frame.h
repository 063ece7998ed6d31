// The frame of one FixedVar record (layout in record_layout.h): the fields
// around its column data - F, the column count N, the null bitmap and the
// variable column count V with its end offsets. The catalog builders read
// system rows and the row readers user rows through the same frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/record_layout.h"

namespace tollamer {

struct RecordFrame {
  uint16_t fixedEnd = 0;       // F
  uint16_t columnCount = 0;    // N
  uint16_t nullBitmapSize = 0;  // B
  uint16_t variableCount = 0;  // V
  // Offset of the variable columns' end offsets: F + 2 + B + 2.
  size_t EndOffsetsStart() const {
    return size_t{fixedEnd} + record_layout::kColumnCountSize + nullBitmapSize +
           record_layout::kVariableCountSize;
  }
  // Offset of the first variable column's data: F + 4 + B + 2V.
  size_t VariableDataStart() const {
    return EndOffsetsStart() + record_layout::kEndOffsetSize * variableCount;
  }
};

// The frame of the record at the start of `record` (the page from the
// record's offset on). Nothing when its fields lie past the page or the
// null bitmap is longer than 100 bytes. Inline, as the two below: they run
// for every record of every page read.
inline std::optional<RecordFrame> ReadRecordFrame(ByteView record) {
  using namespace record_layout;
  RecordFrame frame;
  std::optional<uint16_t> f = record.U16(kFixedEnd);
  if (!f) return std::nullopt;
  frame.fixedEnd = *f;
  std::optional<uint16_t> n = record.U16(frame.fixedEnd);
  if (!n) return std::nullopt;
  frame.columnCount = *n;
  size_t b = NullBitmapBytes(frame.columnCount);
  if (b > kMaxNullBitmapBytes) return std::nullopt;
  frame.nullBitmapSize = static_cast<uint16_t>(b);
  // V is read whatever the status bits say; a record whose V lies past the
  // page simply stores none.
  frame.variableCount = record.U16(size_t{frame.fixedEnd} + kColumnCountSize + b).value_or(0);
  return frame;
}

// Column i's null bit. A column the record does not store (i >= N) has no
// bit: reading one would read the variable count instead, so it is clear.
bool IsNullColumn(ByteView record, const RecordFrame& frame, size_t index);

// The end offset of stored variable column k (1-based), bit 15 included.
inline std::optional<uint16_t> VariableEndOffset(ByteView record, const RecordFrame& frame,
                                                 size_t k) {
  if (k < 1 || k > frame.variableCount) return std::nullopt;
  return record.U16(frame.EndOffsetsStart() + record_layout::kEndOffsetSize * (k - 1));
}

}  // namespace tollamer
