// The helpers of tests/test_support.h that the platform tests use, for the
// Windows build.
#include <windows.h>

#include <fstream>
#include <random>

#include "tests/test_support.h"

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
  const std::string p = File(name);
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(out.good()) << p;
  return p;
}

bool ModeDeniesReading() { return false; }

bool IsValidUtf8(std::string_view s) {
  return s.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(),
                                            static_cast<int>(s.size()), nullptr, 0) > 0;
}

}  // namespace tollamer::testing
