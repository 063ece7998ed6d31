// One connection of a PostgreSQL import and the thread that loads a table
// through it. The table's rows come as buffers of prepared rows through a
// queue, all the sessions' queues bounded together by a few MiB per
// session (PgQueuePool), so that decoding runs ahead of the server by that
// much at most and waits for it beyond; the table's end (the COPY's end,
// then its NOT NULL columns and primary key, and the commit of the
// transaction that made and loaded it) runs on the thread too. The
// import's thread meanwhile decodes the next table and sends it to another
// session: the server loads several tables at once.
#pragma once

#include <libpq-fe.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tollamer {

// A buffer of prepared rows begins with a byte of these flags. The rows of a
// mixed buffer are binary rows and, where a row has no exact binary form,
// the row's COPY text line after the field count kPgTextRowMark.
inline constexpr char kPgMixedRows = 1;
inline constexpr char kPgNullInNotNull = 2;  // a row has NULL in a NOT NULL column
inline constexpr int16_t kPgTextRowMark = -2;

// What a session needs of the table it loads, settled before the rows.
struct PgTableLoad {
  std::string table;  // "schema"."name"
  // ALTER TABLE dropping the NOT NULL of its columns (empty when none has
  // one), run at the first NULL one of them gets.
  std::string relax;
  // ALTER TABLE actions once the rows are in; those ending " SET NOT NULL"
  // only when the columns were relaxed.
  std::vector<std::string> keys;
};

// How a table's load ended; filled in under the owner's lock, `done` last.
struct PgLoadOutcome {
  bool done = false;
  bool ok = false;
  std::string error;
};

// The prepared rows queued for an import's sessions and their bound, one
// for all of them (under the owner's lock): the session the rows of the
// table being decoded go to may run ahead by the others' share while they
// finish theirs, so that the server loads their tables and the next at once.
struct PgQueuePool {
  size_t queued = 0;
  size_t bound = 0;
};

// Client encoding and socket buffer of a new connection.
void ConfigurePgConnection(PGconn* conn);

class PgSession {
 public:
  // `lock`, `changed` and `pool` are the owner's: `changed` is told
  // whenever a load ends, the pool shrinks or the session becomes idle.
  PgSession(PGconn* conn, std::mutex& lock, std::condition_variable& changed, PgQueuePool& pool);
  // Finishes the work queued, then closes the connection.
  ~PgSession();
  PgSession(const PgSession&) = delete;
  PgSession& operator=(const PgSession&) = delete;

  // With the owner's lock held: whether no table is loading or having its
  // keys built; Claim makes it busy for the owner's next Begin.
  bool Idle() const { return idle_; }
  void Claim() { idle_ = false; }

  // The rest runs on the owner's thread without the lock.
  // On a claimed session: runs `prepare` (the table's schema made, an old
  // table of its name dropped) and `create` (the table made), then starts
  // the table's COPY in a transaction that its keys end. False with
  // `error` set when one failed; the session is idle again then.
  bool Begin(const std::string& prepare, const std::string& create, PgTableLoad load,
             std::string& error);
  // Queues prepared rows (a flags byte first), waiting while the pool is
  // full; false with `error` set when the load has failed.
  bool Queue(std::string rows, std::string& error);
  // Queues the table's end: `outcome` is filled in once its rows are in;
  // its keys are built after that.
  void End(std::shared_ptr<PgLoadOutcome> outcome);
  // Leaves the rows still queued, ends the COPY and drops the table;
  // returns once done.
  void Abort();
  // Waits until the session is idle; its connection is then the owner's to
  // query.
  PGconn* WaitIdle();

 private:
  struct Job {
    enum Kind : uint8_t { kRows, kEnd, kAbort } kind = kRows;
    std::string rows;
    std::shared_ptr<PgLoadOutcome> outcome;
  };

  void Run();
  void Push(Job job);
  // The worker's part, on the session's connection.
  bool SendRows(std::string_view rows);
  bool StartCopy(bool binary, const std::string& before = {});
  bool EndCopy();
  bool Send(std::string_view rows, bool binary);
  void Drop();
  bool Commit();
  bool Committed();
  bool Fail();
  bool Results();
  bool Exec(const std::string& sql);

  PGconn* conn_;
  std::mutex& lock_;
  std::condition_variable& changed_;
  std::condition_variable work_;  // a job came, or the session stops
  PgQueuePool& pool_;
  std::deque<Job> jobs_;
  bool idle_ = true;
  bool failed_ = false;  // the load under way failed: its rows are left
  bool stop_ = false;
  // The worker's (and the owner's while the session is claimed and not
  // yet sent a job).
  PgTableLoad load_;
  bool live_not_null_ = false;  // the table keeps its NOT NULL while its rows come
  bool in_copy_ = false;
  bool binary_ = false;  // the COPY under way is in binary format
  std::string error_;
  std::string last_status_;  // the command status of Exec's last command
  std::thread worker_;
};

}  // namespace tollamer
