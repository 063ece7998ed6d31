#include "output/sqlite_target.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "output/sqlite_bind_row.h"
#include "output/sqlite_keys.h"
#include "platform/console.h"
#include "platform/file.h"
#include "platform/pending_outputs.h"
#include "platform/paths.h"
#include "output/type_mapping.h"

namespace tollamer {

namespace {

// Rows bound to one INSERT statement at most.
constexpr size_t kRowsPerInsert = 50;

class SqliteTarget final : public ImportTarget {
 public:
  // `building`: the file is new and being written under a temporary name,
  // renamed to `final_path` when the target closes; nothing else reads it
  // meanwhile, so it needs neither a journal nor syncs.
  SqliteTarget(sqlite3* db, std::string building, std::string final_path)
      : db_(db),
        building_(std::move(building)),
        final_(std::move(final_path)),
        temp_slot_(building_.empty() ? platform::kNoPendingSlot
                                   : platform::RegisterPendingOutput(building_)) {}
  ~SqliteTarget() override {
    Finalize();
    const bool closed = sqlite3_close(db_) == SQLITE_OK;
    if (building_.empty()) return;
    std::error_code ec;
    if (closed)
      std::filesystem::rename(platform::PathFromUtf8(building_), platform::PathFromUtf8(final_), ec);
    if (!closed || ec) std::filesystem::remove(platform::PathFromUtf8(building_), ec);
    platform::ReleasePendingOutput(temp_slot_);
  }

  bool BeginTable(const TableInfo& table, std::string& target_name) override {
    Finalize();
    // Settings written into the file: only once a table is written, so that
    // a run refused for the tables an existing file holds leaves it as it was.
    if (!configured_) {
      configured_ = true;
      if (building_.empty()) {
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=NORMAL");
      } else {
        Exec("PRAGMA page_size=65536");
        Exec("PRAGMA locking_mode=EXCLUSIVE");
        Exec("PRAGMA journal_mode=OFF");
        Exec("PRAGMA synchronous=OFF");
      }
    }
    std::string name = FlatTableName(table.fullName);
    if (!used_.insert(name).second) {
      name += "_" + std::to_string(table.id);
      used_.insert(name);
    }
    target_name = name;
    name_ = name;
    keys_ = table;
    table_ = QuotedIdentifier(name);
    // A table without a primary key gets its NOT NULL columns as it is
    // made, so that no second pass copies its rows to add them: the first
    // NULL such a column is sent turns the table into one without them
    // (Relax), and the rows are asked at the end as for a keyed table.
    not_null_.clear();
    for (const auto& [colid, c] : table.columns) not_null_.push_back(IsNotNullColumn(c));
    live_not_null_ = PrimaryKeyColumns(table).empty() &&
                     std::find(not_null_.begin(), not_null_.end(), true) != not_null_.end();
    const std::string create =
        SqliteCreateTable(table_, table, live_not_null_ ? not_null_ : std::vector<bool>{}, "");
    columns_ = table.columns.size();
    values_ = "(";
    for (size_t i = 0; i < columns_; ++i) values_ += i ? ", ?" : "?";
    values_ += ")";
    if (!Exec("DROP TABLE IF EXISTS " + table_) || !Exec(create)) return false;
    // Rows go in groups of several per statement (one statement's fixed
    // cost for each group), as many as the bound parameters allow, and one
    // by one where a group would cross a transaction's end.
    const int max_parameters = sqlite3_limit(db_, SQLITE_LIMIT_VARIABLE_NUMBER, -1);
    group_ = columns_ ? std::clamp<size_t>(max_parameters / columns_, 1, kRowsPerInsert) : 1;
    if (!PrepareInserts()) return false;
    pending_ = 0;
    return Exec("BEGIN");
  }

  void PrepareRow(const std::vector<TypedValue>& row, std::string& batch) const override {
    PackBindRow(row, columns_, batch);
  }

