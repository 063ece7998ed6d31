#include "tools/fragment_search.h"

#include <algorithm>
#include <optional>

#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/torn_page.h"
#include "platform/block_devices.h"
#include "tools/allocation_map.h"
#include "tools/file_detection.h"
#include "tools/file_header_tags.h"
#include "tools/file_system.h"
#include "engine/pagestore/page_start.h"
#include "tools/progress_throttle.h"

namespace tollamer::tools {

using page_layout::kPageSize;
using page_layout::kSectorSize;

uint64_t ScanUnitSectors(uint64_t c, bool free_only) {
  if (c == 0) return 0;
  if (c >= 9) return free_only ? 8 : 16;
  return c;
}

namespace {

constexpr size_t kChunkBytes = size_t{2} << 20;

// Where cluster numbers start and which clusters are in use.
struct ClusterLayout {
  uint64_t origin = 0;          // sector of cluster 0 (or of unit 0 without a map)
  uint64_t sectorsPerCluster = 1;
  std::optional<ClusterMap> map;

  bool SectorFree(uint64_t sector) const {
    if (!map) return true;
    if (sector < origin) return false;
    return !map->InUse((sector - origin) / sectorsPerCluster);
  }
  // A unit is read only when every cluster it touches is free.
  bool RangeFree(uint64_t first_sector, uint64_t sectors) const {
    if (!map) return true;
    if (first_sector < origin) return false;
    uint64_t first = (first_sector - origin) / sectorsPerCluster;
    uint64_t last = (first_sector + sectors - 1 - origin) / sectorsPerCluster;
    for (uint64_t c = first; c <= last; ++c)
      if (map->InUse(c)) return false;
    return true;
  }
};

class Search {
 public:
  Search(const platform::ReadOnlyFile& source, const SearchParams& params,
         const std::atomic<bool>& running, SearchObserver& observer)
      : source_(source), params_(params), running_(running), observer_(observer),
        runs_([this](Fragment f) {
          observer_.OnFragment(f);
          result_.fragments.push_back(std::move(f));
        }) {}

  SearchResult Run(const ClusterLayout& layout, uint64_t unit) {
    layout_ = &layout;
    unit_ = unit;
    uint64_t base = layout.origin;
    uint64_t source_sectors = source_.Length() / kSectorSize;
    uint64_t units = params_.sizeSectors / unit;
    // Units past the end of the source cannot be read: the search ends there.
    units = base >= source_sectors ? 0 : std::min(units, (source_sectors - base) / unit);
    const size_t unit_bytes = static_cast<size_t>(unit * kSectorSize);
    const uint64_t chunk_units = std::max<uint64_t>(1, kChunkBytes / unit_bytes);
    // One unit more than a chunk, so that the second sector of a one-sector
    // unit is always at hand.
    std::vector<uint8_t> chunk(static_cast<size_t>(chunk_units + 1) * unit_bytes);

    result_.ran = true;
    uint64_t k = 0;
    while (k < units) {
      if (!running_.load(std::memory_order_relaxed)) return Stopped();
      if (!layout.RangeFree(base + k * unit, unit)) {
        if (throttle_.Due()) observer_.OnProgress(static_cast<int>(k * 100 / units));
        ++result_.unitsSkipped;
        ++k;
        continue;
      }
      // The free units from k on, read in one go.
      uint64_t n = 1;
      while (n < chunk_units && k + n < units && layout.RangeFree(base + (k + n) * unit, unit)) ++n;
      size_t got = source_.ReadAt((base + k * unit) * kSectorSize,
                                  std::span<uint8_t>(chunk.data(), static_cast<size_t>(n) * unit_bytes));
      uint64_t whole = got / unit_bytes;
      if (whole == 0) {  // an unreadable unit is no page start
        ++k;
        continue;
      }
      for (uint64_t j = 0; j < whole; ++j, ++k) {
        if (!running_.load(std::memory_order_relaxed)) return Stopped();
        if (throttle_.Due()) observer_.OnProgress(static_cast<int>(k * 100 / units));
        ++result_.unitsRead;
        ByteView bytes(chunk.data() + j * unit_bytes, unit_bytes);
        if (!IsExcavationPageStart(bytes)) continue;
        uint64_t position = base + k * unit;
        uint32_t number = OwnPageNumber(bytes).value_or(0);
        std::string page_extra;
        bool consumed_extra = false;
        if (number == 0) {
          std::optional<std::string> tags = FileHeaderTags(position);
          if (!tags) continue;
          page_extra = *tags;
        } else if (number == kPathTextPage) {
          if (unit == 1) {
            // The path runs into the next sector: it is read as one more unit.
            std::vector<uint8_t> two(2 * kSectorSize, 0);
            std::copy_n(bytes.data(), kSectorSize, two.begin());
            if (layout.SectorFree(position + 1))
              source_.ReadAt((position + 1) * kSectorSize,
                             std::span<uint8_t>(two.data() + kSectorSize, kSectorSize));
            page_extra = ReadPathText(ByteView(two));
            consumed_extra = true;
          } else {
            page_extra = ReadPathText(bytes);
          }
        }
        runs_.Place(position, number, page_extra);
        if (consumed_extra) ++k, ++j;
      }
    }
    runs_.Finish();
    observer_.OnProgress(100);
    return std::move(result_);
  }

