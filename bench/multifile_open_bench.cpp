// A database of three data files (the test fixtures' primary with two
// secondaries beside it) against the same tables and rows in one data
// file: `tollamer-cli export-data` of each, run alternately in the same
// run, with each run's peak memory. The three-file open adds the search
// for the secondaries (the primary's list of files read from its first
// pages), two more files opened and mapped, and IAM chains that go from
// file to file.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_result.h"
#include "bench/cli_process.h"
#include "tests/fixtures/multi_file_database.h"

namespace {

using namespace tollamer;

struct Measured {
  std::vector<double> seconds;
  double peakMiB = 0;
  double Median() {
    std::sort(seconds.begin(), seconds.end());
    return seconds.empty() ? -1 : seconds[seconds.size() / 2];
  }
};

bool Run(const std::string& input, const std::string& out, Measured& m) {
  std::filesystem::remove_all(out);
  bench::CliRun r = bench::RunCliProcess(TOLLAMER_CLI_PATH, {"export-data", input, "--out", out}, "/dev/null");
  if (r.seconds < 0) return false;
  m.seconds.push_back(r.seconds);
  m.peakMiB = std::max(m.peakMiB, r.peakMiB);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tollamer_multifile_bench";
  std::filesystem::create_directories(dir);
  const fixtures::MultiFileDatabase db = fixtures::BuildMultiFileDatabase();
  const std::string primary = (dir / db.kPrimaryName).string();
  const std::string whole = (dir / "whole.mdf").string();
  bool ok = fixtures::WriteFile(primary, db.primary) &&
            fixtures::WriteFile((dir / db.kThirdName).string(), db.third) &&
            fixtures::WriteFile((dir / db.kFourthName).string(), db.fourth) &&
            fixtures::WriteFile(whole, db.whole);
  Measured three, one;
  for (int i = 0; ok && i < runs; ++i)
    ok = Run(whole, (dir / "o1").string(), one) && Run(primary, (dir / "o3").string(), three);
  std::filesystem::remove_all(dir);
  if (!ok) {
    std::fprintf(stderr, "multifile_open_bench: a run failed\n");
    return 1;
  }
  const double base = one.Median(), multi = three.Median();
  const double mib = (db.primary.size() + db.third.size() + db.fourth.size()) / double(1 << 20);
  std::printf("one file:    %.4f s median of %d, peak %.1f MiB\n", base, runs, one.peakMiB);
  std::printf("three files: %.4f s median of %d, peak %.1f MiB (%.2fx)\n", multi, runs, three.peakMiB,
              multi / base);
  bench::PrintResult("export-data, database of three files", mib, multi, multi / base,
                     "the same rows in one file", three.peakMiB);
  return 0;
}
