// An import into PostgreSQL against PostgreSQL's own COPY of the same rows
// from a file, in the same run, on a server of its own (local_postgres.h;
// skipped, saying why, when PostgreSQL is not installed): the narrow
// benchmark table (big_table_file.h) of MIB imported with `tollamer-cli
// import --to postgresql`, then its rows written by the server to a file in
// binary and in text format (COPY ... TO) and loaded into an empty table of
// the same columns (COPY ... FROM the file). Each load follows a CHECKPOINT
// and is timed twice, alternating; the faster time is kept, and the import
// is measured against the faster of the two COPYs.
//   postgres_ceiling_bench [FOLDER] [MIB]
#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bench_result.h"
#include "bench/big_table_file.h"
#include "bench/cli_import.h"
#include "bench/local_postgres.h"

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

}  // namespace

int main(int argc, char** argv) {
  const fs::path folder = argc > 1 ? argv[1] : fs::temp_directory_path();
  const double mib = argc > 2 ? std::stod(argv[2]) : 1024;
  char pattern[] = "/var/tmp/tollamer-pg-ceiling-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path dir = pattern;
  chmod(pattern, 0755);
  bench::LocalPostgres server(dir);
  std::string why;
  const std::string conninfo = server.Start(why);
  if (conninfo.empty()) {
    std::printf("import postgresql against COPY: SKIPPED (%s)\n", why.c_str());
    fs::remove_all(dir);
    return 0;
  }
  const std::string file = (folder / "postgres_ceiling.mdf").string();
  const bench::BigTableFile table =
      bench::WriteBigTableFile(file, static_cast<uint64_t>(mib * (1 << 20)));
  if (table.path.empty()) {
    std::fprintf(stderr, "cannot write %s\n", file.c_str());
    return 1;
  }
  const uint64_t rows = table.dataPages * table.rowsPerPage;
  PGconn* conn = PQconnectdb(conninfo.c_str());
  const std::string binary = (server.Folder() / "orders.bin").string();
  const std::string text = (server.Folder() / "orders.txt").string();
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
  PQfinish(conn);
  fs::remove(file);
  if (!ok) {
    std::printf("import postgresql against COPY: FAILED\n");
    fs::remove_all(dir);
    return 1;
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
  fs::remove_all(dir);
  return 0;
}
