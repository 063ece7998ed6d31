// Single-page damage: for every page of a data file, a copy with that page
// zeroed is exported with `tollamer-cli export-data COPY --out DIR`, and the
// rows lost are set against the rows the page held itself (the records of
// user tables' data pages that the undamaged file's record walk finds on
// it). Damage stays local when no page costs more than its own rows.
//
//   single_page_damage [--list] FILE [VERSION]   (VERSION: 2000 or 2005, default auto)
//
// Prints one line per file: pages tried, pages whose loss exceeded their
// own rows, and the excess rows lost in all; with --list, one line per such
// page as well. Copies are written under /tmp and deleted afterwards.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/server_version.h"
#include "engine/rows/row_reader.h"

namespace {

namespace fs = std::filesystem;
using namespace tollamer;

// Rows per table name as `export-data` printed them ("NAME: N rows"), the
// rows kept apart in the table's suspect file (", K suspect rows kept
// apart": a row whose text/image value a zeroed page took) counted as kept:
// the row is there, the value it lost is told.
using TableRows = std::map<std::string, uint64_t>;

// Runs the export of `path` into `out_dir`; the per-table lines of its
// standard output, whatever its exit status.
TableRows ExportRows(const std::string& cli, const std::string& path, const std::string& version,
                     const std::string& out_dir, const std::string& stdout_path) {
  fs::remove_all(out_dir);
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen(stdout_path.c_str(), "w", stdout)) _exit(127);
    if (!std::freopen("/dev/null", "w", stderr)) _exit(127);
    execl(cli.c_str(), cli.c_str(), "export-data", path.c_str(), "--out", out_dir.c_str(),
          "--server-version", version.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  TableRows rows;
  std::ifstream in(stdout_path);
  std::string line;
  while (std::getline(in, line)) {
    const size_t colon = line.rfind(": ");
    if (colon == std::string::npos) continue;
    const std::string rest = line.substr(colon + 2);
    char* end = nullptr;
    const unsigned long long n = std::strtoull(rest.c_str(), &end, 10);
    if (end == rest.c_str() || std::string(end).rfind(" rows", 0) != 0) continue;
    rows[line.substr(0, colon)] += n;
    constexpr std::string_view kKept = " suspect rows kept apart";
    if (const size_t at = rest.find(kKept); at != std::string::npos) {
      const size_t start = rest.rfind(", ", at);
      if (start != std::string::npos)
        rows[line.substr(0, colon)] += std::strtoull(rest.c_str() + start + 2, nullptr, 10);
    }
  }
  return rows;
}

// Records per data page of every user table of the undamaged file.
std::map<uint64_t, uint64_t> RowsPerPage(const std::string& path, VersionSetting version) {
  std::map<uint64_t, uint64_t> per_page;
  SilentMessages messages;
  CMdfDatabase db(messages);
  if (!db.OpenFile(path)) return per_page;
  OpenCatalog(db, version);
  std::vector<uint32_t> ids;
  for (const auto& [id, table] : db.catalog.tables) ids.push_back(id);
  for (uint32_t id : ids) {
    std::optional<TableRecordWalk> walk = TableRecordWalk::Prepare(db, version, id);
    if (!walk) continue;
    const DataPageList* pages = walk->FindPages();
    if (!pages) continue;
    walk->WalkPages(*pages, [&](const TableRecord& record) {
      ++per_page[record.pageNumber];
      return true;
    });
  }
  return per_page;
}

// Rows lost against the undamaged export: per table by name, rows of tables
// the undamaged export did not name (a table recovered under another name)
// set against the losses.
uint64_t RowsLost(const TableRows& healthy, const TableRows& damaged) {
  uint64_t lost = 0;
  uint64_t others = 0;
  for (const auto& [name, n] : damaged)
    if (!healthy.count(name)) others += n;
  for (const auto& [name, n] : healthy) {
    auto it = damaged.find(name);
    const uint64_t got = it == damaged.end() ? 0 : std::min(it->second, n);
    lost += n - got;
  }
  return lost > others ? lost - others : 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool list = false;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--list") list = true;
    else args.push_back(argv[i]);
  }
  if (args.empty()) {
    std::fprintf(stderr, "usage: single_page_damage [--list] FILE [2000|2005]\n");
    return 2;
  }
  const std::string source = args[0];
  const std::string version_text = args.size() > 1 ? args[1] : "auto";
  std::ifstream in(source, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) {
    std::fprintf(stderr, "cannot read %s\n", source.c_str());
    return 1;
  }
  const std::string cli = TOLLAMER_CLI_PATH;
  const fs::path work =
      fs::temp_directory_path() / ("tollamer-page-damage-" + std::to_string(getpid()));
  fs::create_directories(work);
  const std::string copy = (work / "copy.mdf").string();
  const std::string out_dir = (work / "out").string();
  const std::string stdout_path = (work / "stdout.txt").string();

  const TableRows healthy = ExportRows(cli, source, version_text, out_dir, stdout_path);
  uint64_t healthy_rows = 0;
  for (const auto& [name, n] : healthy) healthy_rows += n;
  VersionSetting version = VersionSetting::kNone;
  {
    SilentMessages messages;
    CMdfDatabase db(messages);
    if (db.OpenFile(source))
      version = version_text == "2000"   ? VersionSetting::kSql2000
                : version_text == "2005" ? VersionSetting::kSql2005
                                         : DetectServerVersion(db.Store()).setting;
  }
  const std::map<uint64_t, uint64_t> own_rows = RowsPerPage(source, version);

  const uint64_t pages = bytes.size() / page_layout::kPageSize;
  uint64_t pages_over = 0, excess = 0;
  for (uint64_t p = 0; p < pages; ++p) {
    std::vector<char> damaged = bytes;
    std::fill_n(damaged.begin() + static_cast<std::ptrdiff_t>(p * page_layout::kPageSize),
                page_layout::kPageSize, 0);
    {
      std::ofstream out(copy, std::ios::binary | std::ios::trunc);
      out.write(damaged.data(), static_cast<std::streamsize>(damaged.size()));
    }
    const uint64_t lost =
        RowsLost(healthy, ExportRows(cli, copy, version_text, out_dir, stdout_path));
    auto own = own_rows.find(p);
    const uint64_t held = own == own_rows.end() ? 0 : own->second;
    if (lost > held) {
      ++pages_over;
      excess += lost - held;
      if (list)
        std::printf("  page %llu: %llu rows lost, %llu held\n", static_cast<unsigned long long>(p),
                    static_cast<unsigned long long>(lost), static_cast<unsigned long long>(held));
    }
  }
  fs::remove_all(work);
  std::printf("%s: %llu rows in %zu tables, %llu pages zeroed one at a time: %llu lost more than "
              "their own rows, %llu excess rows lost\n",
              fs::path(source).filename().c_str(), static_cast<unsigned long long>(healthy_rows),
              healthy.size(), static_cast<unsigned long long>(pages),
              static_cast<unsigned long long>(pages_over), static_cast<unsigned long long>(excess));
  return 0;
}
