#include "engine/pagestore/record_frame.h"

#include "engine/pagestore/record_layout.h"

namespace tollamer {

using namespace record_layout;

bool IsNullColumn(ByteView record, const RecordFrame& frame, size_t index) {
  if (index >= frame.columnCount) return false;
  std::optional<uint8_t> byte =
      record.U8(size_t{frame.fixedEnd} + kColumnCountSize + index / 8);
  return byte && ((*byte >> (index % 8)) & 1) != 0;
}

}  // namespace tollamer