  bool AddPreparedRows(std::string_view batch, uint64_t rows) override {
    BindRowReader reader(batch);
    while (rows > 0) {
      const bool grouped = group_ > 1 && rows >= group_ &&
                           pending_ + group_ <= kSqliteRowsPerTransaction;
      sqlite3_stmt* statement = grouped ? insert_group_ : insert_;
      const size_t count = grouped ? group_ : 1;
      const BindRowReader group_start = reader;
      const BindOutcome bound = BindRows(reader, statement, count);
      if (bound == BindOutcome::kFailed) return false;
      if (bound == BindOutcome::kNullInNotNull) {
        // Rebound, to the statements of the table without NOT NULL.
        if (!Relax()) return false;
        reader = group_start;
        continue;
      }
      if (sqlite3_step(statement) != SQLITE_DONE) return Fail("insert");
      sqlite3_reset(statement);
      rows -= count;
      pending_ += count;
      if (pending_ == kSqliteRowsPerTransaction) {
        pending_ = 0;
        if (!Exec("COMMIT") || !Exec("BEGIN")) return false;
      }
    }
    return true;
  }

  bool EndTable() override {
    Finalize();
    if (!Exec("COMMIT")) return false;
    if (!live_not_null_) AddSqliteKeys(db_, name_, keys_);
    return true;
  }

  void AbortTable() override {
    Finalize();
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    if (!table_.empty()) sqlite3_exec(db_, ("DROP TABLE IF EXISTS " + table_).c_str(), nullptr,
                                      nullptr, nullptr);
  }

  const std::string& Error() const override { return error_; }

  bool DropLeftTable(const std::string& full_name) override {
    const std::string name = FlatTableName(full_name);
    const auto same = [&](const std::string& made) {
      return std::equal(made.begin(), made.end(), name.begin(), name.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
      });
    };
    return std::any_of(used_.begin(), used_.end(), same) ||
           Exec("DROP TABLE IF EXISTS " + QuotedIdentifier(name));
  }

  // SQLite's table names ignore the case of ASCII letters, as its LIKE does.
  std::optional<std::string> ExistingTable(const std::string& full_name, bool as_prefix) override {
    std::string pattern;
    for (char c : FlatTableName(full_name)) {
      if (c == '%' || c == '_' || c == '\\') pattern.push_back('\\');
      pattern.push_back(c);
    }
    if (as_prefix) pattern.push_back('%');
    const char* sql =
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE ?1 ESCAPE '\\' LIMIT 1";
    sqlite3_stmt* query = nullptr;
    std::optional<std::string> found;
    if (sqlite3_prepare_v2(db_, sql, -1, &query, nullptr) == SQLITE_OK &&
        sqlite3_bind_text(query, 1, pattern.c_str(), static_cast<int>(pattern.size()),
                          SQLITE_TRANSIENT) == SQLITE_OK &&
        sqlite3_step(query) == SQLITE_ROW)
      found = reinterpret_cast<const char*>(sqlite3_column_text(query, 0));
    sqlite3_finalize(query);
    return found;
  }

