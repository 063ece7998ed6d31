// Raw sources for the tools: block devices (whole disks and their
// partitions) and image files, opened for reading while other programs may
// keep them open. On Windows the disks are \\.\PhysicalDriveN, their
// partitions the drive letters' volumes (\\.\C:) or \\.\HarddiskNPartitionM,
// and a drive letter on no listed disk (a network or emulated drive) is an
// entry of its own (windows_block_devices.cpp). On Linux the disks are the entries of /sys/block, their
// partitions the sub-entries that carry a "partition" file, and the device
// nodes live in /dev.
//
//   SYSFS FILE                       MEANING
//   <root>/<disk>/removable          "1" for removable media, "0" for fixed
//   <root>/<disk>/queue/logical_block_size   the disk's sector size in bytes
//   <root>/<disk>/<part>/partition   present on partitions only
//   <root>/<disk>/<part>/start       first sector of the partition (512 bytes)
//   <root>/<disk>/<part>/size        length in 512-byte sectors
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"

namespace tollamer::platform {

// Opens a regular file or a block device for reading only, without any lock,
// so that a disk in use or a file held by another program can still be read.
// The length of a block device is its size in bytes.
OpenResult OpenSharedReadOnly(const std::string& path);

struct PartitionEntry {
  std::string name;          // "sda1"
  std::string devicePath;    // "/dev/sda1"
  uint64_t startSector = 0;  // on the disk, in 512-byte sectors
  uint64_t sectors = 0;
};

struct DiskEntry {
  std::string name;        // "sda"
  std::string devicePath;  // "/dev/sda"
  bool removable = false;
  // The size the system reports in 512-byte sectors (0 when it reports
  // none): a disk that cannot be opened can still be named with its size.
  uint64_t reportedSectors = 0;
  uint32_t sectorBytes = 512;  // the device's own sector size, when it tells
  // A volume found on no listed disk (Windows: a drive letter whose disk
  // cannot be reached), read from its own sector 0.
  bool volume = false;
  std::vector<PartitionEntry> partitions;  // in name order
};

// The machine's block devices. The POSIX implementation reads sysfs; tests
// point it at a folder shaped like it.
class BlockDevices {
 public:
  virtual ~BlockDevices() = default;
  // Every whole disk, in name order (their exact sizes are known once opened).
  virtual std::vector<DiskEntry> ListDisks() const = 0;
  virtual OpenResult Open(const std::string& device_path) const = 0;
};

// The block devices of the system the program runs on.
std::unique_ptr<BlockDevices> SystemBlockDevices();

class PosixBlockDevices final : public BlockDevices {
 public:
  explicit PosixBlockDevices(std::string sysfs_root = "/sys/block",
                             std::string dev_root = "/dev")
      : sysfs_root_(std::move(sysfs_root)), dev_root_(std::move(dev_root)) {}
  std::vector<DiskEntry> ListDisks() const override;
  OpenResult Open(const std::string& device_path) const override {
    return OpenSharedReadOnly(device_path);
  }

 private:
  std::string sysfs_root_;
  std::string dev_root_;
};

}  // namespace tollamer::platform
