// The data source menu as the desktop program offers it: the engine's menu
// of disks, fixed volumes and the image item, without the volumes of disks
// that cannot be read (their sectors are read through the disk, so without
// permission on the disk such an item could only fail). The remaining
// volumes keep consecutive ids after the disks.
#pragma once

#include <string>
#include <vector>

#include "platform/block_devices.h"
#include "tools/data_sources.h"

namespace tollamer::app {

tools::SourceMenu ReadableSourceMenu(const platform::BlockDevices& devices);

// The disks that have a size but cannot be opened, each as the text of a
// greyed menu entry that says why ("/dev/sda: (256.0 GB，没有读取权限)"), so
// that the menu shows every disk of the machine.
std::vector<std::string> UnreadableDiskTexts(const platform::BlockDevices& devices,
                                             const tools::SourceMenu& readable);

// The disk path a volume item reads through: "/dev/sda1 (/dev/sda ,2048 sec)"
// gives "/dev/sda"; empty for any other text.
std::string VolumeDiskPath(const std::string& item_text);

}  // namespace tollamer::app
