// `tollamer-cli bak2mdf BACKUP OUT.mdf`: converts a full backup into a data
// file by placing every page it holds at its own page number.
#pragma once

#include <string>

namespace tollamer::cli {

struct Bak2MdfOptions {
  std::string backupPath;
  std::string outPath;
  bool force = false;  // replace an existing data file
};

int RunBak2Mdf(const Bak2MdfOptions& options);

}  // namespace tollamer::cli
