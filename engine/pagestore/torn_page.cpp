#include "engine/pagestore/torn_page.h"

namespace tollamer {

using namespace page_layout;

Page FixTornPage(std::span<const uint8_t> page, uint32_t tornBits, uint16_t flagBits) {
  Page fixed(page);
  if ((flagBits & kFlagTornBits) == 0) return fixed;
  auto bytes = fixed.bytes();
  for (size_t sector = 1; sector < kSectorsPerPage; ++sector) {
    uint8_t& last = bytes[sector * kSectorSize + kSectorSize - 1];
    last = static_cast<uint8_t>((last & 0xFC) | ((tornBits >> (2 * sector)) & 3));
  }
  return fixed;
}

}  // namespace tollamer
