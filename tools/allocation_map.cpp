#include "tools/allocation_map.h"

#include "engine/pagestore/page_layout.h"
#include "platform/text.h"
#include "tools/volume_layout.h"

namespace tollamer::tools {

using namespace volume_layout;
using page_layout::kSectorSize;

bool ClusterMap::InUse(uint64_t cluster) const {
  if (cluster >= Clusters()) return true;
  if (kind_ == Kind::kBitmap) return (bytes_[cluster / 8] >> (cluster % 8)) & 1;
  ByteView view(bytes_);
  if (kind_ == Kind::kFat16) return view.LeOr<uint16_t>(cluster * 2) != 0;
  return view.LeOr<uint32_t>(cluster * 4) != 0;
}

std::optional<std::vector<DataRun>> DecodeRunList(ByteView runs) {
  std::vector<DataRun> out;
  size_t at = 0;
  int64_t lcn = 0;
  while (out.size() < kMaxRuns) {
    auto header = runs.U8(at);
    if (!header) return std::nullopt;  // no terminating zero
    if (*header == 0) return out;
    size_t length_size = *header & 0x0F;
    size_t offset_size = *header >> 4;
    if (length_size == 0 || length_size > 8 || offset_size > 8) return std::nullopt;
    if (!runs.Contains(at + 1, length_size + offset_size)) return std::nullopt;
    uint64_t length = 0;
    for (size_t i = 0; i < length_size; ++i)
      length |= uint64_t{runs.LeOr<uint8_t>(at + 1 + i)} << (8 * i);
    if (length == 0) return std::nullopt;
    DataRun run;
    run.clusters = length;
    if (offset_size > 0) {
      uint64_t raw = 0;
      for (size_t i = 0; i < offset_size; ++i)
        raw |= uint64_t{runs.LeOr<uint8_t>(at + 1 + length_size + i)} << (8 * i);
      if (offset_size < 8 && (raw >> (8 * offset_size - 1)) & 1)
        raw |= ~uint64_t{0} << (8 * offset_size);  // sign extension
      // A damaged offset may carry the cluster past the 64-bit range.
      if (__builtin_add_overflow(lcn, static_cast<int64_t>(raw), &lcn) || lcn < 0)
        return std::nullopt;
      run.lcn = lcn;
    }
    out.push_back(run);
    at += 1 + length_size + offset_size;
  }
  return std::nullopt;
}

bool ApplyFixups(std::vector<uint8_t>& record) {
  ByteView view(record);
  size_t usa = view.LeOr<uint16_t>(kUpdateSequenceOffset);
  size_t count = view.LeOr<uint16_t>(kUpdateSequenceCount);
  if (count == 0) return true;
  if (!view.Contains(usa, count * 2) || (count - 1) * kSectorSize > record.size()) return false;
  for (size_t i = 1; i < count; ++i) {
    size_t end = i * kSectorSize - 2;
    record[end] = record[usa + 2 * i];
    record[end + 1] = record[usa + 2 * i + 1];
  }
  return true;
}

std::optional<ClusterMap> ReadNtfsBitmap(const platform::ReadOnlyFile& source,
                                         uint64_t volume_start, ByteView boot) {
  uint64_t s = boot.LeOr<uint8_t>(kSectorsPerCluster);
  uint64_t mft_cluster = boot.LeOr<uint64_t>(kMftCluster);
  if (s == 0 || mft_cluster > (UINT64_MAX / kSectorSize - volume_start) / s) return std::nullopt;
  uint64_t record_sector = mft_cluster * s + volume_start + kBitmapRecordSector;
  std::vector<uint8_t> record(kMftRecordSize);
  if (source.ReadAt(record_sector * kSectorSize, record) != record.size()) return std::nullopt;
  if (!ApplyFixups(record)) return std::nullopt;
  ByteView rec(record);

  bool named_bitmap = false;
  std::optional<std::vector<DataRun>> runs;
  size_t at = rec.LeOr<uint16_t>(kFirstAttribute);
  for (size_t count = 0; count < kMaxAttributes; ++count) {
    auto type = rec.U32(at + kAttrType);
    auto length = rec.U32(at + kAttrLength);
    if (!type || *type == kAttrEnd || !length || *length == 0 || !rec.Contains(at, *length)) break;
    ByteView attr = *rec.Slice(at, *length);
    bool non_resident = attr.LeOr<uint8_t>(kAttrNonResident) != 0;
    if (*type == kAttrFileName && !non_resident && !named_bitmap) {
      ByteView value = attr.From(attr.LeOr<uint16_t>(kAttrValueOffset));
      auto chars = value.U8(kFileNameLength);
      auto name = chars ? value.Slice(kFileNameChars, size_t{*chars} * 2) : std::nullopt;
      named_bitmap = name && platform::Utf16LeToUtf8(name->span()) == "$Bitmap";
      if (!named_bitmap) return std::nullopt;
    } else if (*type == kAttrData && non_resident && !runs) {
      runs = DecodeRunList(attr.From(attr.LeOr<uint16_t>(kAttrRunListOffset)));
      if (!runs) return std::nullopt;
    }
    at += *length;
  }
  if (!named_bitmap || !runs) return std::nullopt;

  uint64_t cluster_bytes = s * kSectorSize;
  uint64_t total = 0;
  for (const DataRun& run : *runs) {
    if (run.clusters > kMaxAllocationMapBytes / cluster_bytes) return std::nullopt;
    total += run.clusters * cluster_bytes;
    if (total > kMaxAllocationMapBytes || total > source.Length()) return std::nullopt;
  }
  // Each run goes to its own place in the bitmap; a sparse run (never seen
  // on a sound volume) stays marked as in use.
  std::vector<uint8_t> bitmap(static_cast<size_t>(total), 0);
  size_t placed = 0;
  for (const DataRun& run : *runs) {
    size_t bytes = static_cast<size_t>(run.clusters * cluster_bytes);
    std::span<uint8_t> target(bitmap.data() + placed, bytes);
    if (run.lcn) {
      uint64_t sector = static_cast<uint64_t>(*run.lcn) * s + volume_start;
      if (source.ReadAt(sector * kSectorSize, target) != bytes) return std::nullopt;
    } else {
      std::fill(target.begin(), target.end(), 0xFF);
    }
    placed += bytes;
  }
  return ClusterMap(ClusterMap::Kind::kBitmap, std::move(bitmap));
}

std::optional<uint64_t> Fat32ClusterOrigin(uint64_t volume_start, ByteView boot) {
  uint64_t s = boot.LeOr<uint8_t>(kSectorsPerCluster);
  if (s == 0) return std::nullopt;
  uint64_t data_start = volume_start + boot.LeOr<uint16_t>(kReservedSectors) +
                        uint64_t{boot.LeOr<uint8_t>(kFatCount)} * boot.LeOr<uint32_t>(kFatSize32);
  // The data area begins with cluster 2, whichever cluster holds the root.
  if (data_start < kFirstDataCluster * s) return std::nullopt;
  return data_start - kFirstDataCluster * s;
}

namespace {

// The first FAT: `fat_sectors` sectors after the reserved ones.
std::optional<ClusterMap> ReadFirstFat(const platform::ReadOnlyFile& source, uint64_t volume_start,
                                       ByteView boot, uint64_t fat_sectors, ClusterMap::Kind kind) {
  uint64_t bytes = fat_sectors * kSectorSize;
  uint64_t offset = (volume_start + boot.LeOr<uint16_t>(kReservedSectors)) * kSectorSize;
  if (bytes == 0 || bytes > kMaxAllocationMapBytes || offset > source.Length() ||
      bytes > source.Length() - offset)
    return std::nullopt;
  std::vector<uint8_t> fat(static_cast<size_t>(bytes));
  if (source.ReadAt(offset, fat) != fat.size()) return std::nullopt;
  return ClusterMap(kind, std::move(fat));
}

}  // namespace

std::optional<ClusterMap> ReadFat32Table(const platform::ReadOnlyFile& source,
                                         uint64_t volume_start, ByteView boot) {
  return ReadFirstFat(source, volume_start, boot, boot.LeOr<uint32_t>(kFatSize32),
                      ClusterMap::Kind::kFat);
}

std::optional<uint64_t> Fat16ClusterOrigin(uint64_t volume_start, ByteView boot) {
  uint64_t s = boot.LeOr<uint8_t>(kSectorsPerCluster);
  if (s == 0) return std::nullopt;
  uint64_t root_sectors =
      (uint64_t{boot.LeOr<uint16_t>(kRootEntries)} * kDirectoryEntryBytes + kSectorSize - 1) /
      kSectorSize;
  uint64_t data_start = volume_start + boot.LeOr<uint16_t>(kReservedSectors) +
                        uint64_t{boot.LeOr<uint8_t>(kFatCount)} * boot.LeOr<uint16_t>(kFatSize16) +
                        root_sectors;
  if (data_start < kFirstDataCluster * s) return std::nullopt;
  return data_start - kFirstDataCluster * s;
}

std::optional<ClusterMap> ReadFat16Table(const platform::ReadOnlyFile& source,
                                         uint64_t volume_start, ByteView boot) {
  return ReadFirstFat(source, volume_start, boot, boot.LeOr<uint16_t>(kFatSize16),
                      ClusterMap::Kind::kFat16);
}

}  // namespace tollamer::tools
