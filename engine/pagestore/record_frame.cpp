#include "engine/pagestore/record_frame.h"

#include "engine/pagestore/record_layout.h"

namespace tollamer {

using namespace record_layout;

size_t RecordFrame::EndOffsetsStart() const {
  return size_t{fixedEnd} + kColumnCountSize + nullBitmapSize + kVariableCountSize;
}

size_t RecordFrame::VariableDataStart() const {
  return EndOffsetsStart() + kEndOffsetSize * variableCount;
}

std::optional<RecordFrame> ReadRecordFrame(ByteView record) {
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

bool IsNullColumn(ByteView record, const RecordFrame& frame, size_t index) {
  if (index >= frame.columnCount) return false;
  std::optional<uint8_t> byte =
      record.U8(size_t{frame.fixedEnd} + kColumnCountSize + index / 8);
  return byte && ((*byte >> (index % 8)) & 1) != 0;
}

std::optional<uint16_t> VariableEndOffset(ByteView record, const RecordFrame& frame, size_t k) {
  if (k < 1 || k > frame.variableCount) return std::nullopt;
  return record.U16(frame.EndOffsetsStart() + kEndOffsetSize * (k - 1));
}

}  // namespace tollamer
