// Recognition of the file system whose boot sector lies at the search's
// start sector: NTFS (tried first), FAT32, FAT16.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/pagestore/byte_view.h"
#include "platform/file.h"

namespace tollamer::tools {

enum class FileSystemKind { kNone, kNtfs, kFat32, kFat16 };

struct FileSystemInfo {
  FileSystemKind kind = FileSystemKind::kNone;
  uint32_t sectorsPerCluster = 0;
  uint64_t totalSectors = 0;  // as the boot sector gives it
};

// Tests one boot sector (512 bytes).
FileSystemInfo RecognizeBootSector(ByteView sector);

// What recognising the start sector of a source fills in: the volume kind,
// whether free-clusters-only may be chosen, the cluster size and the size
// to search (the volume's sectors, at most the source's).
struct Recognition {
  FileSystemInfo fs;
  bool freeClustersAllowed = false;
  std::optional<uint32_t> clusterField;
  std::optional<uint64_t> sizeField;
};

Recognition RecognizeFileSystem(const platform::ReadOnlyFile& source, uint64_t start_sector);

std::string_view FileSystemName(FileSystemKind kind);

}  // namespace tollamer::tools
