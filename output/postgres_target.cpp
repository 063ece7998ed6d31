#include "output/postgres_target.h"

#include <libpq-fe.h>

#include <algorithm>
#include <deque>
#include <set>
#include <thread>

#include "engine/values/value_format.h"
#include "output/csv_format.h"
#include "output/postgres_binary.h"
#include "output/postgres_session.h"
#include "output/type_mapping.h"

namespace tollamer {

namespace {

// Prepared rows go to a session in buffers of about this size, and may
// wait for the server up to this much per session.
constexpr size_t kPushBytes = 512 << 10;
constexpr size_t kQueueBytesPerSession = 4 << 20;

void AppendCopyText(std::string& out, std::string_view text) {
  // The runs between the bytes that need a backslash (or are dropped: NUL)
  // go in one piece.
  size_t from = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    std::string_view escape;
    switch (text[i]) {
      case '\\': escape = "\\\\"; break;
      case '\t': escape = "\\t"; break;
      case '\n': escape = "\\n"; break;
      case '\r': escape = "\\r"; break;
      case '\0': break;
      default: continue;
    }
    out.append(text.data() + from, i - from);
    out += escape;
    from = i + 1;
  }
  out.append(text.data() + from, text.size() - from);
}

class PostgresTarget final : public ImportTarget {
 public:
  PostgresTarget(PGconn* conn, std::string conninfo, unsigned sessions)
      : conninfo_(std::move(conninfo)),
        most_sessions_(sessions ? sessions : std::max(2u, std::thread::hardware_concurrency())) {
    pool_.bound = kQueueBytesPerSession * most_sessions_;
    sessions_.push_back(std::make_unique<PgSession>(conn, lock_, changed_, pool_));
  }
  // Each session finishes its work (keys included) as it closes.
  ~PostgresTarget() override { sessions_.clear(); }

  bool BeginTable(const TableInfo& table, std::string& target_name) override {
    if (current_) AbortTable();  // a table neither ended nor aborted
    rows_.clear();
    auto [owner, name] = OwnerAndName(table.fullName);
    const std::string schema = QuotedIdentifier(owner);
    PgTableLoad load;
    load.table = schema + "." + QuotedIdentifier(name);
    target_name = owner + "." + name;
    made_.insert(load.table);
    columns_.clear();
    not_null_.clear();
    // The file's NOT NULL columns are made so with the table (no scan of
    // the rows afterwards), dropped at the first NULL one of them is sent
    // and then set after the rows where they hold.
    std::string relax;
    for (const auto& [colid, c] : table.columns) {
      not_null_.push_back(IsNotNullColumn(c));
      if (!IsNotNullColumn(c)) continue;
      load.keys.push_back("ALTER COLUMN " + QuotedIdentifier(c.name) + " SET NOT NULL");
      relax += (relax.empty() ? "" : ", ") + ("ALTER COLUMN " + QuotedIdentifier(c.name) + " DROP NOT NULL");
    }
    load.relax = relax.empty() ? "" : "ALTER TABLE " + load.table + " " + relax;
    if (std::vector<const ColumnInfo*> key = PrimaryKeyColumns(table); !key.empty()) {
      std::string list;
      for (const ColumnInfo* c : key) list += (list.empty() ? "" : ", ") + QuotedIdentifier(c->name);
      load.keys.push_back("ADD PRIMARY KEY (" + list + ")");
    }
    std::string create = "CREATE TABLE " + load.table + " (";
    types_.clear();
    for (const auto& [colid, c] : table.columns) {
      if (!columns_.empty()) create += ", ";
      create += QuotedIdentifier(c.name) + " " + PostgresColumnType(c);
      if (IsNotNullColumn(c)) create += " NOT NULL";
      columns_.push_back(c);
      types_.push_back(PgBinaryTypeOf(c));
    }
    create += ")";
    const std::string prepare =
        "CREATE SCHEMA IF NOT EXISTS " + schema + "; DROP TABLE IF EXISTS " + load.table;
    PgSession& session = IdleSession();
    if (!session.Begin(prepare, create, std::move(load), error_)) return false;
    current_ = &session;
    return true;
  }

