#include "tools/block_reader.h"

#include <algorithm>

namespace tollamer::tools {

ByteView BlockReader::Get(uint64_t offset, size_t length) {
  bool inside = offset >= block_start_ && offset - block_start_ <= block_filled_ &&
                length <= block_filled_ - (offset - block_start_);
  if (!inside) {
    size_t want = std::max(block_bytes_, length);
    if (block_.size() < want) block_.resize(want);
    block_start_ = offset;
    block_filled_ = source_.ReadAt(offset, std::span<uint8_t>(block_.data(), want));
  }
  size_t at = static_cast<size_t>(offset - block_start_);
  size_t have = at <= block_filled_ ? std::min(length, block_filled_ - at) : 0;
  return ByteView(block_.data() + at, have);
}

}  // namespace tollamer::tools
