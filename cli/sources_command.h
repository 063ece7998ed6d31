// `tollamer-cli sources`: the disks and volumes of this machine that the
// fragment search can read, with their sizes and where each volume starts
// on its disk; those that cannot be opened say why.
#pragma once

namespace tollamer::cli {

int RunSources();

}  // namespace tollamer::cli
