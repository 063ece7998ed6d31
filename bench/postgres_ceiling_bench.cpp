// Imports into PostgreSQL against PostgreSQL's own COPY of the same rows
// from files, in the same run, on a server of its own (local_postgres.h;
// skipped, saying why, when PostgreSQL is not installed).
//   narrow  the narrow benchmark table (big_table_file.h) of MIB imported
//           with `tollamer-cli import --to postgresql`, then its rows
//           written by the server to a file in binary and in text format
//           (COPY ... TO) and loaded into an empty table of the same
//           columns (COPY ... FROM the file).
//   many    the 200 tables of MIB (shaped_file.h) imported with one session
//           (--sessions 1) and with the default, one per core; then each
//           table written to files the same way and loaded into empty
//           tables by as many sessions as the import has, each session
//           taking the next table.
// Each load follows a CHECKPOINT and is timed twice, alternating; the
// faster time is kept, and each import is measured against the faster of
// the two COPYs.
//   postgres_ceiling_bench [FOLDER] [MIB] [narrow|many ...]   (default both)
#include <libpq-fe.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_result.h"
#include "bench/big_table_file.h"
#include "bench/cli_import.h"
#include "bench/local_postgres.h"
#include "bench/shaped_file.h"

namespace {

using namespace tollamer;
namespace fs = std::filesystem;

bool Exec(PGconn* conn, const std::string& sql) {
  PGresult* r = PQexec(conn, sql.c_str());
  const ExecStatusType s = PQresultStatus(r);
  const bool ok = s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
  if (!ok) std::printf("  %s: %s", sql.c_str(), PQresultErrorMessage(r));
  PQclear(r);
  return ok;
}

// Seconds of `sql`; negative when it failed.
double Timed(PGconn* conn, const std::string& sql) {
  const auto start = std::chrono::steady_clock::now();
  if (!Exec(conn, sql)) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void KeepFaster(double& best, double t) { best = best < 0 ? t : std::min(best, t); }

// The narrow table: false when a run failed.
bool RunNarrow(const std::string& conninfo, const fs::path& folder, const fs::path& dir,
               const fs::path& server_folder, double mib) {
  const std::string file = (folder / "postgres_ceiling.mdf").string();
  const bench::BigTableFile table =
      bench::WriteBigTableFile(file, static_cast<uint64_t>(mib * (1 << 20)));
  if (table.path.empty()) {
    std::fprintf(stderr, "cannot write %s\n", file.c_str());
    return false;
  }
  const uint64_t rows = table.dataPages * table.rowsPerPage;
  PGconn* conn = PQconnectdb(conninfo.c_str());
  const std::string binary = (server_folder / "orders.bin").string();
  const std::string text = (server_folder / "orders.txt").string();
  double import = -1, copy_binary = -1, copy_text = -1, peak = 0;
  bool ok = PQstatus(conn) == CONNECTION_OK;
  for (int round = 0; round < 2 && ok; ++round) {
    ok = Exec(conn, "DROP TABLE IF EXISTS dbo.orders, dbo.ceiling") && Exec(conn, "CHECKPOINT");
    const bench::CliRun run = bench::RunImport("import postgresql, narrow",
                                               {"import", file, "--to", conninfo},
                                               (dir / "import.log").string(), rows);
    ok = ok && run.seconds >= 0;
    if (!ok) break;
    KeepFaster(import, run.seconds);
    peak = std::max(peak, run.peakMiB);
    if (round == 0)
      ok = Exec(conn, "COPY dbo.orders TO '" + binary + "' WITH (FORMAT binary)") &&
           Exec(conn, "COPY dbo.orders TO '" + text + "'");
    double t[2] = {-1, -1};
    for (int f = 0; f < 2 && ok; ++f) {
      ok = Exec(conn, "DROP TABLE IF EXISTS dbo.ceiling") &&
           Exec(conn, "CREATE TABLE dbo.ceiling AS TABLE dbo.orders WITH NO DATA") &&
           Exec(conn, "CHECKPOINT");
      t[f] = ok ? Timed(conn, "COPY dbo.ceiling FROM '" + (f ? text : binary) + "'" +
                                  (f ? "" : " WITH (FORMAT binary)"))
                : -1;
      ok = ok && t[f] >= 0;
    }
    if (!ok) break;
    KeepFaster(copy_binary, t[0]);
    KeepFaster(copy_text, t[1]);
    std::printf("  round %d: import %.3f s, COPY from a binary file %.3f s, from a text file %.3f s\n",
                round + 1, run.seconds, t[0], t[1]);
  }
  Exec(conn, "DROP TABLE IF EXISTS dbo.orders, dbo.ceiling");
  PQfinish(conn);
  fs::remove(file);
  fs::remove(binary);
  fs::remove(text);
  if (!ok) {
    std::printf("import postgresql against COPY: FAILED\n");
    return false;
  }
  const double ceiling = std::min(copy_binary, copy_text);
  const double data_mib = table.dataPages * 8192.0 / (1 << 20);
  std::printf("%llu rows: import %.3f s, COPY binary %.3f s, text %.3f s: %.2fx the faster\n",
              static_cast<unsigned long long>(rows), import, copy_binary, copy_text,
              import / ceiling);
  bench::PrintResult("COPY FROM binary file (postgresql)", data_mib, copy_binary, -1, "-", 0);
  bench::PrintResult("COPY FROM text file (postgresql)", data_mib, copy_text, -1, "-", 0);
  bench::PrintResult("import postgresql, narrow", data_mib, import, import / ceiling,
                     "faster COPY FROM file", peak);
  return true;
}

// The tables the import made: "schema"."name" of every table outside the
// server's own schemas and the ceiling's.
std::vector<std::string> ImportedTables(PGconn* conn) {
  std::vector<std::string> tables;
  PGresult* r = PQexec(conn,
                       "SELECT quote_ident(schemaname) || '.' || quote_ident(tablename) FROM "
                       "pg_tables WHERE schemaname NOT IN ('pg_catalog', 'information_schema', "
                       "'ceiling') ORDER BY 1");
  if (PQresultStatus(r) == PGRES_TUPLES_OK)
    for (int i = 0; i < PQntuples(r); ++i) tables.push_back(PQgetvalue(r, i, 0));
  PQclear(r);
  return tables;
}

// Seconds for `sessions` connections to load every table of `tables` into
// its empty copy in schema ceiling from its file (`files[i]`), each session
// taking the next table; negative when a load failed.
double ParallelCopy(const std::string& conninfo, const std::vector<std::string>& tables,
                    const std::vector<std::string>& files, bool binary, unsigned sessions) {
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::vector<PGconn*> conns;
  for (unsigned i = 0; i < sessions; ++i) conns.push_back(PQconnectdb(conninfo.c_str()));
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (PGconn* conn : conns)
    threads.emplace_back([&, conn] {
      for (size_t i; !failed && (i = next++) < tables.size();) {
        const std::string name = tables[i].substr(tables[i].find('.') + 1);
        if (!Exec(conn, "COPY ceiling." + name + " FROM '" + files[i] + "'" +
                            (binary ? " WITH (FORMAT binary)" : "")))
          failed = true;
      }
    });
  for (std::thread& t : threads) t.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (PGconn* conn : conns) PQfinish(conn);
  return failed ? -1 : seconds;
}

// Empty copies of `tables` in schema ceiling (no data, no keys), after a
// CHECKPOINT.
bool FreshCeiling(PGconn* conn, const std::vector<std::string>& tables) {
  bool ok = Exec(conn, "DROP SCHEMA IF EXISTS ceiling CASCADE") && Exec(conn, "CREATE SCHEMA ceiling");
  for (const std::string& t : tables)
    ok = ok && Exec(conn, "CREATE TABLE ceiling." + t.substr(t.find('.') + 1) + " AS TABLE " + t +
                              " WITH NO DATA");
  return ok && Exec(conn, "CHECKPOINT");
}

// The 200 tables, one session against one per core: false when a run
// failed.
bool RunMany(const std::string& conninfo, const fs::path& folder, const fs::path& dir,
             const fs::path& server_folder, double mib) {
  const std::string file = (folder / "postgres_ceiling_many.mdf").string();
  const bench::ShapedFile g = bench::WriteShapedFile(bench::FileShape::kMany, file,
                                                     static_cast<uint64_t>(mib * (1 << 20)));
  if (g.path.empty()) {
    std::fprintf(stderr, "cannot write %s\n", file.c_str());
    return false;
  }
  const unsigned sessions = std::max(2u, std::thread::hardware_concurrency());
  std::printf("%zu tables, %llu rows, %u sessions\n", g.tables,
              static_cast<unsigned long long>(g.rows), sessions);
  PGconn* conn = PQconnectdb(conninfo.c_str());
  bool ok = PQstatus(conn) == CONNECTION_OK;
  std::vector<std::string> tables, binary_files, text_files;
  // Drops what an import made (every schema but the server's and the
  // ceiling's).
  const auto clear = [&] {
    for (const std::string& t : ImportedTables(conn)) ok = ok && Exec(conn, "DROP TABLE " + t);
    return ok && Exec(conn, "CHECKPOINT");
  };
  double one = -1, parallel = -1, copy_binary = -1, copy_text = -1, peak_one = 0, peak_parallel = 0;
  for (int round = 0; round < 2 && ok; ++round) {
    double t_import[2] = {-1, -1};
    for (int k = 0; k < 2 && ok; ++k) {
      const bool single = (k == 0) == (round == 0);  // one session first, then last
      std::vector<std::string> args{"import", file, "--to", conninfo};
      if (single) args.insert(args.end(), {"--sessions", "1"});
      ok = clear();
      const bench::CliRun run =
          bench::RunImport(single ? "import postgresql, 200 tables, 1 session"
                                  : "import postgresql, 200 tables, parallel",
                           args, (dir / "import.log").string(), g.rows);
      ok = ok && run.seconds >= 0;
      if (!ok) break;
      t_import[single ? 0 : 1] = run.seconds;
      KeepFaster(single ? one : parallel, run.seconds);
      double& peak = single ? peak_one : peak_parallel;
      peak = std::max(peak, run.peakMiB);
    }
    if (!ok) break;
    if (round == 0) {
      tables = ImportedTables(conn);
      ok = tables.size() == g.tables;
      if (!ok) std::printf("  %zu tables imported of %zu\n", tables.size(), g.tables);
      for (size_t i = 0; i < tables.size() && ok; ++i) {
        binary_files.push_back((server_folder / ("t" + std::to_string(i) + ".bin")).string());
        text_files.push_back((server_folder / ("t" + std::to_string(i) + ".txt")).string());
        ok = Exec(conn, "COPY " + tables[i] + " TO '" + binary_files[i] + "' WITH (FORMAT binary)") &&
             Exec(conn, "COPY " + tables[i] + " TO '" + text_files[i] + "'");
      }
    }
    double t[2] = {-1, -1};
    for (int k = 0; k < 2 && ok; ++k) {
      const bool binary = (k == 0) == (round == 0);
      ok = FreshCeiling(conn, tables);
      t[binary ? 0 : 1] = ok ? ParallelCopy(conninfo, tables, binary ? binary_files : text_files,
                                            binary, sessions)
                             : -1;
      ok = ok && t[binary ? 0 : 1] >= 0;
    }
    if (!ok) break;
    KeepFaster(copy_binary, t[0]);
    KeepFaster(copy_text, t[1]);
    std::printf("  round %d: import 1 session %.3f s, %u sessions %.3f s (%.2fx); COPY from binary "
                "files %.3f s, from text files %.3f s\n",
                round + 1, t_import[0], sessions, t_import[1], t_import[0] / t_import[1], t[0], t[1]);
  }
  Exec(conn, "DROP SCHEMA IF EXISTS ceiling CASCADE");
  clear();
  PQfinish(conn);
  for (const auto* files : {&binary_files, &text_files})
    for (const std::string& f : *files) fs::remove(f);
  if (!std::getenv("TOLLAMER_BENCH_KEEP")) fs::remove(file);
  if (!ok) {
    std::printf("import postgresql, 200 tables, against COPY: FAILED\n");
    return false;
  }
  const double ceiling = std::min(copy_binary, copy_text);
  const double data_mib = g.bytes / double(1 << 20);
  std::printf("200 tables: import 1 session %.3f s, %u sessions %.3f s (%.2fx faster); COPY by %u "
              "sessions binary %.3f s, text %.3f s: %.2fx and %.2fx the faster\n",
              one, sessions, parallel, one / parallel, sessions, copy_binary, copy_text,
              one / ceiling, parallel / ceiling);
  const std::string by = std::to_string(sessions) + " sessions";
  bench::PrintResult(("COPY FROM binary files, 200 tables, " + by).c_str(), data_mib, copy_binary,
                     -1, "-", 0);
  bench::PrintResult(("COPY FROM text files, 200 tables, " + by).c_str(), data_mib, copy_text, -1,
                     "-", 0);
  bench::PrintResult("import postgresql, 200 tables, 1 session", data_mib, one, one / ceiling,
                     "faster COPY, parallel", peak_one);
  bench::PrintResult(("import postgresql, 200 tables, " + by).c_str(), data_mib, parallel,
                     parallel / ceiling, "faster COPY, parallel", peak_parallel);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path folder = argc > 1 ? argv[1] : fs::temp_directory_path();
  const double mib = argc > 2 ? std::stod(argv[2]) : 1024;
  std::vector<std::string> chosen(argv + std::min(argc, 3), argv + argc);
  if (chosen.empty()) chosen = {"narrow", "many"};
  char pattern[] = "/var/tmp/tollamer-pg-ceiling-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path dir = pattern;
  chmod(pattern, 0755);
  int failures = 0;
  {
    bench::LocalPostgres server(dir);
    std::string why;
    const std::string conninfo = server.Start(why);
    if (conninfo.empty()) {
      std::printf("import postgresql against COPY: SKIPPED (%s)\n", why.c_str());
      fs::remove_all(dir);
      return 0;
    }
    for (const std::string& c : chosen) {
      bool ok = false;
      if (c == "narrow") ok = RunNarrow(conninfo, folder, dir, server.Folder(), mib);
      else if (c == "many") ok = RunMany(conninfo, folder, dir, server.Folder(), mib);
      else std::printf("unknown part %s (narrow, many)\n", c.c_str());
      if (!ok) ++failures;
    }
  }
  fs::remove_all(dir);
  return failures ? 1 : 0;
}
