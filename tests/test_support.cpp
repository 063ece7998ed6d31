#include "tests/test_support.h"

#include <fstream>
#include <iterator>
#include <random>

namespace tollamer::testing {

TempDir::TempDir() {
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() /
          ("tollamer-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, const fixtures::Bytes& bytes) const {
  std::string p = File(name);
  EXPECT_TRUE(fixtures::WriteFile(p, bytes)) << p;
  return p;
}

std::string RealDataDir() {
  if (const char* env = std::getenv("TOLLAMER_REAL_DATA_DIR")) return env;
  return TOLLAMER_REAL_DATA_DIR;
}

std::optional<std::string> RealDataFile(const std::string& name) {
  std::filesystem::path p = std::filesystem::path(RealDataDir()) / name;
  if (!std::filesystem::exists(p)) return std::nullopt;
  return p.string();
}

FileSnapshot FileSnapshot::Of(const std::string& path) {
  FileSnapshot s;
  std::ifstream in(path, std::ios::binary);
  s.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  s.mtime = std::filesystem::last_write_time(path);
  return s;
}

}  // namespace tollamer::testing
