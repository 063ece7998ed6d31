// Torn-page repair (see page_layout.h for what the torn bits are).
#pragma once

#include <cstdint>
#include <span>

#include "engine/pagestore/page.h"

namespace tollamer {

// Returns a repaired copy of `page`. When bit 0x0100 of `flagBits` is clear
// the copy is exact. Otherwise the last byte of each sector s = 1..15 gets its
// two low bits from bits 2s and 2s+1 of `tornBits`; sector 0 is unchanged.
// The same repair done in place.
void RepairTornBits(std::span<uint8_t> page, uint32_t tornBits, uint16_t flagBits);
// In place, with the torn bits and flag bits of the page's own header.
void RepairTornPage(std::span<uint8_t> page);

Page FixTornPage(std::span<const uint8_t> page, uint32_t tornBits, uint16_t flagBits);

}  // namespace tollamer
