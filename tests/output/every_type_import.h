// What the import tests share: the every-type SQL 2008 fixture, written to
// a test's folder and opened with its catalog, the source they send to their
// targets; and a read-only view of an imported SQLite database.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/open/open_catalog.h"
#include "engine/pagestore/server_version.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/test_support.h"

namespace tollamer::testing {

struct EveryTypeSource {
  explicit EveryTypeSource(TempDir& dir) {
    fixtures::user_rows::EveryTypeDatabase2005 d =
        fixtures::user_rows::BuildEveryTypeDatabase2005(fixtures::FormatVersion::kSql2008);
    opened = db.OpenFile(dir.Write("t.mdf", d.built.file.Image())) &&
             OpenCatalog(db, VersionSetting::kSql2005).built;
  }

  RecordingMessages messages;
  CMdfDatabase db{messages};
  bool opened = false;  // the file and its catalog
};

// A read-only view of the imported database.
class Sqlite {
 public:
  explicit Sqlite(const std::string& path) { sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr); }
  ~Sqlite() { sqlite3_close(db_); }
  // The first row of `sql`, every column as text ("NULL" for NULL) or, with
  // `types`, as its storage class.
  std::vector<std::string> Row(const std::string& sql, bool types = false) {
    std::vector<std::string> out;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
      return out;
    }
    static const char* kTypes[] = {"", "integer", "real", "text", "blob", "null"};
    for (int i = 0; i < sqlite3_column_count(st) && (i > 0 || sqlite3_step(st) == SQLITE_ROW); ++i) {
      const char* text = types ? kTypes[sqlite3_column_type(st, i)]
                               : reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      out.push_back(text ? text : "NULL");
    }
    sqlite3_finalize(st);
    return out;
  }
  int64_t Number(const std::string& sql) {
    std::vector<std::string> r = Row(sql);
    return r.empty() ? -1 : std::stoll(r[0]);
  }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace tollamer::testing
