// Table data export and import throughput: `tollamer-cli export-data
// --format csv` (and `--format sql`, against the CSV run) and
// `tollamer-cli import --to sqlite:` on generated SQL
// 2000 files of 128 MiB and 1 GiB (one table whose allocation map names
// every extent), against `cat FILE > /dev/null` in the same run, with the
// peak memory of each run. The files are deleted afterwards.
//
//   data_export_bench [BIG_MIB]   (default 1024)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <algorithm>
#include <vector>

#include "bench/bench_result.h"
#include "bench/cli_process.h"
#include "engine/pagestore/iam_layout.h"
#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/pfs_layout.h"
#include "tests/fixtures/file_builder.h"
#include "tests/fixtures/sql2000_database.h"
#include "tests/fixtures/user_rows_database.h"

namespace {

namespace fs = std::filesystem;
using namespace tollamer;
using namespace tollamer::fixtures;
using namespace tollamer::fixtures::user_rows;

constexpr uint32_t kTableId = 885578193;
constexpr uint32_t kBuiltPages = 16;  // eight single pages and one uniform extent

struct Generated {
  uint64_t bytes = 0;
  uint64_t dataPages = 0;
  uint64_t rows = 0;
};

std::vector<Bytes> Records(const std::vector<UserColumn>& columns, size_t count) {
  std::vector<Bytes> out;
  for (size_t i = 0; i < count; ++i) {
    const int32_t n = static_cast<int32_t>(i);
    out.push_back(UserRecord(
        columns, {Fixed(Int32(n)), Fixed(Int64(1234567 + n)), Fixed(DateTime(36000 + n % 4000, 300 * (n % 86400))),
                  Fixed(Char("C" + std::to_string(n % 1000), 8)),
                  Var(Text("Customer \"" + std::to_string(n) + "\", Ltd")),
                  n % 3 ? Var(Utf16("注意, note\n" + std::to_string(n))) : Null()}));
  }
  return out;
}

// Writes the file: the small database, then copies of one of the table's
// data pages in whole extents, each extent marked in the table's IAM page
// and every page of the first PFS interval marked allocated.
bool Generate(const std::string& path, uint64_t bytes, Generated& out) {
  sql2000::Table2000 t;
  t.id = kTableId;
  t.name = "orders";
  t.columns = {{"id", 56, 0, 4, 10, 0, true},      {"amount", 60, 0, 8, 19, 4, true},
               {"placed", 61, 0, 8, 23, 3, true},  {"code", 175, 0, 8, 0, 0, true},
               {"customer", 167, 0, 40, 0, 0, true}, {"note", 231, 0, 100, 0, 0, false}};
  // Find how many rows fill sixteen pages.
  std::vector<Bytes> probe = Records(Columns(t.columns), 200);
  size_t per_page = 0, used = page_layout::kHeaderSize;
  for (const Bytes& r : probe) {
    if (used + r.size() + 2 * (per_page + 1) > page_layout::kPageSize - 200) break;
    used += r.size();
    ++per_page;
  }
  t.records = Records(Columns(t.columns), per_page * kBuiltPages);
  t.rowCount = t.records.size();
  t.dataPages = kBuiltPages;
  sql2000::Database2000 d;
  d.tables.push_back(t);
  sql2000::Layout2000 layout;
  FileBuilder file = sql2000::BuildDatabase2000(d, &layout);
  const std::vector<uint32_t>& pages = layout.dataPages.at(kTableId);
  if (pages.size() < kBuiltPages) return false;
  // The fullest page is the one copied.
  Bytes tmpl;
  uint64_t rows_in_template = 0;
  for (uint32_t p : pages) {
    const Bytes& page = file.MutablePage(p);
    const uint64_t slots = page[page_layout::kSlotCnt] | (page[page_layout::kSlotCnt + 1] << 8);
    if (slots > rows_in_template) {
      rows_in_template = slots;
      tmpl = page;
    }
  }

  const uint64_t built = (file.PageCount() + 7) / 8 * 8;
  const uint64_t total = std::max<uint64_t>(built, bytes / page_layout::kPageSize / 8 * 8);
  // The IAM bitmap: one bit per extent from extent 0. The edits go on the
  // pages as written before their torn bits (a sector's last byte is in
  // the bitmap).
  Bytes& iam = file.MutablePage(layout.iamPage.at(kTableId));
  UndoTornBits(iam);
  const size_t bitmap_slot = page_layout::SlotEntryOffset(iam_layout::kBitmapRecordSlot);
  const size_t bitmap = (iam[bitmap_slot] | (iam[bitmap_slot + 1] << 8)) + iam_layout::kRecordHeaderSize;
  for (uint64_t e = built / 8; e < total / 8; ++e) iam[bitmap + e / 8] |= uint8_t(1u << (e % 8));
  FinishPage(iam, FormatVersion::kSql2000);
  Bytes& pfs = file.MutablePage(pfs_layout::kFirstPfsPage);
  UndoTornBits(pfs);
  for (uint64_t p = 0; p < std::min<uint64_t>(total, pfs_layout::kPagesPerPfs); ++p)
    pfs[pfs_layout::EntryOffsetOf(p)] |= pfs_layout::kAllocatedBit;
  FinishPage(pfs, FormatVersion::kSql2000);
  file.SetPageCount(static_cast<uint32_t>(built));

  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  Bytes image = file.Image();
  bool ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
  Bytes page = tmpl;
  for (uint64_t p = built; ok && p < total; ++p) {
    PutU32(page, page_layout::kPageId, static_cast<uint32_t>(p));
    PutU32(page, page_layout::kPrevPage, 0);
    PutU32(page, page_layout::kNextPage, 0);
    FinishPage(page, FormatVersion::kSql2000);
    ok = std::fwrite(page.data(), 1, page.size(), f) == page.size();
  }
  ok = std::fclose(f) == 0 && ok;
  out.bytes = total * page_layout::kPageSize;
  out.dataPages = kBuiltPages + (total - built);
  out.rows = t.records.size() + (total - built) * rows_in_template;
  return ok;
}

struct Run {
  double seconds = -1;
  double peakMiB = 0;
  std::string summary;  // the command's output lines
};

// Runs the CLI with `args`, its output into `log`; the child's own peak
// memory comes from wait4.
Run RunCli(const std::vector<std::string>& args, const std::string& log) {
  bench::CliRun process = bench::RunCliProcess(TOLLAMER_CLI_PATH, args, log);
  Run run;
  if (process.seconds < 0) return run;
  run.seconds = process.seconds;
  run.peakMiB = process.peakMiB;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) run.summary += (run.summary.empty() ? "" : " | ") + line;
  return run;
}

