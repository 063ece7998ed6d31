#include "engine/pagestore/page_map.h"

#include <algorithm>
#include <vector>

#include "engine/pagestore/page_address.h"
#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/page_start.h"

namespace tollamer {

using namespace page_layout;

PageMap PageMap::Contiguous(uint64_t base, uint64_t pages, uint32_t source) {
  PageMap map;
  if (pages > 0) map.Place({0, pages, base, source});
  return map;
}

std::vector<BackupSetPages> PageMap::ScanBackup(const platform::ReadOnlyFile& file,
                                                uint32_t source, uint64_t first) {
  constexpr size_t kBlockBytes = 4 << 20;
  std::vector<BackupSetPages> sets(1);
  bool named = false;  // the first set's header came from an SSET block
  std::vector<uint8_t> block(kBlockBytes);
  const uint64_t length = file.Length();
  uint64_t block_start = 0;
  size_t block_size = 0;
  PageRun run;
  for (uint64_t at = first; at + kHeaderSize <= length;) {
    if (at < block_start || at + kHeaderSize > block_start + block_size) {
      block_start = at;
      block_size = file.ReadAt(at, block);
      if (block_size < kHeaderSize) break;  // unreadable from here on
    }
    ByteView sector(block.data() + (at - block_start),
                    std::min<size_t>(kSectorSize, block_size - (at - block_start)));
    if (!IsBackupPageStart(sector)) {
      if (std::optional<BackupSetHeader> set = DecodeSsetBlock(sector)) {
        if (run.count > 0) sets.back().map.Place(run);
        run = {};
        if (!named && sets.back().map.PagesHeld() == 0) sets.back().header = *set;
        else sets.push_back({*set, PageMap()});
        named = true;
      }
      at += kSectorSize;
      continue;
    }
    uint64_t page = PageKey(sector.LeOr<uint16_t>(kFileId), OwnPageNumber(sector).value_or(0));
    if (run.count > 0 && page == run.firstPage + run.count &&
        at == run.fileOffset + run.count * kPageSize) {
      ++run.count;
    } else {
      if (run.count > 0) sets.back().map.Place(run);
      run = {page, 1, at, source};
    }
    at += kPageSize;
  }
  if (run.count > 0) sets.back().map.Place(run);
  return sets;
}

void PageMap::Merge(const PageMap& other) {
  for (const auto& [first, run] : other.runs_) Place(run);
}

void PageMap::Place(PageRun run) {
  if (run.count == 0) return;
  const uint64_t end = run.firstPage + run.count;
  // Cut every earlier run that overlaps [firstPage, end) down to the parts
  // outside it.
  auto it = runs_.upper_bound(run.firstPage);
  if (it != runs_.begin()) --it;
  while (it != runs_.end() && it->first < end) {
    PageRun old = it->second;
    const uint64_t old_end = old.firstPage + old.count;
    if (old_end <= run.firstPage) {
      ++it;
      continue;
    }
    it = runs_.erase(it);
    held_ -= old.count;
    if (old.firstPage < run.firstPage) {
      PageRun left{old.firstPage, run.firstPage - old.firstPage, old.fileOffset, old.source};
      runs_.emplace(left.firstPage, left);
      held_ += left.count;
    }
    if (old_end > end) {
      PageRun right{end, old_end - end, old.fileOffset + (end - old.firstPage) * kPageSize,
                    old.source};
      it = runs_.emplace(right.firstPage, right).first;
      held_ += right.count;
      ++it;
    }
  }
  runs_.emplace(run.firstPage, run);
  held_ += run.count;
}

std::optional<uint64_t> PageMap::Offset(uint64_t page) const {
  std::optional<PageLocation> at = Locate(page);
  if (!at) return std::nullopt;
  return at->offset;
}

std::optional<PageLocation> PageMap::Locate(uint64_t page) const {
  auto it = runs_.upper_bound(page);
  if (it == runs_.begin()) return std::nullopt;
  --it;
  const PageRun& r = it->second;
  if (page >= r.firstPage + r.count) return std::nullopt;
  return PageLocation{r.source, r.fileOffset + (page - r.firstPage) * kPageSize};
}

uint64_t PageMap::RunLength(uint64_t page, uint64_t limit) const {
  auto it = runs_.upper_bound(page);
  if (it == runs_.begin()) return 0;
  --it;
  const PageRun& r = it->second;
  if (page >= r.firstPage + r.count) return 0;
  return std::min(limit, r.firstPage + r.count - page);
}

std::optional<uint64_t> PageMap::NextHeld(uint64_t page) const {
  auto it = runs_.upper_bound(page);
  if (it != runs_.begin()) {
    const PageRun& r = std::prev(it)->second;
    if (page < r.firstPage + r.count) return page;
  }
  if (it == runs_.end()) return std::nullopt;
  return it->second.firstPage;
}

uint64_t PageMap::PageCount() const {
  if (runs_.empty()) return 0;
  const PageRun& last = runs_.rbegin()->second;
  return last.firstPage + last.count;
}

uint64_t PageMap::EndWithin(uint64_t first, uint64_t end) const {
  auto it = runs_.lower_bound(end);
  if (it == runs_.begin()) return first;
  const PageRun& r = std::prev(it)->second;
  const uint64_t run_end = std::min(end, r.firstPage + r.count);
  return run_end > first ? run_end : first;
}

uint64_t PageMap::FirstOffset() const {
  return runs_.empty() ? 0 : runs_.begin()->second.fileOffset;
}

}  // namespace tollamer
