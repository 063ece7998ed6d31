#include "output/postgres_target.h"

#include <libpq-fe.h>

#include "engine/values/value_format.h"
#include "output/csv_format.h"
#include "output/type_mapping.h"

namespace tollamer {

namespace {

constexpr size_t kCopyChunk = 1 << 20;

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
  explicit PostgresTarget(PGconn* conn) : conn_(conn) {}
  ~PostgresTarget() override { PQfinish(conn_); }

  bool BeginTable(const TableInfo& table, std::string& target_name) override {
    auto [owner, name] = OwnerAndName(table.fullName);
    const std::string schema = QuotedIdentifier(owner);
    table_ = schema + "." + QuotedIdentifier(name);
    target_name = owner + "." + name;
    columns_.clear();
    keys_.clear();
    for (const auto& [colid, c] : table.columns)
      if (IsNotNullColumn(c)) keys_.push_back("ALTER COLUMN " + QuotedIdentifier(c.name) + " SET NOT NULL");
    if (std::vector<const ColumnInfo*> key = PrimaryKeyColumns(table); !key.empty()) {
      std::string list;
      for (const ColumnInfo* c : key) list += (list.empty() ? "" : ", ") + QuotedIdentifier(c->name);
      keys_.push_back("ADD PRIMARY KEY (" + list + ")");
    }
    std::string create = "CREATE TABLE " + table_ + " (";
    for (const auto& [colid, c] : table.columns) {
      if (!columns_.empty()) create += ", ";
      create += QuotedIdentifier(c.name) + " " + PostgresColumnType(c);
      columns_.push_back(c);
    }
    create += ")";
    if (!Exec("CREATE SCHEMA IF NOT EXISTS " + schema) ||
        !Exec("DROP TABLE IF EXISTS " + table_) || !Exec(create))
      return false;
    PGresult* r = PQexec(conn_, ("COPY " + table_ + " FROM STDIN").c_str());
    const bool ok = PQresultStatus(r) == PGRES_COPY_IN;
    if (!ok) error_ = "postgresql: " + std::string(PQresultErrorMessage(r));
    PQclear(r);
    buffer_.clear();
    in_copy_ = ok;
    return ok;
  }

  void PrepareRow(const std::vector<TypedValue>& row, std::string& batch) const override {
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
    // Prepared rows are COPY lines already: sent in chunks of about 1 MiB.
    buffer_.append(batch);
    return buffer_.size() < kCopyChunk || Send();
  }

  bool EndTable() override {
    if (!Send()) return false;
    in_copy_ = false;
    if (PQputCopyEnd(conn_, nullptr) != 1) return Fail();
    if (!Results()) return false;
    // NOT NULL and the primary key follow the rows: one the recovered rows
    // break is left out, the rows stay.
    for (const std::string& key : keys_) {
      std::string keep = error_;
      Exec("ALTER TABLE " + table_ + " " + key);
      error_ = keep;
    }
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
  bool Send() {
    if (buffer_.empty()) return true;
    if (PQputCopyData(conn_, buffer_.data(), static_cast<int>(buffer_.size())) != 1) return Fail();
    buffer_.clear();
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

  PGconn* conn_;
  std::string table_;
  std::vector<ColumnInfo> columns_;
  std::vector<std::string> keys_;  // ALTER TABLE actions run after the rows
  std::string buffer_;
  std::string error_;
  bool in_copy_ = false;
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
  PQsetClientEncoding(conn, "UTF8");
  return std::make_unique<PostgresTarget>(conn);
}

}  // namespace tollamer
