#include "tools/data_sources.h"
#include "platform/paths.h"

#include <cstdio>
#include <filesystem>

namespace tollamer::tools {

namespace {

constexpr uint64_t kSourceSectorBytes = 512;

std::optional<uint64_t> DeviceBytes(const platform::BlockDevices& devices, const std::string& path) {
  platform::OpenResult open = devices.Open(path);
  if (!open.file) return std::nullopt;
  return open.file->Length();
}

}  // namespace

SourceMenu BuildSourceMenu(const platform::BlockDevices& devices) {
  SourceMenu menu;
  std::vector<platform::DiskEntry> disks = devices.ListDisks();
  menu.diskCount = disks.size();
  for (size_t d = 0; d < disks.size(); ++d) {
    std::optional<uint64_t> bytes = DeviceBytes(devices, disks[d].devicePath);
    if (!bytes || *bytes == 0) continue;
    char text[512];
    std::snprintf(text, sizeof text, "%s: (%d hard drive %0.1f GB)", disks[d].devicePath.c_str(),
                  static_cast<int>(d + 1), static_cast<double>(*bytes) / 1024 / 1024 / 1024);
    menu.items.push_back({SourceMenuItem::Kind::kDisk, kFirstDiskItemId + static_cast<int>(d), text});
  }
  menu.items.push_back({SourceMenuItem::Kind::kSeparator, 0, ""});
  int k = 0;
  for (const platform::DiskEntry& disk : disks) {
    if (disk.removable) continue;  // only fixed media carry volumes here
    for (const platform::PartitionEntry& part : disk.partitions) {
      char text[512];
      std::snprintf(text, sizeof text, "%s (%s ,%llu sec)", part.devicePath.c_str(),
                    disk.devicePath.c_str(), static_cast<unsigned long long>(part.startSector));
      menu.items.push_back({SourceMenuItem::Kind::kVolume,
                            kFirstDiskItemId + 1 + static_cast<int>(menu.diskCount) + k, text});
      ++k;
    }
  }
  menu.items.push_back({SourceMenuItem::Kind::kSeparator, 0, ""});
  menu.items.push_back({SourceMenuItem::Kind::kImage, kImageItemId, kImageItemText});
  return menu;
}

std::optional<SourceFields> ChooseSourceItem(const SourceMenu& menu, int id,
                                             const platform::BlockDevices& devices) {
  if (id < kFirstDiskItemId || id > kLastHandledItemId) return std::nullopt;
  const SourceMenuItem* item = nullptr;
  for (const SourceMenuItem& i : menu.items)
    if (i.id == id && i.kind != SourceMenuItem::Kind::kSeparator) item = &i;
  if (!item) return std::nullopt;

  SourceFields fields;
  if (item->kind == SourceMenuItem::Kind::kDisk) {
    size_t d = static_cast<size_t>(id - kFirstDiskItemId);
    std::vector<platform::DiskEntry> disks = devices.ListDisks();
    fields.sourcePath = d < disks.size() ? disks[d].devicePath
                                         : item->text.substr(0, item->text.find(": ("));
    std::optional<uint64_t> bytes = DeviceBytes(devices, fields.sourcePath);
    if (!bytes) return fields;  // the path stays, the other fields do not change
    fields.sizeSectors = std::to_string(*bytes / kSourceSectorBytes);
    fields.startSector = "0";
    fields.detect = true;
    return fields;
  }
  // A volume: the part of its text between the first "(" and the last ")"
  // holds "<disk path> ,<start sector> sec)".
  const std::string& text = item->text;
  size_t open = text.find('(');
  size_t close = text.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  std::string inner = text.substr(open + 1, close - open);
  size_t comma = inner.find(',');
  if (comma == std::string::npos) return std::nullopt;
  size_t blank_before_comma = inner.rfind(' ', comma);
  fields.sourcePath = inner.substr(0, blank_before_comma == std::string::npos ? comma : blank_before_comma);
  size_t last_blank = inner.rfind(' ');
  if (last_blank == std::string::npos || last_blank < comma) return std::nullopt;
  fields.startSector = inner.substr(comma + 1, last_blank - comma);  // digits and one blank
  fields.detect = true;
  return fields;
}

SourceFields ChooseImageFile(const std::string& chosen_path) {
  SourceFields fields;
  fields.sourcePath = chosen_path;
  if (platform::PathFromUtf8(chosen_path).extension().empty()) fields.sourcePath += ".kvt";
  platform::OpenResult open = platform::OpenSharedReadOnly(chosen_path);
  if (!open.file) return fields;
  fields.sizeSectors = std::to_string(open.file->Length() / kSourceSectorBytes);
  fields.startSector = "0";
  fields.detect = true;
  return fields;
}

}  // namespace tollamer::tools
