#include "engine/pagestore/page_start.h"

#include <algorithm>
#include <map>
#include <vector>

#include "engine/pagestore/page_layout.h"

namespace tollamer {

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

DataFileStart FindDataFileStart(const platform::ReadOnlyFile& file) {
  constexpr size_t kLookBytes = 4 << 20;
  std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(kLookBytes, file.Length())));
  size_t got = file.ReadAt(0, head);
  std::map<uint64_t, uint64_t> votes_by_base;
  std::map<uint16_t, uint64_t> votes_by_file;
  for (size_t at = 0; at + kHeaderSize <= got; at += kSectorSize) {
    ByteView sector(head.data() + at, kHeaderSize);
    if (sector.LeOr<uint8_t>(kHeaderVersion) != kValidHeaderVersion ||
        !IsKnownPageType(sector.LeOr<uint8_t>(kType)) || !sector.AllZero(kReserved, kReservedSize))
      continue;
    uint64_t page = sector.LeOr<uint32_t>(kPageId);
    if (page > at / kPageSize) continue;  // would put page 0 before byte 0
    ++votes_by_base[at - page * kPageSize];
    ++votes_by_file[sector.LeOr<uint16_t>(kFileId)];
  }
  DataFileStart start;
  for (const auto& [base, votes] : votes_by_base)
    if (votes > start.votes) start = {base, kPrimaryFileId, votes};
  uint64_t best_file_votes = 0;
  for (const auto& [file_id, votes] : votes_by_file)
    if (votes > best_file_votes) {
      best_file_votes = votes;
      start.fileId = file_id;
    }
  return start;
}

}  // namespace tollamer
