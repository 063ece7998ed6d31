// Whole-file table scan and row decoding on large SQL Server 2008 files,
// against reading the same file with cat in the same run:
//   rows_scan_bench [FOLDER] [GiB]
// Prints, for a file of a quarter of the size and for the full size, the
// time of `cat`, of the all-tables scan (scan-tables) and of decoding every
// row of the table into CSV text (rows --all), their ratios to cat, and the
// peak memory after each, which must not grow with the file.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_result.h"
#include "bench/big_table_file.h"
#include "engine/catalog/open/open_catalog.h"
#include "engine/catalog/sql2005/scan_file_2005.h"
#include "engine/rows/table_rows.h"

using namespace tollamer;

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// RFC 4180 quoting, enough to make the benchmark pay for the text it writes.
void AppendCsvField(std::string& out, const std::string& cell) {
  if (cell.find_first_of(",\"\r\n") == std::string::npos) {
    out += cell;
    return;
  }
  out += '"';
  for (char c : cell) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// Empties the page cache (root only), so both sides read from the disk.
bool DropCaches() {
  if (std::system("sync") != 0) return false;
  std::FILE* f = std::fopen("/proc/sys/vm/drop_caches", "w");
  if (!f) return false;
  bool ok = std::fputs("3\n", f) >= 0;
  return std::fclose(f) == 0 && ok;
}

void Measure(const bench::BigTableFile& file, bool cold) {
  double mib = file.pages * 8192.0 / (1 << 20);
  if (cold) {
    DropCaches();
  } else {
    bench::CatSeconds(file.path);  // warm the page cache for both sides
  }
  double cat = bench::CatSeconds(file.path);
  if (cold) DropCaches();

  SilentMessages messages;
  CMdfDatabase db(messages);
  if (!db.OpenFile(file.path)) {
    std::fprintf(stderr, "cannot open %s\n", file.path.c_str());
    return;
  }
  OpenCatalog(db, VersionSetting::kSql2005);

  auto start = std::chrono::steady_clock::now();
  sql2005::ScanFileForTable2005(db, 0, true);
  double scan = Seconds(start);
  uint64_t listed = db.dataPageLists[file.tableId].size();
  if (cold) DropCaches();

  std::FILE* sink = std::fopen("/dev/null", "wb");
  std::string buffer;
  uint64_t rows = 0;
  start = std::chrono::steady_clock::now();
  ForEachTableRow(db, VersionSetting::kSql2005, file.tableId, [&](const std::vector<std::string>& row) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) buffer += ',';
      AppendCsvField(buffer, row[i]);
    }
    buffer += "\r\n";
    if (buffer.size() > (1 << 20)) {
      std::fwrite(buffer.data(), 1, buffer.size(), sink);
      buffer.clear();
    }
    ++rows;
    return true;
  });
  std::fwrite(buffer.data(), 1, buffer.size(), sink);
  std::fclose(sink);
  double decode = Seconds(start);

  std::printf("%s page cache\n", cold ? "cold (dropped before each step)" : "warm");
  std::printf("%-22s %9.0f MiB  %8.3f s  %8.1f MiB/s\n", "cat FILE > /dev/null", mib, cat,
              mib / cat);
  std::printf("%-22s %9.0f MiB  %8.3f s  %8.1f MiB/s  ratio %.2f  (%llu pages listed)\n",
              "scan-tables", mib, scan, mib / scan, scan / cat,
              static_cast<unsigned long long>(listed));
  std::printf("%-22s %9.0f MiB  %8.3f s  %8.1f MiB/s  ratio %.2f  (%llu rows, %.0f rows/s)\n",
              "rows --all (CSV)", mib, decode, mib / decode, decode / cat,
              static_cast<unsigned long long>(rows), rows / decode);
  std::printf("%-22s %.1f MiB\n\n", "peak memory so far", bench::PeakResidentMiB());
  const char* cache = cold ? "cat, cold cache" : "cat, warm cache";
  bench::PrintResult(("cat FILE > /dev/null (" + std::string(cold ? "cold" : "warm") + ")").c_str(),
                     mib, cat, -1, "-");
  bench::PrintResult("scan-tables (all-tables scan)", mib, scan, scan / cat, cache);
  bench::PrintResult("rows --all as CSV", mib, decode, decode / cat, cache);
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
    std::printf("file %s: %llu pages, %llu rows per data page\n", path.c_str(),
                static_cast<unsigned long long>(file.pages),
                static_cast<unsigned long long>(file.rowsPerPage));
    Measure(file, false);
    if (DropCaches()) Measure(file, true);
    std::filesystem::remove(path);
  }
  return 0;
}
