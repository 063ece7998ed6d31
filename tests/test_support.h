// Helpers shared by the tests: a temporary folder, the real data files, and
// a snapshot of a file's bytes and modification time to prove it unchanged.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fixtures/file_builder.h"

namespace tollamer::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // Writes `bytes` to `name` inside the folder and returns its path.
  std::string Write(const std::string& name, const fixtures::Bytes& bytes) const;

 private:
  std::filesystem::path path_;
};

// The path of this test program's private copy of a real file of the shared
// data folder (copies are exclusive-locked independently, so test programs
// running side by side never refuse each other), or nothing when the folder
// or the file is absent.
std::optional<std::string> RealDataFile(const std::string& name);
std::string RealDataDir();

#define TOLLAMER_REQUIRE_REAL_FILE(var, name)                                   \
  auto var##_opt = ::tollamer::testing::RealDataFile(name);                     \
  if (!var##_opt) GTEST_SKIP() << "real data folder " << ::tollamer::testing::RealDataDir() \
                               << " is absent: skipping the test on " << name; \
  const std::string var = *var##_opt

// The whole content of a file; empty when it cannot be read.
std::string ReadText(const std::filesystem::path& path);

// True when `s` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view s);

// A command line run through the shell.
struct CommandResult {
  int exitCode = -1;  // -1 when it could not run or did not exit normally
  std::string out;    // its standard output (and error, when asked)
};
CommandResult RunCommand(const std::string& command_line, bool with_stderr = false);

struct FileSnapshot {
  std::vector<uint8_t> bytes;
  std::filesystem::file_time_type mtime;
  static FileSnapshot Of(const std::string& path);
  bool operator==(const FileSnapshot& other) const {
    return bytes == other.bytes && mtime == other.mtime;
  }
};

}  // namespace tollamer::testing
