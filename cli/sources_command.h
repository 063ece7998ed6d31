// `tollamer-cli sources`: the data sources the fragment search can read:
// whole disks, fixed volumes on them, and the image file entry.
#pragma once

namespace tollamer::cli {

int RunSources();

}  // namespace tollamer::cli
