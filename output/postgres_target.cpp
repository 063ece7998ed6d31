#include "output/postgres_target.h"

#include <libpq-fe.h>
#include <sys/socket.h>

#include <algorithm>
#include <thread>

#include "engine/values/value_format.h"
#include "output/csv_format.h"
#include "output/postgres_binary.h"
#include "output/type_mapping.h"

namespace tollamer {

namespace {

// A batch of prepared rows begins with a byte of these flags. The rows of a
// mixed batch are binary rows and, where a row has no exact binary form,
// the row's COPY text line after the field count kTextRowMark.
constexpr char kMixedBatch = 1;
constexpr char kNullInNotNull = 2;  // a row has NULL in a NOT NULL column
constexpr int16_t kTextRowMark = -2;

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

void Configure(PGconn* conn) {
  PQsetClientEncoding(conn, "UTF8");
  // Room for a few batches in the socket's buffer: the rows go in fewer,
  // larger writes, with fewer waits for the server to read (the system
  // caps the size it grants).
  if (const int fd = PQsocket(conn); fd >= 0) {
    const int bytes = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
  }
}

class PostgresTarget final : public ImportTarget {
 public:
  PostgresTarget(PGconn* conn, std::string conninfo)
      : conn_(conn), conninfo_(std::move(conninfo)) {
    sessions_.push_back({conn, {}});
  }
  ~PostgresTarget() override {
    for (Session& s : sessions_) {
      Finish(s);
      PQfinish(s.conn);
    }
  }

  bool BeginTable(const TableInfo& table, std::string& target_name) override {
    conn_ = IdleSession().conn;
    auto [owner, name] = OwnerAndName(table.fullName);
    const std::string schema = QuotedIdentifier(owner);
    table_ = schema + "." + QuotedIdentifier(name);
    target_name = owner + "." + name;
    columns_.clear();
    keys_.clear();
    not_null_.clear();
    // The file's NOT NULL columns are made so with the table (no scan of
    // the rows afterwards), dropped at the first NULL one of them is sent
    // and then set after the rows where they hold.
    std::string relax;
    for (const auto& [colid, c] : table.columns) {
      not_null_.push_back(IsNotNullColumn(c));
      if (!IsNotNullColumn(c)) continue;
      keys_.push_back("ALTER COLUMN " + QuotedIdentifier(c.name) + " SET NOT NULL");
      relax += (relax.empty() ? "" : ", ") + ("ALTER COLUMN " + QuotedIdentifier(c.name) + " DROP NOT NULL");
    }
    relax_ = relax.empty() ? "" : "ALTER TABLE " + table_ + " " + relax;
    live_not_null_ = !relax.empty();
    if (std::vector<const ColumnInfo*> key = PrimaryKeyColumns(table); !key.empty()) {
      std::string list;
      for (const ColumnInfo* c : key) list += (list.empty() ? "" : ", ") + QuotedIdentifier(c->name);
      keys_.push_back("ADD PRIMARY KEY (" + list + ")");
    }
    std::string create = "CREATE TABLE " + table_ + " (";
    types_.clear();
    for (const auto& [colid, c] : table.columns) {
      if (!columns_.empty()) create += ", ";
      create += QuotedIdentifier(c.name) + " " + PostgresColumnType(c);
      if (IsNotNullColumn(c)) create += " NOT NULL";
      columns_.push_back(c);
      types_.push_back(PgBinaryTypeOf(c));
    }
    create += ")";
    if (!Exec("CREATE SCHEMA IF NOT EXISTS " + schema) ||
        !Exec("DROP TABLE IF EXISTS " + table_) || !Exec(create))
      return false;
    return StartCopy(true);
  }

  void PrepareRow(const std::vector<TypedValue>& row, std::string& batch) const override {
    if (batch.empty()) batch.push_back(0);
    for (size_t i = 0; i < not_null_.size(); ++i)
      if (not_null_[i] && (i >= row.size() || row[i].IsNull())) batch[0] |= kNullInNotNull;
    if (AppendPgBinaryRow(batch, types_, row)) return;
    batch[0] |= kMixedBatch;
    batch.push_back(static_cast<char>(static_cast<uint16_t>(kTextRowMark) >> 8));
    batch.push_back(static_cast<char>(kTextRowMark & 0xFF));
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (i) batch.push_back('\t');
      if (i < row.size())
        AppendCopyValue(batch, columns_[i], row[i]);
      else
        batch += "\\N";
    }
    batch.push_back('\n');
  }

