#include "output/sqlite_target.h"

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>

#include <set>

#include "output/csv_format.h"
#include "output/type_mapping.h"

namespace tollamer {

namespace {

class SqliteTarget final : public ImportTarget {
 public:
  // `building`: the file is new and being written under a temporary name,
  // renamed to `final_path` when the target closes; nothing else reads it
  // meanwhile, so it needs neither a journal nor syncs.
  SqliteTarget(sqlite3* db, std::string building, std::string final_path)
      : db_(db), building_(std::move(building)), final_(std::move(final_path)) {
    if (building_.empty()) {
      Exec("PRAGMA journal_mode=WAL");
      Exec("PRAGMA synchronous=NORMAL");
    } else {
      Exec("PRAGMA journal_mode=OFF");
      Exec("PRAGMA synchronous=OFF");
    }
  }
  ~SqliteTarget() override {
    Finalize();
    const bool closed = sqlite3_close(db_) == SQLITE_OK;
    if (building_.empty()) return;
    std::error_code ec;
    if (closed) std::filesystem::rename(building_, final_, ec);
    if (!closed || ec) std::filesystem::remove(building_, ec);
  }

  bool BeginTable(const TableInfo& table, std::string& target_name) override {
    Finalize();
    std::string name = FlatTableName(table.fullName);
    if (!used_.insert(name).second) {
      name += "_" + std::to_string(table.id);
      used_.insert(name);
    }
    target_name = name;
    table_ = QuotedIdentifier(name);
    std::string create = "CREATE TABLE " + table_ + " (";
    std::string insert = "INSERT INTO " + table_ + " VALUES (";
    size_t i = 0;
    for (const auto& [colid, c] : table.columns) {
      if (i) {
        create += ", ";
        insert += ", ";
      }
      create += QuotedIdentifier(c.name) + " " + SqliteColumnType(c);
      insert += "?";
      ++i;
    }
    columns_ = i;
    scratch_.assign(columns_, std::string());
    create += ")";
    insert += ")";
    if (!Exec("DROP TABLE IF EXISTS " + table_) || !Exec(create)) return false;
    if (sqlite3_prepare_v2(db_, insert.c_str(), -1, &insert_, nullptr) != SQLITE_OK)
      return Fail("prepare");
    pending_ = 0;
    return Exec("BEGIN");
  }

  bool AddRow(const std::vector<TypedValue>& row) override {
    for (size_t i = 0; i < columns_; ++i) {
      const int index = static_cast<int>(i + 1);
      const TypedValue* v = i < row.size() ? &row[i] : nullptr;
      int rc = SQLITE_OK;
      if (!v || v->IsNull()) {
        rc = sqlite3_bind_null(insert_, index);
      } else if (v->kind == TypedKind::kInteger) {
        rc = sqlite3_bind_int64(insert_, index, v->integer);
      } else if (v->kind == TypedKind::kFloat) {
        rc = sqlite3_bind_double(insert_, index, v->real);
      } else if (v->kind == TypedKind::kBytes) {
        // The row outlives the statement's step: bound without a copy.
        rc = sqlite3_bind_blob64(insert_, index, v->bytes.data(), v->bytes.size(), SQLITE_STATIC);
      } else if (v->kind == TypedKind::kText) {
        rc = sqlite3_bind_text64(insert_, index, v->text.data(), v->text.size(), SQLITE_STATIC,
                                 SQLITE_UTF8);
      } else {
        // Exact numbers, dates and GUIDs as text; NUMERIC columns turn the
        // numbers into numbers.
        std::string& text = scratch_[i];
        text = ExportText(*v);
        rc = sqlite3_bind_text64(insert_, index, text.data(), text.size(), SQLITE_STATIC,
                                 SQLITE_UTF8);
      }
      if (rc != SQLITE_OK) return Fail("bind");
    }
    if (sqlite3_step(insert_) != SQLITE_DONE) return Fail("insert");
    sqlite3_reset(insert_);
    if (++pending_ == kSqliteRowsPerTransaction) {
      pending_ = 0;
      if (!Exec("COMMIT") || !Exec("BEGIN")) return false;
    }
    return true;
  }

  bool EndTable() override {
    Finalize();
    return Exec("COMMIT");
  }

  void AbortTable() override {
    Finalize();
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    if (!table_.empty()) sqlite3_exec(db_, ("DROP TABLE IF EXISTS " + table_).c_str(), nullptr,
                                      nullptr, nullptr);
  }

  const std::string& Error() const override { return error_; }

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
    if (insert_) sqlite3_finalize(insert_);
    insert_ = nullptr;
  }

  sqlite3* db_;
  std::string building_;  // the temporary name of a new file, or empty
  std::string final_;
  sqlite3_stmt* insert_ = nullptr;
  std::string table_;
  size_t columns_ = 0;
  std::vector<std::string> scratch_;  // texts made for a row, bound until its step
  size_t pending_ = 0;
  std::set<std::string> used_;
  std::string error_;
};

}  // namespace

std::unique_ptr<ImportTarget> OpenSqliteTarget(const std::string& path, std::string& error) {
  // A new database is built under a temporary name beside its own and
  // appears under its name only when complete; an existing one is changed
  // in place, journaled.
  std::error_code ec;
  const bool exists = std::filesystem::exists(path, ec) || ec;
  std::string building;
  if (!exists) {
    building = path + ".partial-" + std::to_string(::getpid());
    std::filesystem::remove(building, ec);
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
    if (!building.empty()) std::filesystem::remove(building, ec);
    return nullptr;
  }
  return std::make_unique<SqliteTarget>(db, building, path);
}

}  // namespace tollamer
