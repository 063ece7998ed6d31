// `tollamer-cli info FILE`: what kind of file it is, where page 0 lies, how
// many pages it has, which server wrote it, and how many pages of each type.
#pragma once

#include <string>
#include "output/open_database.h"

namespace tollamer::cli {

struct InfoOptions {
  std::string path;     // the first of files.paths
  DatabaseFiles files;  // every FILE given, and --backup-set
  bool json = false;
};

// Returns the process exit code: 0 success, 1 the file could not be read or
// is not a recognised data or backup file.
int RunInfo(const InfoOptions& options);

}  // namespace tollamer::cli
