// One bit per page number, for the pages a pass over a backup saw: kept in
// blocks of 4096 pages made on first use, so that a page number far out
// (a damaged header's) costs one block, not a bit for every page below it.
#pragma once

#include <array>
#include <cstdint>
#include <map>

namespace tollamer {

class PageBits {
 public:
  void Set(uint64_t page, bool on) {
    const uint64_t mask = uint64_t{1} << (page % 64);
    if (!on) {
      auto it = blocks_.find(page / kBlockPages);
      if (it != blocks_.end()) it->second[page % kBlockPages / 64] &= ~mask;
      return;
    }
    blocks_[page / kBlockPages][page % kBlockPages / 64] |= mask;
  }
  bool Test(uint64_t page) const {
    auto it = blocks_.find(page / kBlockPages);
    return it != blocks_.end() && (it->second[page % kBlockPages / 64] >> (page % 64) & 1);
  }

 private:
  static constexpr uint64_t kBlockPages = 4096;
  std::map<uint64_t, std::array<uint64_t, kBlockPages / 64>> blocks_;
};

}  // namespace tollamer
