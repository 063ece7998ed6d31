// The decoded 96-byte page header (layout in page_layout.h).
#pragma once

#include <cstdint>
#include <optional>

#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/page_address.h"
#include "engine/pagestore/page_layout.h"

namespace tollamer {

struct PageHeader {
  uint8_t headerVersion = 0;
  uint8_t type = 0;
  uint8_t typeFlagBits = 0;
  uint8_t level = 0;
  uint16_t flagBits = 0;
  uint16_t indexId = 0;
  uint32_t prevPage = 0;
  uint16_t prevFile = 0;
  uint16_t pminlen = 0;
  uint32_t nextPage = 0;
  uint16_t nextFile = 0;
  uint16_t slotCnt = 0;
  uint32_t objId = 0;
  uint16_t freeCnt = 0;
  uint16_t freeData = 0;
  uint32_t pageId = 0;
  uint16_t fileId = 0;
  uint16_t ghostRecCnt = 0;
  uint32_t tornBits = 0;
  bool reservedZero = false;  // the 32 reserved bytes at 0x40 are all zero

  // Nothing when fewer than 96 bytes are given.
  static std::optional<PageHeader> Decode(ByteView bytes);

  bool HasType(page_layout::PageType t) const { return type == static_cast<uint8_t>(t); }
  // The page keys (page_address.h) of the page itself and of its links; 0
  // for a link to no page.
  uint64_t OwnKey() const { return PageKey(fileId, pageId); }
  uint64_t NextKey() const { return nextPage == 0 ? 0 : PageKey(nextFile, nextPage); }
  uint64_t PrevKey() const { return prevPage == 0 ? 0 : PageKey(prevFile, prevPage); }
};

// The screening test for candidate data pages of a file whose allocation
// structures are trusted only in part: sane free counts and record length,
// zero reserved bytes, header version 1, type flags 0, 1 or 4, a data page.
bool IsPlausibleDataPage(const PageHeader& header);

// Slot i's record offset, or nothing when the page is too short. Inline:
// it runs for every record of every page read.
inline std::optional<uint16_t> SlotOffset(ByteView page, size_t slot) {
  if (slot >= page_layout::kMaxSlots) return std::nullopt;
  return page.U16(page_layout::SlotEntryOffset(slot));
}

}  // namespace tollamer
