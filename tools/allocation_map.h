// The allocation maps that let the fragment search skip clusters in use:
// the NTFS $Bitmap (one bit per cluster) and the first FAT of a FAT32
// volume (one 32-bit entry per cluster, 0 = free) or a FAT16 volume (one
// 16-bit entry per cluster, 0 = free). Layouts in
// volume_layout.h. Clusters beyond the map are reported as in use, so a
// size field larger than the volume never makes the search read them.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/pagestore/byte_view.h"
#include "platform/file.h"

namespace tollamer::tools {

inline constexpr char kBitmapErrorText[] = "the NTFS volume bitmap cannot be read";
inline constexpr char kFatErrorText[] = "the file allocation table cannot be read";

// Caps that keep a damaged boot sector or run list from asking for absurd
// amounts of memory or endless walks.
inline constexpr uint64_t kMaxAllocationMapBytes = uint64_t{1} << 30;
inline constexpr size_t kMaxAttributes = 64;
inline constexpr size_t kMaxRuns = 65536;

class ClusterMap {
 public:
  enum class Kind { kBitmap, kFat, kFat16 };
  ClusterMap() = default;
  ClusterMap(Kind kind, std::vector<uint8_t> bytes) : kind_(kind), bytes_(std::move(bytes)) {}

  bool InUse(uint64_t cluster) const;
  uint64_t Clusters() const {
    switch (kind_) {
      case Kind::kBitmap: return bytes_.size() * 8;
      case Kind::kFat: return bytes_.size() / 4;
      case Kind::kFat16: return bytes_.size() / 2;
    }
    return 0;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  Kind kind_ = Kind::kBitmap;
  std::vector<uint8_t> bytes_;
};

// One extent of a non-resident attribute: `clusters` clusters at logical
// cluster `lcn`; sparse runs have no lcn.
struct DataRun {
  uint64_t clusters = 0;
  std::optional<int64_t> lcn;
};

// Decodes an NTFS run list; nothing when it is damaged (a zero-length run,
// a field running past the bytes, a cluster before the volume).
std::optional<std::vector<DataRun>> DecodeRunList(ByteView runs);

// Applies the update sequence fix-ups of a file record in place; false when
// the array does not fit in the record.
bool ApplyFixups(std::vector<uint8_t>& record);

// Reads the volume bitmap of the NTFS volume at `volume_start` (sectors)
// from MFT record 6. Nothing when the record or the runs cannot be read or
// the record is not named "$Bitmap".
std::optional<ClusterMap> ReadNtfsBitmap(const platform::ReadOnlyFile& source,
                                         uint64_t volume_start, ByteView boot_sector);

// Where FAT32 cluster n lies: origin + n * sectors per cluster.
std::optional<uint64_t> Fat32ClusterOrigin(uint64_t volume_start, ByteView boot_sector);

// Reads the first FAT of the FAT32 volume at `volume_start`.
std::optional<ClusterMap> ReadFat32Table(const platform::ReadOnlyFile& source,
                                         uint64_t volume_start, ByteView boot_sector);

// Where FAT16 cluster n lies: the data area follows the reserved sectors,
// the FATs and the fixed root directory region, and begins with cluster 2.
std::optional<uint64_t> Fat16ClusterOrigin(uint64_t volume_start, ByteView boot_sector);

// Reads the first FAT of the FAT16 volume at `volume_start`.
std::optional<ClusterMap> ReadFat16Table(const platform::ReadOnlyFile& source,
                                         uint64_t volume_start, ByteView boot_sector);

}  // namespace tollamer::tools