 private:
  bool Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
    error_ = "sqlite: " + std::string(message ? message : "error") + " in " + sql.substr(0, 80);
    sqlite3_free(message);
    return false;
  }
  bool Fail(const char* what) {
    error_ = std::string("sqlite ") + what + ": " + sqlite3_errmsg(db_);
    return false;
  }
  void Finalize() {
    for (sqlite3_stmt** statement : {&insert_, &insert_group_}) {
      if (*statement) sqlite3_finalize(*statement);
      *statement = nullptr;
    }
  }
  // "INSERT INTO table VALUES (?, ?), (?, ?)" for `rows` rows.
  bool Prepare(const std::string& values, size_t rows, sqlite3_stmt*& statement) {
    std::string sql = "INSERT INTO " + table_ + " VALUES ";
    for (size_t r = 0; r < rows; ++r) sql += (r ? ", " : "") + values;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) ==
        SQLITE_OK)
      return true;
    return Fail("prepare");
  }
  // "INSERT INTO table VALUES (?, ?)" for one row and for `group_` rows.
  bool PrepareInserts() {
    return Prepare(values_, 1, insert_) &&
           (group_ <= 1 || Prepare(values_, group_, insert_group_));
  }
  // The table made again without NOT NULL, its rows copied, under its name.
  bool Relax() {
    Finalize();
    live_not_null_ = false;
    const std::string plain = QuotedIdentifier("tollamer_plain_" + name_);
    return Exec("DROP TABLE IF EXISTS " + plain) &&
           Exec(SqliteCreateTable(plain, keys_, {}, "")) &&
           Exec("INSERT INTO " + plain + " SELECT * FROM " + table_) &&
           Exec("DROP TABLE " + table_) && Exec("ALTER TABLE " + plain + " RENAME TO " + table_) &&
           PrepareInserts();
  }
  enum class BindOutcome { kBound, kFailed, kNullInNotNull };
  // Binds `rows` packed rows to the statement's parameters, in order. The
  // batch outlives the statement's step: texts and blobs bound without a
  // copy.
  BindOutcome BindRows(BindRowReader& reader, sqlite3_stmt* statement, size_t rows) {
    const size_t parameters = rows * columns_;
    BindValue v;
    size_t column = 0;
    for (size_t i = 0; i < parameters; ++i, ++column) {
      if (column == columns_) column = 0;
      if (!reader.Next(v)) {
        error_ = "sqlite: a prepared row is cut short";
        return BindOutcome::kFailed;
      }
      const int index = static_cast<int>(i + 1);
      int rc = SQLITE_OK;
      switch (v.tag) {
        case BindTag::kNull:
          if (live_not_null_ && not_null_[column]) return BindOutcome::kNullInNotNull;
          rc = sqlite3_bind_null(statement, index);
          break;
        case BindTag::kInteger: rc = sqlite3_bind_int64(statement, index, v.integer); break;
        case BindTag::kReal: rc = sqlite3_bind_double(statement, index, v.real); break;
        case BindTag::kText:
          rc = sqlite3_bind_text64(statement, index, v.bytes.data(), v.bytes.size(),
                                   SQLITE_STATIC, SQLITE_UTF8);
          break;
        case BindTag::kBlob:
          rc = sqlite3_bind_blob64(statement, index, v.bytes.data(), v.bytes.size(),
                                   SQLITE_STATIC);
          break;
      }
      if (rc != SQLITE_OK) {
        Fail("bind");
        return BindOutcome::kFailed;
      }
    }
    return BindOutcome::kBound;
  }

  sqlite3* db_;
  std::string building_;  // the temporary name of a new file, or empty
  std::string final_;
  int temp_slot_;  // the temporary's slot among the outputs an interruption removes
  sqlite3_stmt* insert_ = nullptr;        // one row
  sqlite3_stmt* insert_group_ = nullptr;  // `group_` rows
  std::string table_;
  std::string name_;  // unquoted
  TableInfo keys_;    // the table's columns and constraints
  size_t columns_ = 0;
  std::string values_;  // "(?, ?)": one row's parameters
  std::vector<bool> not_null_;  // per column: NOT NULL in the file
  bool live_not_null_ = false;  // the table is made with them
  size_t group_ = 1;
  size_t pending_ = 0;  // rows of the open transaction
  std::set<std::string> used_;
  std::string error_;
  bool configured_ = false;  // the file's settings made (first BeginTable)
};

}  // namespace

std::unique_ptr<ImportTarget> OpenSqliteTarget(const std::string& path, std::string& error) {
  // A new database is built under a temporary name beside its own and
  // appears under its name only when complete; an existing one is changed
  // in place, journaled. A file open as an input is never a target.
  if (platform::IsOpenInput(path)) {
    error = "sqlite: " + path + ": " + platform::kOutputIsInputText;
    return nullptr;
  }
  std::error_code ec;
  const bool exists = std::filesystem::exists(platform::PathFromUtf8(path), ec) || ec;
  std::string building;
  if (!exists) {
    building = path + ".partial-" + std::to_string(platform::ProcessId());
    std::filesystem::remove(platform::PathFromUtf8(building), ec);
  }
  const std::string& open_path = exists ? path : building;
  // One thread uses the connection: it needs no mutex of its own, and the
  // library's memory counters (each allocation locked) are not wanted. The
  // latter can only be set before the library starts; later it stays on.
  static const bool kCountersOff = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
  (void)kCountersOff;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(open_path.c_str(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                      nullptr) != SQLITE_OK) {
    error = "sqlite: cannot open " + path + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close(db);
    if (!building.empty()) std::filesystem::remove(platform::PathFromUtf8(building), ec);
    return nullptr;
  }
  return std::make_unique<SqliteTarget>(db, building, path);
}

}  // namespace tollamer