  void PrepareRow(const std::vector<TypedValue>& row, std::string& batch) const override {
    if (batch.empty()) batch.push_back(0);
    for (size_t i = 0; i < not_null_.size(); ++i)
      if (not_null_[i] && (i >= row.size() || row[i].IsNull())) batch[0] |= kPgNullInNotNull;
    if (AppendPgBinaryRow(batch, types_, row)) return;
    batch[0] |= kPgMixedRows;
    batch.push_back(static_cast<char>(static_cast<uint16_t>(kPgTextRowMark) >> 8));
    batch.push_back(static_cast<char>(kPgTextRowMark & 0xFF));
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (i) batch.push_back('\t');
      if (i < row.size())
        AppendCopyValue(batch, columns_[i], row[i]);
      else
        batch += "\\N";
    }
    batch.push_back('\n');
  }

  // Batches are gathered into buffers of kPushBytes for the table's
  // session, their flags merged: a NULL in a NOT NULL column then relaxes
  // the columns a few rows early, with the same outcome.
  bool AddPreparedRows(std::string_view batch, uint64_t) override {
    if (batch.empty()) return true;
    if (!current_) {
      error_ = "postgresql: no table is being loaded";
      return false;
    }
    if (rows_.empty()) {
      rows_.reserve(kPushBytes + batch.size());
      rows_.push_back(0);
    }
    rows_[0] |= batch[0];
    rows_.append(batch.substr(1));
    return rows_.size() < kPushBytes || Push();
  }

  bool EndTable() override {
    bool loading = false;
    return End(false, loading);
  }
  bool EndTableQueued(bool& loading) override { return End(true, loading); }

  std::optional<bool> NextOutcome(bool wait, std::string& error) override {
    if (loading_.empty()) return std::nullopt;
    std::unique_lock lock(lock_);
    const std::shared_ptr<PgLoadOutcome> outcome = loading_.front();
    if (!outcome->done && !wait) return std::nullopt;
    changed_.wait(lock, [&] { return outcome->done; });
    loading_.pop_front();
    if (!outcome->ok) error = outcome->error;
    return outcome->ok;
  }

  void AbortTable() override {
    rows_.clear();
    if (current_) current_->Abort();
    current_ = nullptr;
  }

  const std::string& Error() const override { return error_; }

  bool DropLeftTable(const std::string& full_name) override {
    auto [owner, name] = OwnerAndName(full_name);
    const std::string table = QuotedIdentifier(owner) + "." + QuotedIdentifier(name);
    // Asked first: the server would answer a drop of a table it lacks
    // with a notice.
    if (made_.contains(table) || !ExistingTable(full_name, false)) return true;
    PGresult* r = PQexec(sessions_.front()->WaitIdle(), ("DROP TABLE IF EXISTS " + table).c_str());
    const bool dropped = PQresultStatus(r) == PGRES_COMMAND_OK;
    if (!dropped) error_ = std::string("postgresql: ") + PQresultErrorMessage(r);
    PQclear(r);
    return dropped;
  }

