#include "tools/file_system.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/pagestore/page_layout.h"
#include "tools/volume_layout.h"

namespace tollamer::tools {

using namespace volume_layout;
using page_layout::kSectorSize;

namespace {

bool HasText(ByteView b, size_t offset, const char* text) {
  size_t n = std::strlen(text);
  auto s = b.Slice(offset, n);
  return s && std::memcmp(s->data(), text, n) == 0;
}

bool IsNtfs(ByteView b) {
  return b.LeOr<uint16_t>(kSignature) == kBootSignature &&
         b.LeOr<uint16_t>(kBytesPerSector) == kSectorBytes && b.LeOr<uint8_t>(kFatCount) == 0 &&
         b.LeOr<uint16_t>(kRootEntries) == 0 && b.LeOr<uint16_t>(kFatSize16) == 0 &&
         b.LeOr<uint32_t>(kHiddenSectors) != 0 && HasText(b, kOemName, "NTFS");
}

bool IsFat32(ByteView b) {
  return b.LeOr<uint16_t>(kSignature) == kBootSignature && b.LeOr<uint8_t>(kFatCount) == 2 &&
         b.LeOr<uint16_t>(kBytesPerSector) == kSectorBytes &&
         b.LeOr<uint16_t>(kBackupBootSector) == kFat32BackupBootSector &&
         b.LeOr<uint32_t>(kRootEntries) == 0 && b.LeOr<uint16_t>(kFatSize16) == 0 &&
         HasText(b, kFat32TypeName, "FAT32");
}

bool IsFat16(ByteView b) {
  return b.LeOr<uint16_t>(kSignature) == kBootSignature &&
         b.LeOr<uint16_t>(kRootEntries) == kFat16RootEntries &&
         b.LeOr<uint16_t>(kBytesPerSector) == kSectorBytes && HasText(b, kFat16TypeName, "FAT16");
}

}  // namespace

FileSystemInfo RecognizeBootSector(ByteView b) {
  FileSystemInfo info;
  if (b.size() < kSectorSize) return info;
  info.sectorsPerCluster = b.LeOr<uint8_t>(kSectorsPerCluster);
  if (IsNtfs(b)) {
    info.kind = FileSystemKind::kNtfs;
    info.totalSectors = b.LeOr<uint64_t>(kNtfsTotalSectors);
  } else if (IsFat32(b)) {
    info.kind = FileSystemKind::kFat32;
    info.totalSectors = b.LeOr<uint32_t>(kTotalSectors32);
  } else if (IsFat16(b)) {
    info.kind = FileSystemKind::kFat16;
    // A FAT16 volume below 32 MiB keeps its size in the 16-bit field.
    info.totalSectors = b.LeOr<uint32_t>(kTotalSectors32);
    if (info.totalSectors == 0) info.totalSectors = b.LeOr<uint16_t>(kTotalSectors16);
  } else {
    info.sectorsPerCluster = 0;
  }
  return info;
}

std::string_view FileSystemName(FileSystemKind kind) {
  switch (kind) {
    case FileSystemKind::kNtfs: return "NTFS";
    case FileSystemKind::kFat32: return "FAT32";
    case FileSystemKind::kFat16: return "FAT16";
    case FileSystemKind::kNone: break;
  }
  return "";
}

Recognition RecognizeFileSystem(const platform::ReadOnlyFile& source, uint64_t start_sector) {
  Recognition r;
  uint64_t source_sectors = source.Length() / kSectorSize;
  std::array<uint8_t, kSectorSize> sector{};
  if (start_sector >= source_sectors ||
      source.ReadAt(start_sector * kSectorSize, sector) != kSectorSize)
    return r;
  r.fs = RecognizeBootSector(ByteView(sector));
  if (r.fs.kind == FileSystemKind::kNone) return r;
  r.freeClustersAllowed = true;
  r.clusterField = r.fs.sectorsPerCluster;
  if (r.fs.kind == FileSystemKind::kNtfs)
    r.sizeField = std::min(r.fs.totalSectors, source_sectors);
  else  // the FAT fields are 32-bit: the source limits them when it fits in 32 bits
    r.sizeField = source_sectors <= UINT32_MAX ? std::min(r.fs.totalSectors, source_sectors)
                                               : r.fs.totalSectors;
  return r;
}

}  // namespace tollamer::tools
