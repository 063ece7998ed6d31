#include "tests/test_support.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
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

namespace {

// The real files are opened with an exclusive lock, as a database file in
// use is refused. Test programs run side by side, so each one reads its
// own copies, made once per program in a private folder.
class RealFileCopies {
 public:
  std::optional<std::string> Get(const std::string& name) {
    std::filesystem::path source = std::filesystem::path(RealDataDir()) / name;
    if (!std::filesystem::exists(source)) return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    std::filesystem::path copy = dir_.path() / name;
    std::error_code ec;
    if (!std::filesystem::exists(copy)) {
      std::filesystem::copy_file(source, copy, ec);
      if (ec) return std::nullopt;
      // Same modification time as the original, so snapshots compare alike.
      std::filesystem::last_write_time(copy, std::filesystem::last_write_time(source), ec);
    }
    return copy.string();
  }

 private:
  std::mutex mutex_;
  TempDir dir_;
};

}  // namespace

std::optional<std::string> RealDataFile(const std::string& name) {
  static RealFileCopies copies;
  return copies.Get(name);
}

CommandResult RunCommand(const std::string& command_line, bool with_stderr) {
  std::string command = command_line + (with_stderr ? " 2>&1" : " 2>/dev/null");
  CommandResult r;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, p)) r.out.append(buf, n);
  int status = pclose(p);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

FileSnapshot FileSnapshot::Of(const std::string& path) {
  FileSnapshot s;
  std::ifstream in(path, std::ios::binary);
  s.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  s.mtime = std::filesystem::last_write_time(path);
  return s;
}

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = [&](size_t k) { return static_cast<uint8_t>(s[i + k]); };
    const uint8_t b0 = b(0);
    size_t n = b0 < 0x80 ? 1 : b0 >= 0xC2 && b0 <= 0xDF ? 2 : b0 >= 0xE0 && b0 <= 0xEF ? 3
             : b0 >= 0xF0 && b0 <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((b(k) & 0xC0) != 0x80) return false;
    if ((b0 == 0xE0 && b(1) < 0xA0) || (b0 == 0xED && b(1) > 0x9F) ||
        (b0 == 0xF0 && b(1) < 0x90) || (b0 == 0xF4 && b(1) > 0x8F))
      return false;
    i += n;
  }
  return true;
}

}  // namespace tollamer::testing
