#include "output/sqlite_keys.h"

#include <vector>

#include "output/db_import.h"
#include "output/type_mapping.h"

namespace tollamer {

namespace {

bool Exec(sqlite3* db, const std::string& sql) {
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The integer columns of the one row `sql` gives; empty on failure.
std::vector<int64_t> QueryRow(sqlite3* db, const std::string& sql) {
  std::vector<int64_t> out;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) return out;
  if (sqlite3_step(statement) == SQLITE_ROW)
    for (int i = 0; i < sqlite3_column_count(statement); ++i)
      out.push_back(sqlite3_column_int64(statement, i));
  sqlite3_finalize(statement);
  return out;
}

}  // namespace

bool AddSqliteKeys(sqlite3* db, const std::string& name, const TableInfo& table) {
  const std::string quoted = QuotedIdentifier(name);
  std::vector<const ColumnInfo*> not_null;
  for (const auto& [colid, c] : table.columns)
    if (IsNotNullColumn(c)) not_null.push_back(&c);
  std::vector<const ColumnInfo*> key = PrimaryKeyColumns(table);
  if (not_null.empty() && key.empty()) return true;

  // One pass: per NOT NULL column whether a NULL is stored, then whether a
  // key value is stored twice.
  std::string ask = "SELECT ";
  for (const ColumnInfo* c : not_null) ask += "coalesce(max(" + QuotedIdentifier(c->name) + " IS NULL), 0), ";
  std::string key_list;
  for (const ColumnInfo* c : key) key_list += (key_list.empty() ? "" : ", ") + QuotedIdentifier(c->name);
  ask += key.empty() ? "0" : "(SELECT count(*) FROM (SELECT 1 FROM " + quoted + " GROUP BY " +
                                 key_list + " HAVING count(*) > 1 LIMIT 1))";
  ask += " FROM " + quoted;
  std::vector<int64_t> found = QueryRow(db, ask);
  if (found.size() != not_null.size() + 1) return false;

  const std::string keyed = QuotedIdentifier("tollamer_keyed_" + name);
  std::vector<bool> kept;
  for (const auto& [colid, c] : table.columns) {
    bool held = false;
    for (size_t i = 0; i < not_null.size(); ++i)
      if (not_null[i] == &c && found[i] == 0) held = true;
    kept.push_back(held);
  }
  const bool with_key = !key.empty() && found.back() == 0;
  const std::string create = SqliteCreateTable(keyed, table, kept, with_key ? key_list : "");
  bool ok = Exec(db, "BEGIN") && Exec(db, "DROP TABLE IF EXISTS " + keyed) && Exec(db, create) &&
            Exec(db, "INSERT INTO " + keyed + " SELECT * FROM " + quoted) &&
            Exec(db, "DROP TABLE " + quoted) &&
            Exec(db, "ALTER TABLE " + keyed + " RENAME TO " + quoted) && Exec(db, "COMMIT");
  if (!ok) {
    Exec(db, "ROLLBACK");
    Exec(db, "DROP TABLE IF EXISTS " + keyed);
  }
  return ok && (key.empty() || with_key);
}

std::string SqliteCreateTable(const std::string& quoted, const TableInfo& table,
                              const std::vector<bool>& not_null, const std::string& primary_key) {
  std::string create = "CREATE TABLE " + quoted + " (";
  size_t i = 0;
  for (const auto& [colid, c] : table.columns) {
    create += (i ? ", " : "") + QuotedIdentifier(c.name) + " " + SqliteColumnType(c);
    if (i < not_null.size() && not_null[i]) create += " NOT NULL";
    ++i;
  }
  if (!primary_key.empty()) create += ", PRIMARY KEY (" + primary_key + ")";
  return create + ")";
}

}  // namespace tollamer
