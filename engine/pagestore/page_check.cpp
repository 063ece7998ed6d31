#include "engine/pagestore/page_check.h"

#include <bit>
#include <cstring>

#include "engine/pagestore/page_layout.h"

namespace tollamer {

using namespace page_layout;

namespace {

constexpr uint8_t kTornPatternMask = 0x03;

bool IsKnownPageType(uint8_t type) {
  switch (static_cast<PageType>(type)) {
    case PageType::kData: case PageType::kIndex: case PageType::kTextMix:
    case PageType::kTextTree: case PageType::kGam: case PageType::kSgam: case PageType::kIam:
    case PageType::kPfs: case PageType::kBoot: case PageType::kFileHeader:
    case PageType::kDiffMap: case PageType::kMlMap:
      return true;
  }
  return false;
}

// The XOR of a sector's 32-bit words, folded from 64-bit loads.
uint32_t SectorXor(const uint8_t* sector) {
  uint64_t x = 0;
  for (size_t i = 0; i < kSectorSize; i += sizeof x) {
    uint64_t word;
    std::memcpy(&word, sector + i, sizeof word);
    x ^= word;
  }
  return static_cast<uint32_t>(x) ^ static_cast<uint32_t>(x >> 32);
}

}  // namespace

std::optional<uint32_t> PageChecksum(ByteView page) {
  if (page.size() < kPageSize) return std::nullopt;
  static_assert(std::endian::native == std::endian::little, "page words are read in place");
  uint32_t sum = 0;
  for (size_t s = 0; s < kSectorsPerPage; ++s) {
    uint32_t x = SectorXor(page.data() + s * kSectorSize);
    // The stored checksum lies in sector 0 and is not part of the sum.
    if (s == 0) x ^= page.LeOr<uint32_t>(kTornBits);
    sum ^= std::rotl(x, static_cast<int>(kSectorsPerPage - 1 - s));
  }
  return sum;
}

PageCheck CheckPage(ByteView raw_page) {
  if (raw_page.size() < kPageSize ||
      raw_page.LeOr<uint8_t>(kHeaderVersion) != kValidHeaderVersion ||
      !IsKnownPageType(raw_page.LeOr<uint8_t>(kType)))
    return PageCheck::kUnprotected;
  const uint16_t flags = raw_page.LeOr<uint16_t>(kFlagBits);
  const uint32_t stored = raw_page.LeOr<uint32_t>(kTornBits);
  if (flags & kFlagChecksum)
    return PageChecksum(raw_page) == stored ? PageCheck::kGood : PageCheck::kChecksumFails;
  if (flags & kFlagTornBits) {
    const uint8_t pattern = stored & kTornPatternMask;
    for (size_t s = 1; s < kSectorsPerPage; ++s)
      if ((raw_page.LeOr<uint8_t>(s * kSectorSize + kSectorSize - 1) & kTornPatternMask) != pattern)
        return PageCheck::kTorn;
    return PageCheck::kGood;
  }
  return PageCheck::kUnprotected;
}

const char* PageCheckText(PageCheck check) {
  switch (check) {
    case PageCheck::kChecksumFails: return "fails its checksum";
    case PageCheck::kTorn: return "torn";
    case PageCheck::kGood: return "good";
    case PageCheck::kUnprotected: break;
  }
  return "not protected";
}

void PageCheckFailures::Note(uint64_t page_number, PageCheck check) {
  if (check != PageCheck::kChecksumFails && check != PageCheck::kTorn) return;
  std::lock_guard lock(mutex_);
  pages_.emplace(page_number, check);
  any_.store(true, std::memory_order_release);
}

PageCheck PageCheckFailures::Of(uint64_t page_number) const {
  if (!any_.load(std::memory_order_acquire)) return PageCheck::kGood;
  std::lock_guard lock(mutex_);
  auto it = pages_.find(page_number);
  return it == pages_.end() ? PageCheck::kGood : it->second;
}

std::map<uint64_t, PageCheck> PageCheckFailures::Pages() const {
  std::lock_guard lock(mutex_);
  return pages_;
}

size_t PageCheckFailures::Count(PageCheck check) const {
  std::lock_guard lock(mutex_);
  size_t n = 0;
  for (const auto& [page, c] : pages_) n += c == check;
  return n;
}

void PageCheckFailures::Clear() {
  std::lock_guard lock(mutex_);
  pages_.clear();
  any_.store(false, std::memory_order_release);
}

}  // namespace tollamer
