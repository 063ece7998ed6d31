// An import into SQLite against the most SQLite accepts on this machine,
// in the same run: the narrow benchmark table (big_table_file.h) of MIB,
// imported with `tollamer-cli import --to sqlite:`, and the same rows
// inserted straight into the same table with nothing decoded: the table
// the import makes, the values it stores, the statement of 50 rows it
// binds, one transaction, the pragmas it sets on a new file. Each is
// timed twice, alternating, and the faster time kept.
//   sqlite_ceiling_bench [FOLDER] [MIB]
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_result.h"
#include "bench/big_table_file.h"
#include "bench/cli_import.h"

namespace {

using namespace tollamer;

constexpr int kRowsPerStatement = 50;

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Seconds to insert `rows` rows of the narrow table (row r holds the values
// of the page's row r % rows_per_page); negative on failure.
double InsertRows(const std::string& path, uint64_t rows, uint64_t rows_per_page) {
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return -1;
  std::string sql = "INSERT INTO \"dbo_orders\" VALUES ";
  for (int r = 0; r < kRowsPerStatement; ++r) sql += r ? ", (?, ?, ?, ?, ?)" : "(?, ?, ?, ?, ?)";
  sqlite3_stmt* group = nullptr;
  sqlite3_stmt* one = nullptr;
  bool ok = Exec(db, "PRAGMA page_size=65536") && Exec(db, "PRAGMA locking_mode=EXCLUSIVE") &&
            Exec(db, "PRAGMA journal_mode=OFF") && Exec(db, "PRAGMA synchronous=OFF") &&
            Exec(db, "CREATE TABLE \"dbo_orders\" (\"id\" INTEGER NOT NULL, \"customer\" TEXT "
                     "NOT NULL, \"amount\" TEXT, \"placed\" TIMESTAMP, \"note\" TEXT)") &&
            sqlite3_prepare_v2(db, sql.c_str(), -1, &group, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db, "INSERT INTO \"dbo_orders\" VALUES (?, ?, ?, ?, ?)", -1, &one,
                               nullptr) == SQLITE_OK;
  // The texts of the page's rows, made before the clock starts: only the
  // inserts are timed.
  std::vector<std::string> customer(rows_per_page), amount(rows_per_page), note(rows_per_page);
  for (uint64_t k = 0; k < rows_per_page; ++k) {
    char buf[64];
    const unsigned long long n = k;
    customer[k].assign(buf, std::snprintf(buf, sizeof buf, "Customer \"%llu\", Ltd", n));
    amount[k].assign(buf, std::snprintf(buf, sizeof buf, "%llu.%04llu", (1234567 + n) / 10000,
                                        (1234567 + n) % 10000));
    note[k].assign(buf, std::snprintf(buf, sizeof buf, "注意 note %-7llu", n));
  }
  const auto start = std::chrono::steady_clock::now();
  ok = ok && Exec(db, "BEGIN");
  for (uint64_t first = 0; ok && first < rows;) {
    const bool grouped = rows - first >= kRowsPerStatement;
    sqlite3_stmt* insert = grouped ? group : one;
    const int count = grouped ? kRowsPerStatement : 1;
    for (int r = 0; r < count; ++r) {
      const uint64_t k = (first + r) % rows_per_page;
      const int p = r * 5;
      sqlite3_bind_int64(insert, p + 1, static_cast<int64_t>(k));
      sqlite3_bind_text(insert, p + 2, customer[k].data(), static_cast<int>(customer[k].size()),
                        SQLITE_STATIC);
      sqlite3_bind_text(insert, p + 3, amount[k].data(), static_cast<int>(amount[k].size()),
                        SQLITE_STATIC);
      sqlite3_bind_text(insert, p + 4, "2009-07-08 01:00:00.000", 23, SQLITE_STATIC);
      if (k % 3)
        sqlite3_bind_text(insert, p + 5, note[k].data(), static_cast<int>(note[k].size()),
                          SQLITE_STATIC);
      else
        sqlite3_bind_null(insert, p + 5);
    }
    ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
    first += count;
  }
  ok = ok && Exec(db, "COMMIT");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  sqlite3_finalize(group);
  sqlite3_finalize(one);
  sqlite3_close(db);
  std::filesystem::remove(path);
  return ok ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
  const double mib = argc > 2 ? std::stod(argv[2]) : 1024;
  const std::string file = folder + "/sqlite_ceiling.mdf";
  const bench::BigTableFile table = bench::WriteBigTableFile(file, static_cast<uint64_t>(mib * (1 << 20)));
  if (table.path.empty() || table.rowsPerPage == 0) {
    std::fprintf(stderr, "cannot write %s\n", file.c_str());
    return 1;
  }
  const uint64_t rows = table.dataPages * table.rowsPerPage;
  const std::string db = folder + "/sqlite_ceiling.db";
  double ceiling = -1, import = -1, peak = 0;
  bool ok = true;
  for (int round = 0; round < 2 && ok; ++round) {
    const double c = InsertRows(db, rows, table.rowsPerPage);
    std::filesystem::remove(db);
    const bench::CliRun run = bench::RunImport("import sqlite, narrow",
                                               {"import", file, "--to", "sqlite:" + db},
                                               folder + "/sqlite_ceiling.log", rows);
    const double i = run.seconds;
    peak = std::max(peak, run.peakMiB);
    std::filesystem::remove(db);
    ok = c >= 0 && i >= 0;
    ceiling = ceiling < 0 ? c : std::min(ceiling, c);
    import = import < 0 ? i : std::min(import, i);
    std::printf("  round %d: sqlite alone %.3f s, import %.3f s (%.2fx)\n", round + 1, c, i, i / c);
  }
  std::filesystem::remove(file);
  std::filesystem::remove(folder + "/sqlite_ceiling.log");
  std::filesystem::remove(folder + "/sqlite_ceiling.log.err");
  if (!ok) {
    std::printf("%-40s FAILED\n", "sqlite inserts alone / import sqlite");
    return 1;
  }
  const double data_mib = table.dataPages * 8192.0 / (1 << 20);
  std::printf("%llu rows: sqlite alone %.3f s, import %.3f s: %.2fx\n",
              static_cast<unsigned long long>(rows), ceiling, import, import / ceiling);
  bench::PrintResult("sqlite inserts alone (nothing decoded)", data_mib, ceiling, -1, "-");
  bench::PrintResult("import sqlite, narrow", data_mib, import, import / ceiling,
                     "sqlite alone", peak);
  return 0;
}
