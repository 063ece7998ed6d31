#include "engine/pagestore/page_start.h"

#include <algorithm>
#include <cstring>
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
  // A backup of a database of several files holds the pages of each.
  return sector.size() >= kHeaderSize &&
         sector.LeOr<uint8_t>(kHeaderVersion) == kValidHeaderVersion &&
         sector.LeOr<uint16_t>(kFileId) != 0 && sector.AllZero(kReserved, kReservedSize) &&
         IsKnownPageType(sector.LeOr<uint8_t>(kType));
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

namespace {

// A page header found at byte `at` of the file.
struct HeaderSeen {
  uint64_t at = 0;
  uint64_t page = 0;
  uint16_t fileId = 0;
};

bool IsHeaderAt(ByteView b) {
  return b.size() >= kHeaderSize && b.LeOr<uint8_t>(kHeaderVersion) == kValidHeaderVersion &&
         IsKnownPageType(b.LeOr<uint8_t>(kType)) && b.LeOr<uint16_t>(kFileId) != 0 &&
         b.AllZero(kReserved, kReservedSize);
}

// Every page header in the first block of the file that holds any.
std::vector<HeaderSeen> FindHeaders(const platform::ReadOnlyFile& file) {
  constexpr size_t kBlockBytes = 4 << 20;
  constexpr uint64_t kSearchBytes = 64 << 20;
  std::vector<uint8_t> block(kBlockBytes + kHeaderSize);
  std::vector<HeaderSeen> seen;
  for (uint64_t from = 0; from < kSearchBytes && seen.empty(); from += kBlockBytes) {
    const size_t got = file.ReadAt(from, block);
    if (got < kHeaderSize) break;
    // A header starting in this block may end in the next one's first bytes.
    const size_t starts = std::min(kBlockBytes, got - kHeaderSize + 1);
    const uint8_t* data = block.data();
    for (size_t at = 0; at < starts; ++at) {
      const void* one = std::memchr(data + at, kValidHeaderVersion, starts - at);
      if (!one) break;
      at = static_cast<size_t>(static_cast<const uint8_t*>(one) - data);
      ByteView header(data + at, kHeaderSize);
      if (IsHeaderAt(header))
        seen.push_back({from + at, header.LeOr<uint32_t>(kPageId), header.LeOr<uint16_t>(kFileId)});
    }
  }
  return seen;
}

// Where a header puts page 0; nothing when that would be before byte 0.
std::optional<uint64_t> BaseOf(const HeaderSeen& h) {
  if (h.page > h.at / kPageSize) return std::nullopt;
  return h.at - h.page * kPageSize;
}

}  // namespace

DataFileStart FindDataFileStart(const platform::ReadOnlyFile& file) {
  const std::vector<HeaderSeen> seen = FindHeaders(file);
  std::map<uint64_t, uint64_t> votes_by_base;
  std::map<uint64_t, uint64_t> votes_by_phase;
  for (const HeaderSeen& h : seen) {
    if (std::optional<uint64_t> base = BaseOf(h)) ++votes_by_base[*base];
    if (h.fileId == kPrimaryFileId) ++votes_by_phase[h.at % kSectorSize];
  }
  DataFileStart start;
  for (const auto& [base, votes] : votes_by_base)
    if (votes > start.votes) start = {base, kPrimaryFileId, votes};
  std::map<uint16_t, uint64_t> votes_by_file;
  std::optional<uint64_t> previous;
  for (const HeaderSeen& h : seen) {
    const bool voter = start.votes > 0 && BaseOf(h) == start.base;
    if (voter) ++votes_by_file[h.fileId];
    if (h.fileId != kPrimaryFileId) continue;
    ++start.primary;
    if (!voter) ++start.stray;
    if (previous && h.page > *previous) ++start.ascending;
    previous = h.page;
  }
  uint64_t best = 0;
  for (const auto& [file_id, votes] : votes_by_file)
    if (votes > best) {
      best = votes;
      start.fileId = file_id;
    }
  best = 0;
  for (const auto& [phase, votes] : votes_by_phase)
    if (votes > best) {
      best = votes;
      start.phase = phase;
    }
  return start;
}

}  // namespace tollamer