  std::optional<std::string> ExistingTable(const std::string& full_name, bool as_prefix) override {
    for (const auto& s : sessions_) s->WaitIdle();  // their tables' keys built
    PGconn* conn = sessions_.front()->WaitIdle();
    auto [owner, name] = OwnerAndName(full_name);
    const char* sql =
        "SELECT n.nspname || '.' || c.relname FROM pg_class c JOIN pg_namespace n ON "
        "n.oid = c.relnamespace WHERE c.relkind IN ('r', 'p') AND n.nspname = $1 AND "
        "(c.relname = $2 OR ($3 AND left(c.relname, length($2)) = $2)) LIMIT 1";
    const char* values[] = {owner.c_str(), name.c_str(), as_prefix ? "t" : "f"};
    PGresult* r = PQexecParams(conn, sql, 3, nullptr, values, nullptr, nullptr, 0);
    std::optional<std::string> found;
    if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0) found = PQgetvalue(r, 0, 0);
    PQclear(r);
    return found;
  }

 private:
  // An idle session, claimed: one that is, a new one while there are fewer
  // than most_sessions_, or the first to finish its table.
  PgSession& IdleSession() {
    std::unique_lock lock(lock_);
    for (;;) {
      for (const auto& s : sessions_)
        if (s->Idle()) {
          s->Claim();
          return *s;
        }
      if (sessions_.size() < most_sessions_) {
        lock.unlock();
        PGconn* conn = PQconnectdb(conninfo_.c_str());
        const bool ok = conn && PQstatus(conn) == CONNECTION_OK;
        if (ok) ConfigurePgConnection(conn);
        else PQfinish(conn);
        lock.lock();
        if (ok) {
          sessions_.push_back(std::make_unique<PgSession>(conn, lock_, changed_, pool_));
          sessions_.back()->Claim();
          return *sessions_.back();
        }
        most_sessions_ = sessions_.size();  // the server takes no more
        continue;
      }
      changed_.wait(lock);
    }
  }

  // The rows gathered, to the table's session.
  bool Push() {
    if (rows_.size() <= 1) {
      rows_.clear();
      return true;
    }
    const bool ok = current_->Queue(std::move(rows_), error_);
    rows_.clear();
    return ok;
  }

  // Ends the table: with `queue`, returns once its end is queued (its
  // outcome to come from NextOutcome), else once its rows are in.
  bool End(bool queue, bool& loading) {
    loading = false;
    if (!current_) {
      error_ = "postgresql: no table is being loaded";
      return false;
    }
    if (!Push()) return false;
    auto outcome = std::make_shared<PgLoadOutcome>();
    current_->End(outcome);
    current_ = nullptr;
    if (queue) {
      loading_.push_back(outcome);
      loading = true;
      return true;
    }
    std::unique_lock lock(lock_);
    changed_.wait(lock, [&] { return outcome->done; });
    if (!outcome->ok) error_ = outcome->error;
    return outcome->ok;
  }

  std::mutex lock_;  // the sessions' state, the pool and the outcomes
  std::condition_variable changed_;
  PgQueuePool pool_;
  std::string conninfo_;
  size_t most_sessions_;
  std::vector<std::unique_ptr<PgSession>> sessions_;  // the first opened first
  PgSession* current_ = nullptr;  // the session of the table being sent
  std::string rows_;              // prepared rows gathered for it
  // Read by PrepareRow on the decoding threads: settled by BeginTable.
  std::vector<ColumnInfo> columns_;
  std::vector<bool> not_null_;       // per column: NOT NULL in the file
  std::vector<PgBinaryType> types_;  // per column
  // Tables ended with EndTableQueued whose outcome is not yet told.
  std::deque<std::shared_ptr<PgLoadOutcome>> loading_;
  std::string error_;
  std::set<std::string> made_;  // the tables BeginTable made, as schema.table quoted
};

}  // namespace

void AppendCopyValue(std::string& out, const ColumnInfo& column, const TypedValue& v) {
  switch (v.kind) {
    case TypedKind::kNull: out += "\\N"; return;
    case TypedKind::kInteger:
      if (column.xtype == value_type::kBit) {
        out += v.integer ? "t" : "f";
        return;
      }
      AppendExportText(out, v);
      return;
    case TypedKind::kFloat: {
      char buf[kMaxFloatText];
      std::string_view text(buf, static_cast<size_t>(PutFloatText(buf, v) - buf));
      if (text == "inf") text = "Infinity";
      if (text == "-inf") text = "-Infinity";
      if (text == "nan" || text == "-nan") text = "NaN";
      out += text;
      return;
    }
    case TypedKind::kBytes:
      out += "\\\\x";
      AppendHexDigits(out, ByteView(v.bytes.data(), v.bytes.size()));
      return;
    case TypedKind::kText: AppendCopyText(out, v.text); return;
    default:
      // Exact numbers, dates and GUIDs hold no tab, line break or backslash.
      AppendExportText(out, v);
      return;
  }
}

std::unique_ptr<ImportTarget> OpenPostgresTarget(const std::string& conninfo, std::string& error,
                                                 unsigned sessions) {
  PGconn* conn = PQconnectdb(conninfo.c_str());
  if (!conn || PQstatus(conn) != CONNECTION_OK) {
    error = "postgresql: " + std::string(conn ? PQerrorMessage(conn) : "out of memory");
    PQfinish(conn);
    return nullptr;
  }
  ConfigurePgConnection(conn);
  return std::make_unique<PostgresTarget>(conn, conninfo, sessions);
}

}  // namespace tollamer
