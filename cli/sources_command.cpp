#include "cli/sources_command.h"

#include <cstdio>

#include "platform/block_devices.h"
#include "tools/data_sources.h"

namespace tollamer::cli {

int RunSources() {
  platform::PosixBlockDevices devices;
  tools::SourceMenu menu = tools::BuildSourceMenu(devices);
  for (const tools::SourceMenuItem& item : menu.items) {
    if (item.kind == tools::SourceMenuItem::Kind::kSeparator) {
      std::printf("----\n");
      continue;
    }
    std::printf("%d  %s", item.id, item.text.c_str());
    if (item.kind != tools::SourceMenuItem::Kind::kImage) {
      if (auto f = tools::ChooseSourceItem(menu, item.id, devices))
        std::printf("  -> source %s, start %s%s%s", f->sourcePath.c_str(),
                    f->startSector.value_or("?").c_str(), f->sizeSectors ? ", size " : "",
                    f->sizeSectors.value_or("").c_str());
    }
    std::printf("\n");
  }
  return 0;
}

}  // namespace tollamer::cli
