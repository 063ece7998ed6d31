#include "tools/file_detection.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "engine/pagestore/file_layout.h"
#include "engine/pagestore/page_check.h"
#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/page_map.h"
#include "engine/source/compressed_backup.h"
#include "platform/block_devices.h"
#include "tools/block_reader.h"
#include "tools/progress_throttle.h"

namespace tollamer::tools {

using page_layout::kPageSize;

namespace {

class MapBuilder {
 public:
  MapBuilder(uint64_t pages, size_t max_cells) {
    map_.pagesPerCell = std::max<uint64_t>(1, (pages + max_cells - 1) / std::max<size_t>(1, max_cells));
    map_.cells.reserve(static_cast<size_t>((pages + map_.pagesPerCell - 1) / map_.pagesPerCell));
  }
  void Add(PageKind kind) {
    ++group_[KindIndex(kind)];
    if (++in_group_ == map_.pagesPerCell) Flush();
  }
  PageMap Finish() {
    if (in_group_ > 0) Flush();
    return std::move(map_);
  }

 private:
  void Flush() {
    PageKind cell = PageKind::kNull;
    if (group_[KindIndex(PageKind::kErr)] > 0) {
      cell = PageKind::kErr;
    } else {
      uint64_t best = 0;
      for (size_t i = 0; i < kPageKindCount; ++i) {
        if (KindAt(i) == PageKind::kNull) continue;
        if (group_[i] > best) best = group_[i], cell = KindAt(i);
      }
    }
    map_.cells.push_back(cell);
    group_.fill(0);
    in_group_ = 0;
  }

  PageMap map_;
  KindCounts group_{};
  uint64_t in_group_ = 0;
};

int Percent(uint64_t done, uint64_t total) {
  return total == 0 ? 0 : static_cast<int>(static_cast<double>(done) / total * 100.0);
}

}  // namespace

DetectionResult DetectPages(const platform::ReadOnlyFile& source,
                            const std::atomic<bool>& running, DetectionObserver& observer,
                            size_t max_map_cells) {
  DetectionResult result;
  result.opened = true;
  result.fileBytes = source.Length();
  // A backup's page images lie wherever its stream put them; of a file
  // holding several backup sets, the last one with pages is counted.
  std::optional<tollamer::PageMap> images;
  if (const FileLayout layout = ReadFileLayout(source); layout.backup)
    for (BackupSetPages& set : tollamer::PageMap::ScanBackup(source, 0, layout.firstSector))
      if (set.map.PagesHeld() > 0) images = std::move(set.map);
  result.backup = images.has_value();
  const uint64_t numbers = images ? images->PageCount() : result.fileBytes / kPageSize;
  result.pages = images ? images->PagesHeld() : numbers;
  MapBuilder map(numbers, max_map_cells);
  BlockReader reader(source);
  ProgressThrottle throttle;

  for (uint64_t i = 0; i < numbers; ++i) {
    if (!running.load(std::memory_order_relaxed)) {
      result.stopped = true;
      result.map = map.Finish();
      return result;
    }
    if (throttle.Due()) observer.OnProgress(Percent(i + 1, numbers), result.counts);
    const std::optional<uint64_t> at = images ? images->Offset(i) : i * kPageSize;
    if (!at) {
      map.Add(PageKind::kNull);  // a page the backup does not hold
      continue;
    }
    // The reader fetches a whole block when a page lies outside the one it
    // holds; a page that did not arrive whole is damaged, never judged from
    // another page's bytes.
    ByteView page = reader.Get(*at, kPageSize);
    PageKind kind = page.size() == kPageSize ? ClassifyPage(page) : PageKind::kErr;
    ++result.counts[KindIndex(kind)];
    const PageCheck check = CheckPage(page);
    result.checksumFails += check == PageCheck::kChecksumFails;
    result.torn += check == PageCheck::kTorn;
    map.Add(kind);
    ++result.pagesScanned;
  }
  result.map = map.Finish();
  observer.OnProgress(100, result.counts);
  observer.OnFinished(result);
  return result;
}

DetectionResult DetectFile(const std::string& path, const std::atomic<bool>& running,
                           DetectionObserver& observer, EngineMessages& messages) {
  platform::OpenResult open = platform::OpenSharedReadOnly(path);
  if (!open.file) {
    messages.Notify(EngineNotice::kFileOpenFailed);
    return {};
  }
  // A compressed backup is counted in the stream its blocks decode to.
  if (HasCompressedBackupHead(*open.file)) {
    DecodedBackupOpen decoded = OpenDecodedBackup(std::move(open.file));
    if (decoded.file) return DetectPages(*decoded.file, running, observer);
    return {};
  }
  return DetectPages(*open.file, running, observer);
}

std::string SharePercentText(uint64_t count, uint64_t pages) {
  if (pages == 0) return "0%";
  float share = static_cast<float>(static_cast<double>(count) * 100.0 / static_cast<double>(pages));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f%%", share);
  return buf;
}

}  // namespace tollamer::tools
