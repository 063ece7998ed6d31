// The data source menu as the desktop program offers it: the engine's menu
// of disks, fixed volumes and the image item, without the volumes of disks
// that cannot be read (their sectors are read through the disk, so without
// permission on the disk such an item could only fail). The remaining
// volumes keep consecutive ids after the disks.
#pragma once

#include "platform/block_devices.h"
#include "tools/data_sources.h"

namespace tollamer::app {

tools::SourceMenu ReadableSourceMenu(const platform::BlockDevices& devices);

// The disk path a volume item reads through: "/dev/sda1 (/dev/sda ,2048 sec)"
// gives "/dev/sda"; empty for any other text.
std::string VolumeDiskPath(const std::string& item_text);

}  // namespace tollamer::app
