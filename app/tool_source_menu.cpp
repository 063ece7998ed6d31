#include "app/tool_source_menu.h"

#include <cstdio>
#include <set>

namespace tollamer::app {

using tools::SourceMenu;
using tools::SourceMenuItem;

std::string VolumeDiskPath(const std::string& text) {
  size_t open = text.find('(');
  if (open == std::string::npos) return {};
  size_t comma = text.find(" ,", open);
  if (comma == std::string::npos) return {};
  return text.substr(open + 1, comma - open - 1);
}

SourceMenu ReadableSourceMenu(const platform::BlockDevices& devices) {
  SourceMenu menu = tools::BuildSourceMenu(devices);
  // A disk has an item only when it opened; its path is the item text up
  // to ": (".
  std::set<std::string> readable;
  for (const SourceMenuItem& i : menu.items)
    if (i.kind == SourceMenuItem::Kind::kDisk) readable.insert(i.text.substr(0, i.text.find(": (")));
  SourceMenu out;
  out.diskCount = menu.diskCount;
  int k = 0;
  for (SourceMenuItem i : menu.items) {
    if (i.kind == SourceMenuItem::Kind::kVolume) {
      if (!readable.count(VolumeDiskPath(i.text))) continue;
      i.id = tools::kFirstDiskItemId + 1 + static_cast<int>(menu.diskCount) + k++;
    }
    out.items.push_back(std::move(i));
  }
  return out;
}

std::vector<std::string> UnreadableDiskTexts(const platform::BlockDevices& devices,
                                             const tools::SourceMenu& readable) {
  std::set<std::string> listed;
  for (const SourceMenuItem& i : readable.items)
    if (i.kind == SourceMenuItem::Kind::kDisk) listed.insert(i.text.substr(0, i.text.find(": (")));
  std::vector<std::string> out;
  for (const platform::DiskEntry& disk : devices.ListDisks()) {
    if (disk.reportedSectors == 0 || listed.count(disk.devicePath)) continue;
    platform::OpenResult open = devices.Open(disk.devicePath);
    if (open.file) continue;  // opened, yet empty: nothing to read
    const char* why = "无法打开";
    switch (open.error) {
      case platform::OpenError::kNotFound: continue;  // no device node here
      case platform::OpenError::kAccessDenied: why = "没有读取权限"; break;
      case platform::OpenError::kInUse: why = "被其他程序占用"; break;
      default: break;
    }
    char text[512];
    std::snprintf(text, sizeof text, "%s: (%0.1f GB，%s)", disk.devicePath.c_str(),
                  static_cast<double>(disk.reportedSectors) * 512 / 1024 / 1024 / 1024, why);
    out.emplace_back(text);
  }
  return out;
}

}  // namespace tollamer::app