// Drops the file's pages from the page cache, so that the next read comes
// from the disk: the whole cache when run as root (a file's own advice is
// not always taken), else only this file's pages.
void Evict(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  fdatasync(fd);
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
  bench::DropPageCache();
}

// Seconds to write `bytes` (rounded up to 4 KiB) into a new file at `path`
// in 4 MiB writes past the page cache (O_DIRECT, buffered where the file
// system refuses it) and make them durable: what the disk itself takes for
// an output that size.
double WriteSeconds(const std::string& path, uint64_t bytes) {
  constexpr size_t kChunk = size_t{4} << 20;
  void* memory = nullptr;
  if (posix_memalign(&memory, 4096, kChunk) != 0) return -1;
  std::unique_ptr<char, decltype(&std::free)> chunk(static_cast<char*>(memory), &std::free);
  for (size_t i = 0; i < kChunk; ++i) chunk.get()[i] = static_cast<char>('A' + i % 53);
  bytes = (bytes + 4095) / 4096 * 4096;
  const auto start = std::chrono::steady_clock::now();
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_DIRECT, 0644);
  if (fd < 0) fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return -1;
  bool ok = true;
  for (uint64_t done = 0; ok && done < bytes; done += kChunk)
    ok = write(fd, chunk.get(), std::min<uint64_t>(kChunk, bytes - done)) > 0;
  ok = fsync(fd) == 0 && ok;
  close(fd);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  unlink(path.c_str());
  return ok ? seconds : -1;
}

uint64_t FolderBytes(const fs::path& folder) {
  uint64_t bytes = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) bytes += entry.file_size();
  return bytes;
}

// The row count in the command's summary ("1 table, 123 rows written",
// "2 tables, 123 rows imported").
uint64_t RowsOf(const Run& run) {
  const size_t table = run.summary.rfind(" table");
  const size_t at = table == std::string::npos ? table : run.summary.find(", ", table);
  return at == std::string::npos ? 0 : std::strtoull(run.summary.c_str() + at + 2, nullptr, 10);
}

