// `tollamer-cli excavate SOURCE [--start S] [--size N] [--cluster C]
// [--free-only] [--extract N|all --out OUT.mdf] [--csv LIST.csv] [--json]`:
// searches a disk, volume or image for runs of data-file pages, lists them,
// and optionally carves one fragment or all of them into a new data file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tollamer::cli {

struct ExcavateOptions {
  std::string source;
  uint64_t start = 0;
  std::optional<uint64_t> size;
  std::optional<uint64_t> cluster;
  bool freeOnly = false;
  std::string extract;  // a fragment number or "all"
  std::string outPath;
  std::string csvPath;
  bool force = false;  // replace existing outputs
  bool json = false;
};

int RunExcavate(const ExcavateOptions& options);

}  // namespace tollamer::cli
