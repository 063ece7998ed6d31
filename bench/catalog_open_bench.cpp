// Opening SQL 2000 catalogs of 500 and 2,000 tables: the second file has four
// times the system pages, so a linear open takes about four times as long.
// Prints both times and their ratio (at most 4.5 means no quadratic term).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bench_result.h"
#include "engine/catalog/mdf_database.h"
#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/page_layout.h"
#include "tests/fixtures/sql2000_database.h"

namespace {

using namespace tollamer;

// Best of several opens, in milliseconds.
double OpenMilliseconds(const std::string& path, size_t expected_tables) {
  double best = 1e30;
  for (int run = 0; run < 5; ++run) {
    SilentMessages messages;
    CMdfDatabase db(messages);
    if (!db.OpenFile(path)) return -1;
    auto start = std::chrono::steady_clock::now();
    OpenCatalog(db, VersionSetting::kSql2000);
    auto end = std::chrono::steady_clock::now();
    if (db.catalog.tables.size() != expected_tables) return -1;
    best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
  }
  return best;
}

}  // namespace

int main() {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "tollamer-catalog-bench";
  std::filesystem::create_directories(dir);
  double ms[2] = {0, 0};
  const uint32_t sizes[2] = {500, 2000};
  for (int i = 0; i < 2; ++i) {
    std::string path = (dir / ("tables" + std::to_string(sizes[i]) + ".mdf")).string();
    fixtures::FileBuilder file =
        fixtures::sql2000::BuildDatabase2000(fixtures::sql2000::ManyTablesDatabase2000(sizes[i]));
    if (!fixtures::WriteFile(path, file.Image())) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    ms[i] = OpenMilliseconds(path, sizes[i]);
    if (ms[i] < 0) {
      std::fprintf(stderr, "the open of %s went wrong\n", path.c_str());
      return 1;
    }
    std::printf("%5u tables: %8.2f ms (%u pages)\n", sizes[i], ms[i], file.PageCount());
    std::string operation = "SQL 2000 catalog open, " + std::to_string(sizes[i]) + " tables";
    tollamer::bench::PrintResult(operation.c_str(), file.PageCount() * double{page_layout::kPageSize} / (1 << 20),
                                 ms[i] / 1000, i == 0 ? -1 : ms[1] / ms[0],
                                 i == 0 ? "-" : "500 tables");
  }
  std::filesystem::remove_all(dir);
  double ratio = ms[1] / ms[0];
  std::printf("ratio 2000/500: %.2f (target at most 4.5)\n", ratio);
  return 0;
}
