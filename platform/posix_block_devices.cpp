// POSIX block devices: open(2) without flock, BLKGETSIZE64 for device sizes,
// sysfs for the list of disks and partitions.
#include "platform/block_devices.h"
#include "platform/posix_descriptor.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace tollamer::platform {
namespace {

std::optional<std::string> ReadLine(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  return line;
}

std::optional<uint64_t> ReadNumber(const std::filesystem::path& p) {
  auto line = ReadLine(p);
  if (!line || line->empty()) return std::nullopt;
  uint64_t v = 0;
  for (char c : *line) {
    if (c < '0' || c > '9') break;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  return v;
}

}  // namespace

OpenResult OpenSharedReadOnly(const std::string& path) {
  OpenResult result;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    result.error = OpenErrorKind(errno);
    result.message = std::strerror(errno);
    return result;
  }
  struct stat st {};
  uint64_t length = 0;
  if (::fstat(fd, &st) != 0) {
    result.error = OpenError::kOther;
    result.message = std::strerror(errno);
    ::close(fd);
    return result;
  }
  if (S_ISREG(st.st_mode)) {
    length = static_cast<uint64_t>(st.st_size);
  } else if (S_ISBLK(st.st_mode)) {
    if (::ioctl(fd, BLKGETSIZE64, &length) != 0) {
      result.error = OpenError::kOther;
      result.message = std::strerror(errno);
      ::close(fd);
      return result;
    }
  } else {
    result.error = OpenError::kNotRegularFile;
    result.message = "not a regular file or block device";
    ::close(fd);
    return result;
  }
  result.file = ReadOnlyFileFromDescriptor(fd, length);
  return result;
}

std::unique_ptr<BlockDevices> SystemBlockDevices() {
  return std::make_unique<PosixBlockDevices>();
}

std::vector<DiskEntry> PosixBlockDevices::ListDisks() const {
  namespace fs = std::filesystem;
  std::vector<DiskEntry> disks;
  std::error_code ec;
  std::vector<fs::path> entries;
  for (const auto& e : fs::directory_iterator(sysfs_root_, ec)) entries.push_back(e.path());
  std::sort(entries.begin(), entries.end());
  for (const fs::path& dir : entries) {
    DiskEntry disk;
    disk.name = dir.filename().string();
    disk.devicePath = (fs::path(dev_root_) / disk.name).string();
    disk.removable = ReadNumber(dir / "removable").value_or(0) != 0;
    disk.reportedSectors = ReadNumber(dir / "size").value_or(0);
    const uint64_t sector_bytes = ReadNumber(dir / "queue" / "logical_block_size").value_or(512);
    if (sector_bytes >= 512 && sector_bytes <= 65536) disk.sectorBytes = static_cast<uint32_t>(sector_bytes);
    std::vector<fs::path> subs;
    for (const auto& e : fs::directory_iterator(dir, ec))
      if (fs::exists(e.path() / "partition", ec)) subs.push_back(e.path());
    std::sort(subs.begin(), subs.end());
    for (const fs::path& sub : subs) {
      PartitionEntry part;
      part.name = sub.filename().string();
      part.devicePath = (fs::path(dev_root_) / part.name).string();
      auto start = ReadNumber(sub / "start");
      if (!start) continue;
      part.startSector = *start;
      part.sectors = ReadNumber(sub / "size").value_or(0);
      disk.partitions.push_back(std::move(part));
    }
    disks.push_back(std::move(disk));
  }
  return disks;
}

}  // namespace tollamer::platform
