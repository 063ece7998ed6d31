#include "engine/pagestore/page_header.h"

namespace tollamer {

using namespace page_layout;

std::optional<PageHeader> PageHeader::Decode(ByteView bytes) {
  if (bytes.size() < kHeaderSize) return std::nullopt;
  PageHeader h;
  h.headerVersion = bytes.LeOr<uint8_t>(kHeaderVersion);
  h.type = bytes.LeOr<uint8_t>(kType);
  h.typeFlagBits = bytes.LeOr<uint8_t>(kTypeFlagBits);
  h.level = bytes.LeOr<uint8_t>(kLevel);
  h.flagBits = bytes.LeOr<uint16_t>(kFlagBits);
  h.indexId = bytes.LeOr<uint16_t>(kIndexId);
  h.prevPage = bytes.LeOr<uint32_t>(kPrevPage);
  h.prevFile = bytes.LeOr<uint16_t>(kPrevPage + 4);
  h.pminlen = bytes.LeOr<uint16_t>(kPminlen);
  h.nextPage = bytes.LeOr<uint32_t>(kNextPage);
  h.nextFile = bytes.LeOr<uint16_t>(kNextPage + 4);
  h.slotCnt = bytes.LeOr<uint16_t>(kSlotCnt);
  h.objId = bytes.LeOr<uint32_t>(kObjId);
  h.freeCnt = bytes.LeOr<uint16_t>(kFreeCnt);
  h.freeData = bytes.LeOr<uint16_t>(kFreeData);
  h.pageId = bytes.LeOr<uint32_t>(kPageId);
  h.fileId = bytes.LeOr<uint16_t>(kFileId);
  h.ghostRecCnt = bytes.LeOr<uint16_t>(kGhostRecCnt);
  h.tornBits = bytes.LeOr<uint32_t>(kTornBits);
  h.reservedZero = bytes.AllZero(kReserved, kReservedSize);
  return h;
}

bool IsPlausibleDataPage(const PageHeader& h) {
  constexpr uint16_t kLimit = kPageSize;  // 0x2000
  return h.freeCnt <= kLimit && h.freeData <= kLimit && h.pminlen <= kLimit &&
         h.reservedZero && h.headerVersion == kValidHeaderVersion &&
         (h.typeFlagBits == 0 || h.typeFlagBits == 1 || h.typeFlagBits == 4) &&
         h.HasType(PageType::kData);
}

}  // namespace tollamer
