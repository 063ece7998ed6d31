// Helpers shared by the tests: a temporary folder, the real data files and
// their manifest, command lines (the CLI's among them), and a snapshot of a
// file's bytes and modification time to prove it unchanged.
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

// A line of the real data folder's MANIFEST.tsv: the file, its size, the
// page images it holds, and its boot page's version (none: no boot page).
struct ManifestEntry {
  std::string file;
  uint64_t bytes = 0;
  std::optional<uint64_t> pages;
  std::optional<uint16_t> dbiVersion;
};
std::vector<ManifestEntry> RealDataManifest();

#define TOLLAMER_REQUIRE_REAL_FILE(var, name)                                   \
  auto var##_opt = ::tollamer::testing::RealDataFile(name);                     \
  if (!var##_opt) GTEST_SKIP() << "real data folder " << ::tollamer::testing::RealDataDir() \
                               << " is absent: skipping the test on " << name; \
  const std::string var = *var##_opt

// The whole content of a file; empty when it cannot be read.
std::string ReadText(const std::filesystem::path& path);

// True when a file whose mode grants nothing cannot be read by this process
// (false for root, and on Windows, where the mode is a read-only flag).
bool ModeDeniesReading();

// True when `s` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view s);

// A command line run through the shell.
struct CommandResult {
  int exitCode = -1;  // -1 when it could not run or did not exit normally
  std::string out;    // its standard output (and error, when asked)
};
CommandResult RunCommand(const std::string& command_line, bool with_stderr = false);
#ifdef TOLLAMER_CLI_PATH
// The tollamer-cli binary of this build, run as a user would.
inline CommandResult Cli(const std::string& args, bool with_stderr = false) {
  return RunCommand(std::string(TOLLAMER_CLI_PATH) + " " + args, with_stderr);
}
#endif

struct FileSnapshot {
  std::vector<uint8_t> bytes;
  std::filesystem::file_time_type mtime;
  static FileSnapshot Of(const std::string& path);
  bool operator==(const FileSnapshot& other) const {
    return bytes == other.bytes && mtime == other.mtime;
  }
};

}  // namespace tollamer::testing
