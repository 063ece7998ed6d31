#include "cli/sources_command.h"

#include <cstdio>
#include <string>

#include "cli/cli_report.h"
#include "platform/block_devices.h"

namespace tollamer::cli {

namespace {

constexpr uint64_t kSectorBytes = 512;

std::string SizeText(uint64_t sectors) {
  const double gb = static_cast<double>(sectors) * kSectorBytes / (1024.0 * 1024 * 1024);
  char text[32];
  if (gb >= 1)
    std::snprintf(text, sizeof text, "%.1f GB", gb);
  else
    std::snprintf(text, sizeof text, "%.1f MB", gb * 1024);
  return text;
}

// "" when the device opens for reading, else why not.
std::string Access(const std::string& device) {
  platform::OpenResult open = platform::OpenSharedReadOnly(device);
  return open.file ? std::string() : "  (cannot open: " + open.message + ")";
}

}  // namespace

int RunSources() {
  std::unique_ptr<platform::BlockDevices> devices = platform::SystemBlockDevices();
  std::printf("%-20s %-10s %10s %7s %14s %14s\n", "DEVICE", "KIND", "SIZE", "SECTOR", "START SECTOR",
              "SECTORS");
  size_t listed = 0;
  for (const platform::DiskEntry& disk : devices->ListDisks()) {
    if (disk.reportedSectors == 0) continue;  // no medium (an unused loop device, an empty drive)
    ++listed;
    std::printf("%-20s %-10s %10s %7u %14u %14llu%s\n", disk.devicePath.c_str(),
                disk.volume ? "volume" : disk.removable ? "removable" : "disk",
                SizeText(disk.reportedSectors).c_str(), disk.sectorBytes, 0u,
                static_cast<unsigned long long>(disk.reportedSectors), Access(disk.devicePath).c_str());
    for (const platform::PartitionEntry& part : disk.partitions)
      std::printf("%-20s %-10s %10s %7u %14llu %14llu%s\n", part.devicePath.c_str(), "volume",
                  SizeText(part.sectors).c_str(), disk.sectorBytes,
                  static_cast<unsigned long long>(part.startSector),
                  static_cast<unsigned long long>(part.sectors), Access(part.devicePath).c_str());
  }
  if (listed == 0) Note("no disks or volumes found\n");
  Note("search one with: tollamer-cli excavate DEVICE (a volume from its sector 0), or the disk "
       "with --start START --size SECTORS; an image file is searched the same way\n");
  return 0;
}

}  // namespace tollamer::cli
