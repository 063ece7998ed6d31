// The machine the data-source tests see: a sysfs folder and a /dev folder
// whose "devices" are plain files that take no room on disk.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/block_devices.h"
#include "tests/test_support.h"

namespace tollamer::testing {

// A file of `bytes` zero bytes that takes no room on disk.
inline std::string SparseFile(const TempDir& dir, const std::string& name, uint64_t bytes) {
  const std::string path = dir.File(name);
  std::ofstream(path).close();
  std::filesystem::resize_file(path, bytes);
  return path;
}

struct FakeMachine {
  TempDir dir;
  std::filesystem::path sys = dir.path() / "sys";
  std::filesystem::path dev = dir.path() / "dev";

  static void Put(const std::filesystem::path& p, const std::string& text) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p) << text << "\n";
  }
  // A disk of `bytes` zero bytes; without `openable` it has no device node.
  void Disk(const std::string& name, uint64_t bytes, bool removable = false, bool openable = true) {
    Put(sys / name / "removable", removable ? "1" : "0");
    std::filesystem::create_directories(dev);
    if (openable) SparseFile(dir, "dev/" + name, bytes);
  }
  void Partition(const std::string& disk, const std::string& name, uint64_t start) {
    Put(sys / disk / name / "partition", "1");
    Put(sys / disk / name / "start", std::to_string(start));
    Put(sys / disk / name / "size", "1000");
  }
  platform::PosixBlockDevices Devices() const {
    return platform::PosixBlockDevices(sys.string(), dev.string());
  }
};

}  // namespace tollamer::testing
