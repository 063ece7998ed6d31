// The most SQLite accepts on this machine, with nothing decoded: the rows of
// the narrow benchmark table (rows_scan_bench), as many as MIB of its data
// pages hold, inserted through one prepared statement in one transaction
// into a new file with the pragmas `import` uses. Its MiB/s is the ceiling
// of any import into SQLite of that table, whatever the reader's speed.
//   sqlite_ceiling_bench [FOLDER] [MIB]
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bench_result.h"
#include "bench/big_table_file.h"
#include "engine/pagestore/page_layout.h"

namespace {

using namespace tollamer;

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Seconds to insert `rows` rows shaped like the narrow table's; negative on
// failure.
double InsertRows(const std::string& path, uint64_t rows) {
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return -1;
  sqlite3_stmt* insert = nullptr;
  bool ok = Exec(db, "PRAGMA page_size=65536") && Exec(db, "PRAGMA locking_mode=EXCLUSIVE") &&
            Exec(db, "PRAGMA journal_mode=OFF") && Exec(db, "PRAGMA synchronous=OFF") &&
            Exec(db, "CREATE TABLE orders(id INTEGER, customer TEXT, amount REAL, placed TEXT, "
                     "note TEXT)") &&
            sqlite3_prepare_v2(db, "INSERT INTO orders VALUES(?,?,?,?,?)", -1, &insert,
                               nullptr) == SQLITE_OK;
  const auto start = std::chrono::steady_clock::now();
  ok = ok && Exec(db, "BEGIN");
  char customer[48], note[64];
  for (uint64_t i = 0; ok && i < rows; ++i) {
    const int customer_length = std::snprintf(customer, sizeof customer, "Customer \"%llu\", Ltd",
                                              static_cast<unsigned long long>(i));
    const int note_length = std::snprintf(note, sizeof note, "注意 note %-20llu",
                                          static_cast<unsigned long long>(i));
    sqlite3_bind_int64(insert, 1, static_cast<int64_t>(i));
    sqlite3_bind_text(insert, 2, customer, customer_length, SQLITE_STATIC);
    sqlite3_bind_double(insert, 3, 123.4567 + static_cast<double>(i));
    sqlite3_bind_text(insert, 4, "2009-07-06 05:00:00.000", 23, SQLITE_STATIC);
    if (i % 3)
      sqlite3_bind_text(insert, 5, note, note_length, SQLITE_STATIC);
    else
      sqlite3_bind_null(insert, 5);
    ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
  }
  ok = ok && Exec(db, "COMMIT");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  sqlite3_finalize(insert);
  sqlite3_close(db);
  std::filesystem::remove(path);
  return ok ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
  const double mib = argc > 2 ? std::stod(argv[2]) : 1024;
  // The rows one data page of the narrow table holds, from a small file of it.
  const std::string sample = folder + "/sqlite_ceiling_sample.mdf";
  const bench::BigTableFile file = bench::WriteBigTableFile(sample, 8 << 20);
  std::filesystem::remove(sample);
  if (file.path.empty() || file.rowsPerPage == 0) {
    std::fprintf(stderr, "cannot write the sample file in %s\n", folder.c_str());
    return 1;
  }
  const uint64_t pages = static_cast<uint64_t>(mib * (1 << 20) / page_layout::kPageSize);
  const uint64_t rows = pages * file.rowsPerPage;
  const double seconds = InsertRows(folder + "/sqlite_ceiling.db", rows);
  if (seconds < 0) {
    std::printf("%-40s FAILED\n", "sqlite inserts alone (nothing decoded)");
    return 1;
  }
  std::printf("%-40s %7.0f MiB of data pages  %llu rows  %8.3f s  %8.1f MiB/s  %.0f rows/s\n",
              "sqlite inserts alone (nothing decoded)", mib, static_cast<unsigned long long>(rows),
              seconds, mib / seconds, rows / seconds);
  bench::PrintResult("sqlite inserts alone (nothing decoded)", mib, seconds, -1, "-");
  return 0;
}
