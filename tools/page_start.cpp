#include "tools/page_start.h"

#include "engine/pagestore/page_layout.h"

namespace tollamer::tools {

using namespace page_layout;

bool IsKnownPageType(uint8_t type) {
  switch (type) {
    case 1: case 2: case 3: case 4: case 8: case 9: case 10: case 11:
    case 13: case 15: case 16: case 17:
      return true;
    default:
      return false;
  }
}

namespace {

bool CommonPageStart(ByteView b) {
  return b.size() >= kHeaderSize && b.LeOr<uint8_t>(kHeaderVersion) == kValidHeaderVersion &&
         b.LeOr<uint16_t>(kFileId) == kPrimaryFileId && b.AllZero(kReserved, kReservedSize);
}

}  // namespace

bool IsBackupPageStart(ByteView sector) {
  return CommonPageStart(sector) && IsKnownPageType(sector.LeOr<uint8_t>(kType));
}

bool IsExcavationPageStart(ByteView unit) {
  if (!CommonPageStart(unit)) return false;
  uint8_t type = unit.LeOr<uint8_t>(kType);
  if (!IsKnownPageType(type) && type != kSortPageType) return false;
  uint8_t flags = unit.LeOr<uint8_t>(kTypeFlagBits) & kTypeFlagMask;
  if (flags != 0 && flags != 1 && flags != 4) return false;
  return unit.LeOr<uint16_t>(kPminlen) <= kMaxHeaderCount &&
         unit.LeOr<uint16_t>(kFreeCnt) <= kMaxHeaderCount &&
         unit.LeOr<uint16_t>(kFreeData) <= kMaxHeaderCount;
}

std::optional<uint32_t> OwnPageNumber(ByteView page) { return page.U32(kPageId); }

}  // namespace tollamer::tools