  bool AddPreparedRows(std::string_view batch, uint64_t) override {
    if (batch.empty()) return true;
    if ((batch[0] & kNullInNotNull) && live_not_null_) {
      live_not_null_ = false;
      if (!EndCopy() || !Exec(relax_) || !StartCopy(binary_)) return false;
    }
    if (!(batch[0] & kMixedBatch)) return Send(batch.substr(1), true);
    // A mixed batch: its runs of binary rows and of text rows, each in a
    // COPY of its format.
    size_t at = 1;
    while (at < batch.size()) {
      const size_t from = at;
      const bool binary = FieldCount(batch, at) != kTextRowMark;
      while (at < batch.size()) {
        const size_t row = at;
        const int16_t count = FieldCount(batch, at);
        if ((count != kTextRowMark) != binary) {
          at = row;
          break;
        }
        if (!SkipRow(batch, at, count)) {
          error_ = "postgresql: a prepared row is cut short";
          return false;
        }
      }
      std::string run;
      for (size_t i = from; i < at;) {
        const size_t row = i;
        const int16_t count = FieldCount(batch, i);
        SkipRow(batch, i, count);
        run.append(batch.substr(binary ? row : row + 2, i - (binary ? row : row + 2)));
      }
      if (!Send(run, binary)) return false;
    }
    return true;
  }

  bool EndTable() override {
    if (!EndCopy()) return false;
    // NOT NULL and the primary key follow the rows: one the recovered rows
    // break is left out, the rows stay. They are built on this session
    // while the next table's rows go through another (at most one session
    // per core), each in a block of its own so that one failing leaves
    // the others; the target waits for them before it closes.
    Session& session = Current();
    for (const std::string& key : keys_)
      if (!live_not_null_ || !key.ends_with(" SET NOT NULL"))  // else made so
        session.pending.push_back("ALTER TABLE " + table_ + " " + key);
    std::string block = "DO " + std::string(kBlockQuote) + " BEGIN";
    for (const std::string& action : session.pending) {
      if (action.find(kBlockQuote) != std::string::npos) block.clear();
      if (block.empty()) break;
      block += " BEGIN " + action + "; EXCEPTION WHEN OTHERS THEN NULL; END;";
    }
    if (session.pending.empty()) return true;
    if (block.empty() || PQsendQuery(conn_, (block + " END " + std::string(kBlockQuote)).c_str()) != 1)
      RunPending(session);
    return true;
  }

  void AbortTable() override {
    if (in_copy_) {
      PQputCopyEnd(conn_, "table failed");
      in_copy_ = false;
      std::string keep = error_;
      Results();
      error_ = keep;
    }
    if (!table_.empty()) {
      std::string keep = error_;
      Exec("DROP TABLE IF EXISTS " + table_);
      error_ = keep;
    }
  }

  const std::string& Error() const override { return error_; }

  std::optional<std::string> ExistingTable(const std::string& full_name, bool as_prefix) override {
    for (Session& s : sessions_) Finish(s);
    conn_ = sessions_.front().conn;
    auto [owner, name] = OwnerAndName(full_name);
    const char* sql =
        "SELECT n.nspname || '.' || c.relname FROM pg_class c JOIN pg_namespace n ON "
        "n.oid = c.relnamespace WHERE c.relkind IN ('r', 'p') AND n.nspname = $1 AND "
        "(c.relname = $2 OR ($3 AND left(c.relname, length($2)) = $2)) LIMIT 1";
    const char* values[] = {owner.c_str(), name.c_str(), as_prefix ? "t" : "f"};
    PGresult* r = PQexecParams(conn_, sql, 3, nullptr, values, nullptr, nullptr, 0);
    std::optional<std::string> found;
    if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0) found = PQgetvalue(r, 0, 0);
    PQclear(r);
    return found;
  }

 private:
  // A connection and the ALTER TABLE actions it runs after a table's rows
  // (sent as one block, not waited for); empty when it is free.
  struct Session {
    PGconn* conn = nullptr;
    std::vector<std::string> pending;
  };
  static constexpr std::string_view kBlockQuote = "$tollamer_keys$";