// False when the command failed or read back another number of rows than
// the file holds. The ratio is to `base` seconds: cat's, or with `against`
// named, another command's of the same run.
bool Report(const char* what, const Run& run, const Generated& g, double base, double target,
            bool cold, const char* against = nullptr) {
  if (run.seconds < 0) {
    std::printf("  %-22s FAILED\n", what);
    return false;
  }
  const double ratio = run.seconds / base;
  const uint64_t rows = RowsOf(run);
  if (rows != g.rows) {
    std::printf("  %-22s WRONG ROW COUNT: %llu rows read back, %llu written\n    %s\n", what,
                static_cast<unsigned long long>(rows), static_cast<unsigned long long>(g.rows),
                run.summary.c_str());
    return false;
  }
  std::printf("  %-22s %7.2f s  %10.0f rows/s  %7.1f MB/s  %5.2fx %s (target %.2fx: %s)  "
              "peak %.1f MiB\n    %s\n",
              what, run.seconds, rows / run.seconds, g.bytes / 1e6 / run.seconds, ratio,
              against ? against : "cat", target, ratio <= target ? "met" : "missed", run.peakMiB,
              run.summary.c_str());
  const std::string base_name =
      against ? std::string(against) + (cold ? ", cold cache" : ", warm cache")
              : std::string(cold ? "cat, cold cache" : "cat, warm cache");
  bench::PrintResult(what, g.bytes / double(1 << 20), run.seconds, ratio, base_name.c_str(),
                     run.peakMiB);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t big_mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
  char pattern[] = "/var/tmp/tollamer-export-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path dir = pattern;
  int failures = 0;
  std::vector<uint64_t> sizes = {std::min<uint64_t>(128, big_mib)};
  if (big_mib > sizes[0]) sizes.push_back(big_mib);
  for (uint64_t mib : sizes) {
    const std::string file = (dir / "orders.mdf").string();
    Generated g;
    if (!Generate(file, mib << 20, g)) {
      std::fprintf(stderr, "cannot write %s\n", file.c_str());
      fs::remove_all(dir);
      return 1;
    }
    std::printf("%llu MiB file: %llu data pages\n", static_cast<unsigned long long>(g.bytes >> 20),
                static_cast<unsigned long long>(g.dataPages));
    bool failed = false;
    for (bool cold : {true, false}) {
      if (cold) Evict(file);
      const double cat = bench::CatSeconds(file);
      std::printf(" %s cache:\n  %-22s %7.2f s  %7.1f MB/s\n", cold ? "cold" : "warm",
                  "cat FILE > /dev/null", cat, g.bytes / 1e6 / cat);
      bench::PrintResult(cold ? "cat FILE > /dev/null (cold)" : "cat FILE > /dev/null (warm)",
                         g.bytes / double(1 << 20), cat, -1, "-", 0);
      if (cold) Evict(file);
      Run csv = RunCli({"export-data", file, "--out", (dir / "csv").string(), "--format", "csv",
                        "--server-version", "2000"},
                       (dir / "csv.log").string());
      const bool csv_ok = Report("export-data csv", csv, g, cat, 4, cold);
      fs::remove_all(dir / "csv");
      // INSERT scripts by the same parallel path: at least two thirds of the
      // CSV rate, so at most 1.5 times its time.
      if (cold) Evict(file);
      Run sql = RunCli({"export-data", file, "--out", (dir / "sql").string(), "--format", "sql",
                        "--server-version", "2000"},
                       (dir / "sql.log").string());
      const bool sql_ok =
          csv_ok && Report("export-data sql", sql, g, csv.seconds, 1.5, cold, "export-data csv");
      // The script holds more bytes than the CSV file: the disk's own time
      // to write that many, to tell the output's share of the difference.
      const uint64_t script = sql_ok ? FolderBytes(dir / "sql") : 0;
      fs::remove_all(dir / "sql");
      if (const double w = script ? WriteSeconds((dir / "write.bin").string(), script) : -1; w > 0) {
        std::printf("  %-22s %7.2f s  %7.1f MB/s  (export-data sql %.2fx of it)\n",
                    "write its bytes, direct", w, script / 1e6 / w, sql.seconds / w);
        bench::PrintResult("write the script's bytes (O_DIRECT)", script / double(1 << 20), w, -1, "-", 0);
      }
      if (cold) Evict(file);
      Run sqlite = RunCli({"import", file, "--to", "sqlite:" + (dir / "out.db").string(),
                           "--server-version", "2000"},
                          (dir / "sqlite.log").string());
      const bool sqlite_ok = Report("import sqlite", sqlite, g, cat, 8, cold);
      fs::remove(dir / "out.db");
      failed = failed || !csv_ok || !sql_ok || !sqlite_ok;
    }
    if (!std::getenv("TOLLAMER_BENCH_KEEP")) fs::remove(file);
    else std::printf("  kept %s\n", file.c_str());
    if (failed) ++failures;
  }
  if (!std::getenv("TOLLAMER_BENCH_KEEP")) fs::remove_all(dir);
  if (failures) std::fprintf(stderr, "data_export_bench: %d file(s) FAILED\n", failures);
  return failures ? 1 : 0;
}
