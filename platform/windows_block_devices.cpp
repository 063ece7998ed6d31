// Windows block devices: \\.\PhysicalDriveN with its partition table
// (IOCTL_DISK_GET_DRIVE_LAYOUT_EX), and the drive letters' volumes placed on
// them by their disk extents. Listing needs no rights (the devices are
// opened for queries only); reading a disk or volume needs an
// administrator's.
#include <algorithm>
#include <vector>

#include "platform/block_devices.h"
#include "platform/windows_paths.h"

#include <winioctl.h>

namespace tollamer::platform {
namespace {

// Disks are numbered from 0 with gaps where one was removed.
constexpr int kDiskNumbers = 64;
constexpr uint64_t kSectorBytes = 512;  // the unit of DiskEntry's counts
constexpr size_t kLayoutEntries = 128;

// A drive letter's volume: where it lies on which disk, or its size alone.
struct LetterVolume {
  std::string letter;  // "C:"
  std::optional<DWORD> disk;
  uint64_t startByte = 0;
  uint64_t bytes = 0;
  bool removable = false;
};

HANDLE OpenForQuery(const std::wstring& device) {
  return ::CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

std::vector<LetterVolume> LetterVolumes() {
  std::vector<LetterVolume> volumes;
  const DWORD drives = ::GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(drives & (1u << i))) continue;
    LetterVolume v;
    v.letter = std::string(1, static_cast<char>('A' + i)) + ":";
    const std::wstring root = WideFromUtf8(v.letter + "\\");
    const UINT type = ::GetDriveTypeW(root.c_str());
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN) continue;
    v.removable = type == DRIVE_REMOVABLE || type == DRIVE_CDROM;
    ULARGE_INTEGER total{};
    if (::GetDiskFreeSpaceExW(root.c_str(), nullptr, &total, nullptr)) v.bytes = total.QuadPart;
    HANDLE h = OpenForQuery(WideFromUtf8("\\\\.\\" + v.letter));
    if (h != INVALID_HANDLE_VALUE) {
      // One extent for a plain volume; a volume spanning disks is listed alone.
      VOLUME_DISK_EXTENTS extents{};
      DWORD returned = 0;
      if (::DeviceIoControl(h, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, &extents,
                            sizeof extents, &returned, nullptr) &&
          extents.NumberOfDiskExtents == 1) {
        v.disk = extents.Extents[0].DiskNumber;
        v.startByte = static_cast<uint64_t>(extents.Extents[0].StartingOffset.QuadPart);
        v.bytes = static_cast<uint64_t>(extents.Extents[0].ExtentLength.QuadPart);
      }
      ::CloseHandle(h);
    }
    volumes.push_back(std::move(v));
  }
  return volumes;
}

std::optional<DiskEntry> Disk(int number, std::vector<LetterVolume>& volumes) {
  const std::string path = "\\\\.\\PhysicalDrive" + std::to_string(number);
  HANDLE h = OpenForQuery(WideFromUtf8(path));
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  DiskEntry disk;
  disk.name = "PhysicalDrive" + std::to_string(number);
  disk.devicePath = path;
  DISK_GEOMETRY_EX geometry{};
  DWORD returned = 0;
  if (::DeviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0, &geometry,
                        sizeof geometry, &returned, nullptr)) {
    disk.reportedSectors = static_cast<uint64_t>(geometry.DiskSize.QuadPart) / kSectorBytes;
    disk.sectorBytes = geometry.Geometry.BytesPerSector;
    disk.removable = geometry.Geometry.MediaType == RemovableMedia;
  }
  std::vector<uint8_t> buffer(sizeof(DRIVE_LAYOUT_INFORMATION_EX) +
                              kLayoutEntries * sizeof(PARTITION_INFORMATION_EX));
  if (::DeviceIoControl(h, IOCTL_DISK_GET_DRIVE_LAYOUT_EX, nullptr, 0, buffer.data(),
                        static_cast<DWORD>(buffer.size()), &returned, nullptr)) {
    const auto* layout = reinterpret_cast<const DRIVE_LAYOUT_INFORMATION_EX*>(buffer.data());
    const DWORD count = std::min<DWORD>(layout->PartitionCount, kLayoutEntries);
    for (DWORD i = 0; i < count; ++i) {
      const PARTITION_INFORMATION_EX& p = layout->PartitionEntry[i];
      if (p.PartitionNumber == 0 || p.PartitionLength.QuadPart == 0) continue;
      PartitionEntry part;
      const uint64_t start = static_cast<uint64_t>(p.StartingOffset.QuadPart);
      part.name = "Harddisk" + std::to_string(number) + "Partition" +
                  std::to_string(p.PartitionNumber);
      part.devicePath = "\\\\.\\" + part.name;
      for (auto v = volumes.begin(); v != volumes.end(); ++v) {
        if (v->disk != static_cast<DWORD>(number) || v->startByte != start) continue;
        part.name = v->letter;
        part.devicePath = "\\\\.\\" + v->letter;
        volumes.erase(v);
        break;
      }
      part.startSector = start / kSectorBytes;
      part.sectors = static_cast<uint64_t>(p.PartitionLength.QuadPart) / kSectorBytes;
      disk.partitions.push_back(std::move(part));
    }
  }
  ::CloseHandle(h);
  std::sort(disk.partitions.begin(), disk.partitions.end(),
            [](const PartitionEntry& a, const PartitionEntry& b) { return a.startSector < b.startSector; });
  return disk;
}

class WindowsBlockDevices final : public BlockDevices {
 public:
  std::vector<DiskEntry> ListDisks() const override {
    std::vector<LetterVolume> volumes = LetterVolumes();
    std::vector<DiskEntry> disks;
    for (int n = 0; n < kDiskNumbers; ++n)
      if (std::optional<DiskEntry> disk = Disk(n, volumes)) disks.push_back(std::move(*disk));
    // Letters on no disk found: each a volume of its own.
    for (const LetterVolume& v : volumes) {
      DiskEntry entry;
      entry.name = v.letter;
      entry.devicePath = "\\\\.\\" + v.letter;
      entry.removable = v.removable;
      entry.reportedSectors = v.bytes / kSectorBytes;
      entry.volume = true;
      disks.push_back(std::move(entry));
    }
    return disks;
  }
  OpenResult Open(const std::string& device_path) const override {
    return OpenSharedReadOnly(device_path);
  }
};

}  // namespace

OpenResult OpenSharedReadOnly(const std::string& path) {
  return OpenForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false);
}

std::unique_ptr<BlockDevices> SystemBlockDevices() {
  return std::make_unique<WindowsBlockDevices>();
}

}  // namespace tollamer::platform
