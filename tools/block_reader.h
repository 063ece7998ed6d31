// Reads a source in large sequential blocks and hands out views of any range
// inside the current block; a range outside it refills the block from that
// position. Sequential scans thus cost one read per block, and the few
// look-backs (a page re-read around a found header) cost nothing extra when
// they fall inside the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/pagestore/byte_view.h"
#include "platform/file.h"

namespace tollamer::tools {

inline constexpr size_t kDefaultBlockBytes = size_t{4} << 20;

class BlockReader {
 public:
  explicit BlockReader(const platform::ReadOnlyFile& source,
                       size_t block_bytes = kDefaultBlockBytes)
      : source_(source), block_bytes_(block_bytes) {}

  // The bytes [offset, offset + length); shorter (possibly empty) where the
  // source ends or a read fails. Valid until the next call.
  ByteView Get(uint64_t offset, size_t length);

  uint64_t Length() const { return source_.Length(); }

 private:
  const platform::ReadOnlyFile& source_;
  size_t block_bytes_;
  std::vector<uint8_t> block_;
  uint64_t block_start_ = 0;
  size_t block_filled_ = 0;
};

}  // namespace tollamer::tools
