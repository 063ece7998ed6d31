// `tollamer-cli detect FILE [--map map.png] [--json]`: the page census of a
// file by kind, optionally with a picture of the file.
#pragma once

#include <string>

namespace tollamer::cli {

struct DetectOptions {
  std::string path;
  std::string mapPath;
  bool force = false;  // replace an existing map
  bool json = false;
};

int RunDetect(const DetectOptions& options);

}  // namespace tollamer::cli