 private:
  SearchResult Stopped() {
    result_.stopped = true;
    return std::move(result_);
  }

  // The file header page read again in whole at its position, its torn bits
  // repaired, then its tags; the free-cluster search reads only the sectors
  // of free clusters and takes the others as zero.
  std::optional<std::string> FileHeaderTags(uint64_t position) {
    std::vector<uint8_t> page(kPageSize, 0);
    const bool free_only = layout_->map.has_value();
    if (!free_only) {
      if (source_.ReadAt(position * kSectorSize, page) != kPageSize) return std::nullopt;
    } else {
      for (uint64_t s = 0; s < kSectorsPerPageOnDisk; ++s)
        if (layout_->SectorFree(position + s))
          source_.ReadAt((position + s) * kSectorSize,
                         std::span<uint8_t>(page.data() + s * kSectorSize, kSectorSize));
    }
    ByteView raw(page);
    Page repaired = FixTornPage(page, raw.LeOr<uint32_t>(page_layout::kTornBits),
                                raw.LeOr<uint16_t>(page_layout::kFlagBits));
    return ReadFileHeaderTags(repaired.view(),
                              params_.freeClustersOnly ? HeaderReading::kLenient : HeaderReading::kStrict);
  }

  const platform::ReadOnlyFile& source_;
  const SearchParams& params_;
  const std::atomic<bool>& running_;
  SearchObserver& observer_;
  SearchResult result_;
  RunBuilder runs_;
  ProgressThrottle throttle_;
  const ClusterLayout* layout_ = nullptr;
  uint64_t unit_ = 1;
};

}  // namespace

SearchResult SearchFragments(const platform::ReadOnlyFile& source, const SearchParams& params,
                             const std::atomic<bool>& running, SearchObserver& observer,
                             EngineMessages& messages) {
  uint64_t unit = ScanUnitSectors(params.clusterField, params.freeClustersOnly);
  if (unit == 0) {
    messages.Notify(EngineNotice::kClusterSizeZero);
    SearchResult refused;
    refused.error = kClusterZeroText;
    return refused;
  }
  ClusterLayout layout;
  layout.origin = params.startSector;
  if (params.freeClustersOnly) {
    std::vector<uint8_t> boot(kSectorSize, 0);
    source.ReadAt(params.startSector * kSectorSize, boot);
    FileSystemInfo fs = RecognizeBootSector(ByteView(boot));
    if (fs.kind == FileSystemKind::kNtfs) {
      layout.sectorsPerCluster = fs.sectorsPerCluster;
      layout.map = ReadNtfsBitmap(source, params.startSector, ByteView(boot));
      if (!layout.map) {
        messages.Notify(EngineNotice::kVolumeBitmapUnreadable);
        SearchResult failed;
        failed.error = kBitmapErrorText;
        return failed;
      }
    } else if (fs.kind == FileSystemKind::kFat32 || fs.kind == FileSystemKind::kFat16) {
      const bool fat32 = fs.kind == FileSystemKind::kFat32;
      layout.sectorsPerCluster = fs.sectorsPerCluster;
      std::optional<uint64_t> origin = fat32 ? Fat32ClusterOrigin(params.startSector, ByteView(boot))
                                             : Fat16ClusterOrigin(params.startSector, ByteView(boot));
      if (origin)
        layout.map = fat32 ? ReadFat32Table(source, params.startSector, ByteView(boot))
                           : ReadFat16Table(source, params.startSector, ByteView(boot));
      if (!origin || !layout.map) {
        messages.Notify(EngineNotice::kFatUnreadable);
        SearchResult failed;
        failed.error = kFatErrorText;
        return failed;
      }
      layout.origin = *origin;
    }
    // Unknown volumes have no map: every unit from the start sector is read.
  }
  Search search(source, params, running, observer);
  return search.Run(layout, unit);
}

SearchResult SearchFragmentsInFile(const std::string& path, const SearchParams& params,
                                   const std::atomic<bool>& running, SearchObserver& observer,
                                   EngineMessages& messages) {
  platform::OpenResult open = platform::OpenSharedReadOnly(path);
  if (!open.file) {
    messages.Notify(EngineNotice::kFileOpenFailed);
    SearchResult failed;
    failed.error = open.message;
    return failed;
  }
  return SearchFragments(*open.file, params, running, observer, messages);
}

}  // namespace tollamer::tools
