// Export throughput on generated SQL 2008 files of three shapes (see
// shaped_file.h: a wide table, a table of large values, 200 tables). Each run
// of tollamer-cli is timed against `cat FILE > /dev/null` of the same file
// measured in the same run, with a warm page cache and a cold one (the page
// cache emptied when run as root, else the file's pages dropped with
// posix_fadvise; each cold run beside a cold cat of its own, repeated, the
// median ratio shown with its spread), and the rows it reports are
// checked against the rows written: a run that reads back a different
// count fails the benchmark. The files are deleted when it ends.
//
//   shapes_export_bench [MIB] [wide|lob|many ...]   (default 1024, all)
// TOLLAMER_BENCH_CLI names another tollamer-cli to measure (an older build).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_result.h"
#include "bench/cli_process.h"
#include "bench/shaped_file.h"

namespace {

namespace fs = std::filesystem;
using namespace tollamer::bench;

struct Baseline {
  double warm = -1;
  double cold = -1;
};

// The whole page cache emptied (root), else the file's cached pages
// dropped, which needs no privilege.
void DropFromCache(const std::string& path) {
  if (DropPageCache()) return;
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  fdatasync(fd);
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
}

Baseline MeasureCat(const std::string& path, uint64_t bytes) {
  Baseline b;
  DropFromCache(path);
  b.cold = CatSeconds(path);
  b.warm = CatSeconds(path);
  const double mib = bytes / double(1 << 20);
  std::printf("  cat cold %.2f s (%.0f MB/s), warm %.2f s (%.0f MB/s)\n", b.cold,
              bytes / 1e6 / b.cold, b.warm, bytes / 1e6 / b.warm);
  PrintResult("cat FILE > /dev/null (cold)", mib, b.cold, -1, "-", 0);
  PrintResult("cat FILE > /dev/null (warm)", mib, b.warm, -1, "-", 0);
  return b;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::string all, line;
  while (std::getline(in, line)) all += (all.empty() ? "" : " | ") + line;
  return all;
}

// The number before `marker` in `text` ("12 rows,", "3 tables, 12 rows written").
uint64_t NumberBefore(const std::string& text, const std::string& marker) {
  size_t at = text.find(marker);
  if (at == std::string::npos) return UINT64_MAX;
  size_t start = at;
  while (start > 0 && std::isdigit(static_cast<unsigned char>(text[start - 1]))) --start;
  return std::strtoull(text.c_str() + start, nullptr, 10);
}

// Runs one command with a warm cache; false when it failed or its row
// count is not `rows`.
bool Measure(const std::string& what, const std::vector<std::string>& args, const fs::path& dir,
             const std::string& file, uint64_t bytes, uint64_t rows, const Baseline& cat,
             const std::string& rows_marker, bool count_on_stderr) {
  CatSeconds(file);  // the file back in the cache
  const std::string out = (dir / "out.log").string(), err = (dir / "err.log").string();
  const char* cli = std::getenv("TOLLAMER_BENCH_CLI");
  CliRun run = RunCliProcess(cli ? cli : TOLLAMER_CLI_PATH, args, count_on_stderr ? "/dev/null" : out, err);
  const std::string report = ReadAll(count_on_stderr ? err : out) + " " + ReadAll(err);
  if (run.seconds < 0) {
    std::printf("  %-28s FAILED: %s\n", what.c_str(), report.c_str());
    return false;
  }
  const uint64_t got = NumberBefore(report, rows_marker);
  const double mb_s = bytes / 1e6 / run.seconds;
  std::printf("  %-28s %7.2f s  %7.1f MB/s  %5.2fx warm cat  %5.2fx cold cat  peak %.1f MiB\n",
              what.c_str(), run.seconds, mb_s, run.seconds / cat.warm, run.seconds / cat.cold,
              run.peakMiB);
  if (got != rows) {
    std::printf("  %-28s WRONG ROW COUNT: %llu read back, %llu written\n    %s\n", what.c_str(),
                static_cast<unsigned long long>(got), static_cast<unsigned long long>(rows),
                report.c_str());
    return false;
  }
  char ratios[64];
  std::snprintf(ratios, sizeof ratios, "%.2f / %.2f", run.seconds / cat.warm,
                run.seconds / cat.cold);
  std::printf("RESULT|%s|%.1f|%.4f|%s|cat warm / cold|%.1f\n", what.c_str(),
              bytes / double(1 << 20), run.seconds, ratios, run.peakMiB);
  return true;
}

// How often a cold run is repeated against a cold cat: cold timings on a
// busy machine spread widely, so the ratio of each pair is taken and the
// median shown with the spread.
constexpr int kColdRepeats = 3;

// The command on a cold cache `kColdRepeats` times, each run after a cold
// `cat` of the file measured just before it; false when a run failed or
// read back another row count.
bool MeasureColdAgainstCat(const std::string& what, const std::vector<std::string>& args,
                           const fs::path& dir, const std::string& file, uint64_t bytes,
                           uint64_t rows, const std::string& rows_marker, bool count_on_stderr,
                           const std::function<void()>& clean) {
  const std::string out = (dir / "out.log").string(), err = (dir / "err.log").string();
  const char* cli = std::getenv("TOLLAMER_BENCH_CLI");
  std::vector<double> ratios, seconds, cats;
  double peak = 0;
  for (int r = 0; r < kColdRepeats; ++r) {
    DropFromCache(file);
    const double cat = CatSeconds(file);
    DropFromCache(file);
    CliRun run = RunCliProcess(cli ? cli : TOLLAMER_CLI_PATH, args,
                               count_on_stderr ? "/dev/null" : out, err);
    const std::string report = ReadAll(count_on_stderr ? err : out) + " " + ReadAll(err);
    clean();
    if (run.seconds < 0 || cat <= 0 || NumberBefore(report, rows_marker) != rows) {
      std::printf("  %-28s FAILED or WRONG ROW COUNT: %s\n", what.c_str(), report.c_str());
      return false;
    }
    std::printf("  %-28s %7.2f s against cold cat %.2f s: %5.2fx\n", what.c_str(), run.seconds,
                cat, run.seconds / cat);
    ratios.push_back(run.seconds / cat);
    seconds.push_back(run.seconds);
    cats.push_back(cat);
    peak = std::max(peak, run.peakMiB);
  }
  const auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
  std::printf("  %-28s median %.2f s, cold cat median %.2f s, ratio median %.2fx (%.2f-%.2f)\n",
              what.c_str(), median(seconds), median(cats), median(ratios), *low, *high);
  char ratio[64];
  std::snprintf(ratio, sizeof ratio, "%.2f (%.2f-%.2f)", median(ratios), *low, *high);
  std::printf("RESULT|cat FILE > /dev/null (cold, beside it)|%.1f|%.4f|-|-|0.0\n",
              bytes / double(1 << 20), median(cats));
  std::printf("RESULT|%s|%.1f|%.4f|%s|cold cat, same run|%.1f\n", what.c_str(),
              bytes / double(1 << 20), median(seconds), ratio, peak);
  return true;
}

bool RunShape(FileShape shape, uint64_t mib, const fs::path& dir) {
  const std::string file = (dir / "shaped.mdf").string();
  ShapedFile g = WriteShapedFile(shape, file, mib << 20);
  if (g.path.empty()) {
    std::printf("%s: cannot write %s\n", ShapeName(shape), file.c_str());
    return false;
  }
  std::printf("%s: %.0f MiB, %zu tables, %llu rows\n", ShapeName(shape), g.bytes / double(1 << 20),
              g.tables, static_cast<unsigned long long>(g.rows));
  const Baseline cat = MeasureCat(file, g.bytes);
  const std::string name = ShapeName(shape);
  bool ok = true;
  const std::vector<std::string> rows_args{"rows", file, g.table, "--all", "--format", "csv"};
  const std::vector<std::string> export_args{"export-data", file, "--out",
                                             (dir / "csv").string(), "--format", "csv"};
  const auto clean = [&] { fs::remove_all(dir / "csv"); };
  if (!g.table.empty())
    ok &= Measure("rows csv, " + name, rows_args, dir, file, g.bytes, g.rows, cat, " rows,", true);
  ok &= Measure("export-data csv, " + name, export_args, dir, file, g.bytes, g.rows, cat,
                " rows written", false);
  clean();
  // Cold: each run beside a cold cat of its own.
  if (!g.table.empty())
    ok &= MeasureColdAgainstCat("rows csv (cold), " + name, rows_args, dir, file, g.bytes, g.rows,
                                " rows,", true, clean);
  ok &= MeasureColdAgainstCat("export-data csv (cold), " + name, export_args, dir, file, g.bytes,
                              g.rows, " rows written", false, clean);
  ok &= Measure("import sqlite, " + name,
                {"import", file, "--to", "sqlite:" + (dir / "out.db").string()}, dir, file, g.bytes,
                g.rows, cat, " rows imported", false);
  fs::remove(dir / "out.db");
  if (!std::getenv("TOLLAMER_BENCH_KEEP")) fs::remove(file);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
  std::vector<std::string> chosen(argv + std::min(argc, 2), argv + argc);
  if (chosen.empty()) chosen = {"wide", "lob", "many"};
  char pattern[] = "/var/tmp/tollamer-shapes-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path dir = pattern;
  chmod(pattern, 0755);
  int failures = 0;
  for (const std::string& c : chosen) {
    bool ok = false;
    if (c == "wide") ok = RunShape(FileShape::kWide, mib, dir);
    else if (c == "lob") ok = RunShape(FileShape::kLob, mib, dir);
    else if (c == "many") ok = RunShape(FileShape::kMany, mib, dir);
    else std::printf("unknown shape %s (wide, lob, many)\n", c.c_str());
    if (!ok) ++failures;
  }
  if (!std::getenv("TOLLAMER_BENCH_KEEP")) fs::remove_all(dir);
  if (failures) std::fprintf(stderr, "shapes_export_bench: %d run(s) FAILED\n", failures);
  return failures ? 1 : 0;
}
