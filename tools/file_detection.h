// File detection: a census of every 8192-byte page of a file by kind, with a
// page map (one cell per page or group of pages) for a picture of the file.
// A data file (or disk, or image) is read from byte 0 in large sequential
// blocks; a backup (file_layout.h) is counted by its page images, wherever
// its stream holds them, and its map has a null cell for each page number
// it leaves out.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/pagestore/engine_messages.h"
#include "platform/file.h"
#include "tools/page_census.h"

namespace tollamer::tools {


// One cell per group of `pagesPerCell` consecutive pages; a cell takes the
// kind "err" if any page of its group is damaged, else the most frequent
// non-empty kind of the group, else "null".
struct PageMap {
  uint64_t pagesPerCell = 1;
  std::vector<PageKind> cells;
};

struct DetectionResult {
  bool opened = false;
  uint64_t fileBytes = 0;
  bool backup = false;        // counted by the page images of a backup
  uint64_t pages = 0;         // file size / 8192, or a backup's page images
  uint64_t pagesScanned = 0;  // fewer than pages after a stop
  bool stopped = false;
  KindCounts counts{};
  uint64_t checksumFails = 0;  // pages whose checksum is not the one their bytes give
  uint64_t torn = 0;           // pages whose torn bits show a sector not written
  PageMap map;
};

// What the worker tells its dialog. Progress and counts come at most about
// thirty times a second and once more at the end.
class DetectionObserver {
 public:
  virtual ~DetectionObserver() = default;
  // percent 0..100 of the pages read, with the counts so far.
  virtual void OnProgress(int percent, const KindCounts& counts) {}
  // The scan ended by itself: the bar returns to 0.
  virtual void OnFinished(const DetectionResult& result) {}
};

// Cells in a page map at most; larger files group pages per cell.
inline constexpr size_t kMaxMapCells = 65536;

// The census of an open source. `running` is tested once per page.
DetectionResult DetectPages(const platform::ReadOnlyFile& source,
                            const std::atomic<bool>& running,
                            DetectionObserver& observer,
                            size_t max_map_cells = kMaxMapCells);

// Opens `path` for reading (shared) and runs the census; a file that cannot
// be opened says kFileOpenFailed and gives a result with opened = false.
DetectionResult DetectFile(const std::string& path, const std::atomic<bool>& running,
                           DetectionObserver& observer, EngineMessages& messages);

// The percentage shown beside the null and err counts: "%.1f%%" of
// count * 100 / pages in single precision.
std::string SharePercentText(uint64_t count, uint64_t pages);

}  // namespace tollamer::tools
