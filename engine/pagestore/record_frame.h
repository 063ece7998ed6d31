// The frame of one FixedVar record (layout in record_layout.h): the fields
// around its column data - F, the column count N, the null bitmap and the
// variable column count V with its end offsets. The catalog builders read
// system rows and the row readers user rows through the same frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

struct RecordFrame {
  uint16_t fixedEnd = 0;       // F
  uint16_t columnCount = 0;    // N
  uint16_t nullBitmapSize = 0;  // B
  uint16_t variableCount = 0;  // V
  // Offset of the variable columns' end offsets: F + 2 + B + 2.
  size_t EndOffsetsStart() const;
  // Offset of the first variable column's data: F + 4 + B + 2V.
  size_t VariableDataStart() const;
};

// The frame of the record at the start of `record` (the page from the
// record's offset on). Nothing when its fields lie past the page or the
// null bitmap is longer than 100 bytes.
std::optional<RecordFrame> ReadRecordFrame(ByteView record);

// Column i's null bit. A column the record does not store (i >= N) has no
// bit: reading one would read the variable count instead, so it is clear.
bool IsNullColumn(ByteView record, const RecordFrame& frame, size_t index);

// The end offset of stored variable column k (1-based), bit 15 included.
std::optional<uint16_t> VariableEndOffset(ByteView record, const RecordFrame& frame, size_t k);

}  // namespace tollamer
