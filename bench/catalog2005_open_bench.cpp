// Opening SQL 2005/2008 catalogs of 500 and 2,000 tables of 20 columns: the
// second file has four times the system rows, so an open without quadratic
// terms takes about four times as long. Prints both times and their ratio
// (target at most 4.5).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bench_result.h"
#include "engine/catalog/mdf_database.h"
#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/page_layout.h"
#include "tests/fixtures/sql2005_database.h"

namespace {

using namespace tollamer;
using namespace tollamer::fixtures::sql2005;

Database2005 ManyTables(uint32_t count) {
  Database2005 d;
  for (uint32_t i = 0; i < count; ++i) {
    Table2005 t{100000 + i, "table_" + std::to_string(i), 1};
    t.rowCount = i;
    t.dataPages = 1 + i % 3;
    for (uint32_t c = 0; c < 20; ++c)
      t.columns.push_back({"column_" + std::to_string(c), c % 2 ? uint8_t{167} : uint8_t{56}, 0,
                           uint16_t(c % 2 ? 40 : 4)});
    d.tables.push_back(t);
  }
  for (uint32_t i = 0; i < count / 10; ++i)
    d.modules.push_back({900000 + i, "proc_" + std::to_string(i), "P ", 1,
                         {"CREATE PROCEDURE proc_" + std::to_string(i) + " AS SELECT 1"}});
  return d;
}

// Best of several opens, in milliseconds.
double OpenMilliseconds(const std::string& path, size_t expected_tables) {
  double best = 1e30;
  for (int run = 0; run < 15; ++run) {
    SilentMessages messages;
    CMdfDatabase db(messages);
    if (!db.OpenFile(path)) return -1;
    auto start = std::chrono::steady_clock::now();
    const CatalogOpenResult result = OpenCatalog(db, VersionSetting::kSql2005);
    auto end = std::chrono::steady_clock::now();
    if (result.usedFallback || db.catalog.tables.size() != expected_tables) return -1;
    best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
  }
  return best;
}

}  // namespace

int main() {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "tollamer-catalog2005-bench";
  std::filesystem::create_directories(dir);
  double ms[2] = {0, 0};
  const uint32_t sizes[2] = {500, 2000};
  for (int i = 0; i < 2; ++i) {
    std::string path = (dir / ("tables" + std::to_string(sizes[i]) + ".mdf")).string();
    fixtures::FileBuilder file = BuildDatabase2005(ManyTables(sizes[i])).file;
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
    std::string operation = "SQL 2005 catalog open, " + std::to_string(sizes[i]) + " tables";
    tollamer::bench::PrintResult(operation.c_str(), file.PageCount() * double{page_layout::kPageSize} / (1 << 20),
                                 ms[i] / 1000, i == 0 ? -1 : ms[1] / ms[0],
                                 i == 0 ? "-" : "500 tables");
  }
  std::filesystem::remove_all(dir);
  std::printf("ratio 2000/500: %.2f (target at most 4.5)\n", ms[1] / ms[0]);
  return 0;
}
