#include "tests/test_support.h"

#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <sstream>

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

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string RealDataDir() {
  if (const char* env = std::getenv("TOLLAMER_REAL_DATA_DIR")) return env;
  return TOLLAMER_REAL_DATA_DIR;
}

namespace {

std::optional<uint64_t> Number(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return std::stoull(text);
}

}  // namespace

std::vector<ManifestEntry> RealDataManifest() {
  std::vector<ManifestEntry> entries;
  std::ifstream in(RealDataDir() + "/MANIFEST.tsv");
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::vector<std::string> cols;
    std::stringstream ss(line);
    for (std::string c; std::getline(ss, c, '\t');) cols.push_back(c);
    if (cols.size() < 5 || cols[0].empty()) continue;
    std::optional<uint64_t> version = Number(cols[4]);
    entries.push_back({cols[0], Number(cols[2]).value_or(0), Number(cols[3]),
                       version ? std::optional<uint16_t>(static_cast<uint16_t>(*version)) : std::nullopt});
  }
  return entries;
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

// glibc's converter refuses every malformed sequence: overlong forms,
// surrogates, code points past U+10FFFF, cut sequences.
bool ModeDeniesReading() { return ::geteuid() != 0; }

bool IsValidUtf8(std::string_view s) {
  iconv_t cd = ::iconv_open("UTF-16LE", "UTF-8");
  char* in = const_cast<char*>(s.data());
  size_t in_left = s.size();
  std::vector<char> buffer(4 * s.size() + 4);
  char* out = buffer.data();
  size_t out_left = buffer.size();
  const bool ok = ::iconv(cd, &in, &in_left, &out, &out_left) != static_cast<size_t>(-1);
  ::iconv_close(cd);
  return ok;
}

}  // namespace tollamer::testing
