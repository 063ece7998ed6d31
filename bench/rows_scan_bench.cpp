// Whole-file table scan and row decoding on large SQL Server 2008 files,
// against reading the same file with cat in the same run:
//   rows_scan_bench [FOLDER] [GiB]
// Prints, for a file of a quarter of the size and for the full size, warm
// and cold page cache, the time of `cat`, of the all-tables scan
// (scan-tables, in this process) and of the real command
// `tollamer-cli rows FILE --table orders --all --format csv` (output to
// /dev/null), with MB/s of data pages decoded, rows/s, the ratio to cat and
// each one's peak memory, which must not grow with the file.
// TOLLAMER_BENCH_KEEP=1 keeps the generated files.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_result.h"
#include "bench/big_table_file.h"
#include "bench/cli_process.h"
#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/page_layout.h"

using namespace tollamer;

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Measure(const bench::BigTableFile& file, bool cold) {
  const double mib = file.pages * double{page_layout::kPageSize} / (1 << 20);
  const double data_mb = file.dataPages * double{page_layout::kPageSize} / 1e6;
  if (cold) {
    bench::DropPageCache();
  } else {
    bench::CatSeconds(file.path);  // warm the page cache for both sides
  }
  const double cat = bench::CatSeconds(file.path);

  if (cold) bench::DropPageCache();
  double scan = 0, scan_peak = 0;
  uint64_t listed = 0;
  {  // the file is held (locked) while open: closed before the command runs
    SilentMessages messages;
    CMdfDatabase db(messages);
    if (!db.OpenFile(file.path)) {
      std::fprintf(stderr, "cannot open %s\n", file.path.c_str());
      return;
    }
    const FormatProfile& profile = *ProfileFor(VersionSetting::kSql2005);
    profile.BuildCatalog(db);
    auto start = std::chrono::steady_clock::now();
    profile.ScanFileForAllTables(db);
    scan = Seconds(start);
    scan_peak = bench::PeakResidentMiB();
    listed = db.dataPageLists[file.tableId].size();
  }

  if (cold) bench::DropPageCache();
  const bench::CliRun rows = bench::RunCliProcess(
      TOLLAMER_CLI_PATH,
      {"rows", file.path, "--table", "dbo.orders", "--server-version", "2005", "--all", "--format", "csv"},
      "/dev/null");
  const uint64_t row_count = file.dataPages * file.rowsPerPage;

  std::printf("%s page cache\n", cold ? "cold (dropped before each step)" : "warm");
  std::printf("%-26s %7.0f MiB  %8.3f s  %8.1f MiB/s\n", "cat FILE > /dev/null", mib, cat,
              mib / cat);
  std::printf("%-26s %7.0f MiB  %8.3f s  %8.1f MiB/s  ratio %.2f  (%llu pages listed)\n",
              "scan-tables", mib, scan, mib / scan, scan / cat,
              static_cast<unsigned long long>(listed));
  if (rows.seconds < 0) {
    std::printf("%-26s FAILED\n", "rows --all --format csv");
  } else {
    std::printf("%-26s %7.0f MiB  %8.3f s  %8.1f MB/s of data pages  %.0f rows/s  ratio %.2f  "
                "peak %.1f MiB\n",
                "rows --all --format csv", mib, rows.seconds, data_mb / rows.seconds,
                row_count / rows.seconds, rows.seconds / cat, rows.peakMiB);
  }
  std::printf("\n");
  const char* against = cold ? "cat, cold cache" : "cat, warm cache";
  bench::PrintResult(("cat FILE > /dev/null (" + std::string(cold ? "cold" : "warm") + ")").c_str(),
                     mib, cat, -1, "-", 0);
  bench::PrintResult("scan-tables (all-tables scan)", mib, scan, scan / cat, against, scan_peak);
  if (rows.seconds >= 0)
    bench::PrintResult("rows --all --format csv", mib, rows.seconds, rows.seconds / cat, against,
                       rows.peakMiB);
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
  double gib = argc > 2 ? std::stod(argv[2]) : 1.0;
  uint64_t full = static_cast<uint64_t>(gib * (1ull << 30));
  for (uint64_t bytes : {full / 4, full}) {
    std::string path = folder + "/tollamer-bench-" + std::to_string(bytes >> 20) + "MiB.mdf";
    bench::BigTableFile file = bench::WriteBigTableFile(path, bytes);
    if (file.path.empty()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    std::printf("file %s: %llu pages, %llu data pages, %llu rows per data page\n", path.c_str(),
                static_cast<unsigned long long>(file.pages),
                static_cast<unsigned long long>(file.dataPages),
                static_cast<unsigned long long>(file.rowsPerPage));
    Measure(file, false);
    if (bench::DropPageCache()) Measure(file, true);
    if (!std::getenv("TOLLAMER_BENCH_KEEP")) std::filesystem::remove(path);
  }
  return 0;
}
