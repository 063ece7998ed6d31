// `tollamer-cli bak2mdf BACKUP... OUT.mdf`: converts a full backup into a
// data file by placing every page it holds at its own page number. The
// files of a striped backup are read together, and of a file holding
// several backup sets one set only.
#pragma once

#include <string>
#include <vector>

#include "output/open_database.h"

namespace tollamer::cli {

struct Bak2MdfOptions {
  std::vector<std::string> arguments;  // BACKUP... OUT as given
  std::string backupPath;  // the first backup file
  DatabaseFiles files;     // every backup file, and --backup-set
  std::string outPath;
  bool force = false;  // replace an existing data file
};

int RunBak2Mdf(const Bak2MdfOptions& options);

}  // namespace tollamer::cli
