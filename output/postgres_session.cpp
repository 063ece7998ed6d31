#include "output/postgres_session.h"

#include <sys/socket.h>

#include "output/postgres_binary.h"

namespace tollamer {

namespace {

constexpr std::string_view kBlockQuote = "$tollamer_keys$";

// The field count of the row at `at` (kPgTextRowMark for a text row).
int16_t FieldCount(std::string_view rows, size_t at) {
  if (at + 2 > rows.size()) return 0;
  return static_cast<int16_t>((static_cast<uint8_t>(rows[at]) << 8) |
                              static_cast<uint8_t>(rows[at + 1]));
}

// Moves `at` past the row there; false when it runs past the buffer.
bool SkipRow(std::string_view rows, size_t& at, int16_t count) {
  at += 2;
  if (count == kPgTextRowMark) {
    const size_t end = rows.find('\n', at);
    if (end == std::string_view::npos) return false;
    at = end + 1;
    return true;
  }
  for (int16_t i = 0; i < count; ++i) {
    if (at + 4 > rows.size()) return false;
    const int32_t length = static_cast<int32_t>(
        (uint32_t{static_cast<uint8_t>(rows[at])} << 24) |
        (uint32_t{static_cast<uint8_t>(rows[at + 1])} << 16) |
        (uint32_t{static_cast<uint8_t>(rows[at + 2])} << 8) | static_cast<uint8_t>(rows[at + 3]));
    at += 4;
    if (length > 0) at += static_cast<size_t>(length);
    if (at > rows.size()) return false;
  }
  return true;
}

}  // namespace

void ConfigurePgConnection(PGconn* conn) {
  PQsetClientEncoding(conn, "UTF8");
  // Warnings and errors only: the notices of statements that find nothing
  // to do (a schema that exists, a table to drop that does not) would
  // print a line on stderr for every table.
  PQclear(PQexec(conn, "SET client_min_messages = warning"));
  // Room for a few batches in the socket's buffer: the rows go in fewer,
  // larger writes, with fewer waits for the server to read (the system
  // caps the size it grants).
  if (const int fd = PQsocket(conn); fd >= 0) {
    const int bytes = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
  }
}

PgSession::PgSession(PGconn* conn, std::mutex& lock, std::condition_variable& changed,
                     PgQueuePool& pool)
    : conn_(conn), lock_(lock), changed_(changed), pool_(pool), worker_([this] { Run(); }) {}

PgSession::~PgSession() {
  {
    std::lock_guard guard(lock_);
    stop_ = true;
  }
  work_.notify_one();
  worker_.join();
  PQfinish(conn_);
}

bool PgSession::Begin(const std::string& prepare, const std::string& create, PgTableLoad load,
                      std::string& error) {
  // A connection lost since its last table is tried once more.
  if (PQstatus(conn_) == CONNECTION_BAD) {
    PQreset(conn_);
    if (PQstatus(conn_) == CONNECTION_OK) ConfigurePgConnection(conn_);
  }
  load_ = std::move(load);
  live_not_null_ = !load_.relax.empty();
  error_.clear();
  // The rows and the keys go in one transaction. The table is made in one
  // of its own before: made in the rows' transaction, the server would
  // place its rows on pages otherwise than it does in a table that exists.
  const bool ok = Exec(prepare) && Exec(create) && StartCopy(true, "BEGIN; ");
  if (!ok) {
    error = error_;
    if (PQtransactionStatus(conn_) != PQTRANS_IDLE) PQclear(PQexec(conn_, "ROLLBACK"));
    std::lock_guard guard(lock_);
    idle_ = true;
    changed_.notify_all();
  }
  return ok;
}

bool PgSession::Queue(std::string rows, std::string& error) {
  std::unique_lock lock(lock_);
  changed_.wait(lock, [&] { return failed_ || pool_.queued <= pool_.bound; });
  if (failed_) {
    error = error_;
    return false;
  }
  pool_.queued += rows.size();
  jobs_.push_back({Job::kRows, std::move(rows), nullptr});
  lock.unlock();
  work_.notify_one();
  return true;
}

void PgSession::End(std::shared_ptr<PgLoadOutcome> outcome) {
  Push({Job::kEnd, {}, std::move(outcome)});
}

void PgSession::Abort() {
  {
    std::lock_guard guard(lock_);
    for (const Job& job : jobs_) pool_.queued -= job.rows.size();
    jobs_.clear();
    changed_.notify_all();
  }
  Push({Job::kAbort, {}, nullptr});
  WaitIdle();
}

PGconn* PgSession::WaitIdle() {
  std::unique_lock lock(lock_);
  changed_.wait(lock, [&] { return idle_; });
  return conn_;
}

void PgSession::Push(Job job) {
  {
    std::lock_guard guard(lock_);
    jobs_.push_back(std::move(job));
  }
  work_.notify_one();
}

void PgSession::Run() {
  std::unique_lock lock(lock_);
  for (;;) {
    work_.wait(lock, [&] { return !jobs_.empty() || stop_; });
    if (jobs_.empty()) return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    if (!job.rows.empty()) {
      pool_.queued -= job.rows.size();
      changed_.notify_all();
    }
    const bool failed = failed_;
    lock.unlock();
    bool ok = !failed;
    switch (job.kind) {
      case Job::kRows:
        if (ok) ok = SendRows(job.rows);
        break;
      case Job::kEnd:
        ok = ok && EndCopy() && Commit();
        if (!ok) Drop();
        break;
      case Job::kAbort: Drop(); break;
    }
    lock.lock();
    if (job.kind == Job::kRows) {
      failed_ = !ok;
    } else if (job.outcome) {
      job.outcome->ok = ok;
      job.outcome->error = ok ? "" : error_;
      job.outcome->done = true;
    }
    if (job.kind != Job::kRows) {
      idle_ = true;
      failed_ = false;
    }
    changed_.notify_all();
  }
}

bool PgSession::SendRows(std::string_view rows) {
  if (rows.empty()) return true;
  if ((rows[0] & kPgNullInNotNull) && live_not_null_) {
    live_not_null_ = false;
    if (!EndCopy() || !Exec(load_.relax) || !StartCopy(binary_)) return false;
  }
  if (!(rows[0] & kPgMixedRows)) return Send(rows.substr(1), true);
  // A mixed buffer: its runs of binary rows and of text rows, each in a
  // COPY of its format.
  size_t at = 1;
  while (at < rows.size()) {
    const size_t from = at;
    const bool binary = FieldCount(rows, at) != kPgTextRowMark;
    while (at < rows.size()) {
      const size_t row = at;
      const int16_t count = FieldCount(rows, at);
      if ((count != kPgTextRowMark) != binary) {
        at = row;
        break;
      }
      if (!SkipRow(rows, at, count)) {
        error_ = "postgresql: a prepared row is cut short";
        return false;
      }
    }
    std::string run;
    for (size_t i = from; i < at;) {
      const size_t row = i;
      const int16_t count = FieldCount(rows, i);
      SkipRow(rows, i, count);
      run.append(rows.substr(binary ? row : row + 2, i - (binary ? row : row + 2)));
    }
    if (!Send(run, binary)) return false;
  }
  return true;
}

// COPY FROM STDIN of the table in binary or text format, after the
// statements `before` (each ending "; ").
bool PgSession::StartCopy(bool binary, const std::string& before) {
  PGresult* r = PQexec(conn_, (before + "COPY " + load_.table + " FROM STDIN" +
                               (binary ? " WITH (FORMAT binary)" : "")).c_str());
  const bool ok = PQresultStatus(r) == PGRES_COPY_IN;
  if (!ok) error_ = "postgresql: " + std::string(PQresultErrorMessage(r));
  PQclear(r);
  in_copy_ = ok;
  binary_ = binary;
  if (!ok || !binary) return ok;
  std::string header;
  AppendPgCopyHeader(header);
  return PQputCopyData(conn_, header.data(), static_cast<int>(header.size())) == 1 || Fail();
}

bool PgSession::EndCopy() {
  if (binary_) {
    std::string trailer;
    AppendPgCopyTrailer(trailer);
    if (PQputCopyData(conn_, trailer.data(), static_cast<int>(trailer.size())) != 1)
      return Fail();
  }
  in_copy_ = false;
  if (PQputCopyEnd(conn_, nullptr) != 1) return Fail();
  return Results();
}

// Rows of the given format, sent in the COPY of that format.
bool PgSession::Send(std::string_view rows, bool binary) {
  if (binary != binary_ && !(EndCopy() && StartCopy(binary))) return false;
  if (PQputCopyData(conn_, rows.data(), static_cast<int>(rows.size())) != 1) return Fail();
  return true;
}

// What was sent of a table that failed rolled back, and the table
// dropped; its error kept.
void PgSession::Drop() {
  const std::string keep = error_;
  if (in_copy_) {
    PQputCopyEnd(conn_, "table failed");
    in_copy_ = false;
    Results();
  }
  if (PQtransactionStatus(conn_) != PQTRANS_IDLE) PQclear(PQexec(conn_, "ROLLBACK"));
  // A lost connection took the rows with it, not the table, made in a
  // transaction of its own: a new connection drops it.
  if (PQstatus(conn_) == CONNECTION_BAD) {
    PQreset(conn_);
    if (PQstatus(conn_) == CONNECTION_OK) ConfigurePgConnection(conn_);
  }
  if (!load_.table.empty()) Exec("DROP TABLE IF EXISTS " + load_.table);
  error_ = keep;
}

// NOT NULL and the primary key follow the rows, then the table's
// transaction is committed. A key the recovered rows break is left out,
// the rows stay: each runs in a block of its own so that one failing
// leaves the others, and when the block itself fails, they run one by one,
// each after a savepoint.
bool PgSession::Commit() {
  std::vector<std::string> actions;
  for (const std::string& key : load_.keys)
    if (!live_not_null_ || !key.ends_with(" SET NOT NULL"))  // else made so
      actions.push_back("ALTER TABLE " + load_.table + " " + key);
  std::string block = "DO " + std::string(kBlockQuote) + " BEGIN";
  for (const std::string& action : actions) {
    if (action.find(kBlockQuote) != std::string::npos) block.clear();
    if (block.empty()) break;
    block += " BEGIN " + action + "; EXCEPTION WHEN OTHERS THEN NULL; END;";
  }
  if (actions.empty()) return Exec("COMMIT") && Committed();
  if (!block.empty()) {
    if (Exec("SAVEPOINT tollamer_keys; " + block + " END " + std::string(kBlockQuote) + "; COMMIT"))
      return Committed();
    if (PQtransactionStatus(conn_) != PQTRANS_INERROR ||
        !Exec("ROLLBACK TO SAVEPOINT tollamer_keys"))
      return false;
  }
  for (const std::string& action : actions)
    if (!Exec("SAVEPOINT tollamer_key; " + action) && !Exec("ROLLBACK TO SAVEPOINT tollamer_key"))
      return false;
  return Exec("COMMIT") && Committed();
}

bool PgSession::Fail() {
  error_ = "postgresql: " + std::string(PQerrorMessage(conn_));
  return false;
}

// Reads the results of the last command; false when one failed.
bool PgSession::Results() {
  bool ok = true;
  while (PGresult* r = PQgetResult(conn_)) {
    ExecStatusType s = PQresultStatus(r);
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) {
      ok = false;
      error_ = "postgresql: " + std::string(PQresultErrorMessage(r));
    }
    PQclear(r);
  }
  return ok;
}

bool PgSession::Exec(const std::string& sql) {
  PGresult* r = PQexec(conn_, sql.c_str());
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
  if (!ok) error_ = "postgresql: " + std::string(PQresultErrorMessage(r));
  last_status_ = ok ? PQcmdStatus(r) : "";
  PQclear(r);
  return ok;
}

// Whether the last command was a COMMIT that committed (one of a failed
// transaction says ROLLBACK).
bool PgSession::Committed() {
  if (last_status_ == "COMMIT") return true;
  error_ = "postgresql: the table's transaction was rolled back";
  return false;
}

}  // namespace tollamer