  Session& Current() {
    for (Session& s : sessions_)
      if (s.conn == conn_) return s;
    return sessions_.front();
  }
  // A free session: one that is, a new one while there are fewer than the
  // cores, or the first busy one once it is done.
  Session& IdleSession() {
    for (Session& s : sessions_)
      if (s.pending.empty()) return s;
    if (sessions_.size() < std::max(2u, std::thread::hardware_concurrency())) {
      PGconn* conn = PQconnectdb(conninfo_.c_str());
      if (conn && PQstatus(conn) == CONNECTION_OK) {
        Configure(conn);
        sessions_.push_back({conn, {}});
        return sessions_.back();
      }
      PQfinish(conn);
    }
    Finish(sessions_.front());
    return sessions_.front();
  }
  // Waits for the session's block; when the block itself failed (not one of
  // its actions), its actions run one by one.
  void Finish(Session& s) {
    if (s.pending.empty()) return;
    bool failed = false;
    while (PGresult* r = PQgetResult(s.conn)) {
      failed = failed || PQresultStatus(r) != PGRES_COMMAND_OK;
      PQclear(r);
    }
    if (failed) RunPending(s);
    s.pending.clear();
  }
  void RunPending(Session& s) {
    for (const std::string& action : s.pending) PQclear(PQexec(s.conn, action.c_str()));
    s.pending.clear();
  }

  // COPY FROM STDIN of the table in binary or text format.
  bool StartCopy(bool binary) {
    PGresult* r = PQexec(conn_, ("COPY " + table_ + " FROM STDIN" +
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
  bool EndCopy() {
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
  bool Send(std::string_view rows, bool binary) {
    if (binary != binary_ && !(EndCopy() && StartCopy(binary))) return false;
    if (PQputCopyData(conn_, rows.data(), static_cast<int>(rows.size())) != 1) return Fail();
    return true;
  }
  // The field count of the row at `at` (kTextRowMark for a text row).
  static int16_t FieldCount(std::string_view batch, size_t at) {
    if (at + 2 > batch.size()) return 0;
    return static_cast<int16_t>((static_cast<uint8_t>(batch[at]) << 8) |
                                static_cast<uint8_t>(batch[at + 1]));
  }
  // Moves `at` past the row there; false when it runs past the batch.
  static bool SkipRow(std::string_view batch, size_t& at, int16_t count) {
    at += 2;
    if (count == kTextRowMark) {
      const size_t end = batch.find('\n', at);
      if (end == std::string_view::npos) return false;
      at = end + 1;
      return true;
    }
    for (int16_t i = 0; i < count; ++i) {
      if (at + 4 > batch.size()) return false;
      const int32_t length = static_cast<int32_t>(
          (uint32_t{static_cast<uint8_t>(batch[at])} << 24) |
          (uint32_t{static_cast<uint8_t>(batch[at + 1])} << 16) |
          (uint32_t{static_cast<uint8_t>(batch[at + 2])} << 8) | static_cast<uint8_t>(batch[at + 3]));
      at += 4;
      if (length > 0) at += static_cast<size_t>(length);
      if (at > batch.size()) return false;
    }
    return true;
  }
  bool Fail() {
    error_ = "postgresql: " + std::string(PQerrorMessage(conn_));
    return false;
  }
  // Reads the results of the last command; false when one failed.
  bool Results() {
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
  bool Exec(const std::string& sql) {
    PGresult* r = PQexec(conn_, sql.c_str());
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    if (!ok) error_ = "postgresql: " + std::string(PQresultErrorMessage(r));
    PQclear(r);
    return ok;
  }

  PGconn* conn_;  // the session of the table under way
  std::string conninfo_;
  std::vector<Session> sessions_;  // conn_'s first
  std::string table_;
  std::vector<ColumnInfo> columns_;
  std::vector<std::string> keys_;  // ALTER TABLE actions run after the rows
  std::vector<bool> not_null_;     // per column: NOT NULL in the file
  std::string relax_;              // drops the NOT NULL of the table's columns
  bool live_not_null_ = false;     // the table has them while its rows come
  std::vector<PgBinaryType> types_;  // per column
  std::string error_;
  bool in_copy_ = false;
  bool binary_ = false;  // the COPY under way is in binary format
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

std::unique_ptr<ImportTarget> OpenPostgresTarget(const std::string& conninfo, std::string& error) {
  PGconn* conn = PQconnectdb(conninfo.c_str());
  if (!conn || PQstatus(conn) != CONNECTION_OK) {
    error = "postgresql: " + std::string(conn ? PQerrorMessage(conn) : "out of memory");
    PQfinish(conn);
    return nullptr;
  }
  Configure(conn);
  return std::make_unique<PostgresTarget>(conn, conninfo);
}

}  // namespace tollamer
