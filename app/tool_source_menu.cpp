#include "app/tool_source_menu.h"

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

}  // namespace tollamer::app
