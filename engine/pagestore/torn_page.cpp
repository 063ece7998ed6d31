#include "engine/pagestore/torn_page.h"

namespace tollamer {

using namespace page_layout;

void RepairTornBits(std::span<uint8_t> page, uint32_t tornBits, uint16_t flagBits) {
  if ((flagBits & kFlagTornBits) == 0) return;
  for (size_t sector = 1; sector < kSectorsPerPage; ++sector) {
    size_t at = sector * kSectorSize + kSectorSize - 1;
    if (at >= page.size()) break;
    page[at] = static_cast<uint8_t>((page[at] & 0xFC) | ((tornBits >> (2 * sector)) & 3));
  }
}

void RepairTornPage(std::span<uint8_t> page) {
  ByteView v(page.data(), page.size());
  RepairTornBits(page, v.LeOr<uint32_t>(kTornBits), v.LeOr<uint16_t>(kFlagBits));
}

Page FixTornPage(std::span<const uint8_t> page, uint32_t tornBits, uint16_t flagBits) {
  Page fixed(page);
  RepairTornBits(fixed.bytes(), tornBits, flagBits);
  return fixed;
}

}  // namespace tollamer
