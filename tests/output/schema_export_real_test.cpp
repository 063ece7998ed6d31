// Schema scripts of the real data files: every catalog table with its
// columns in order, then the statements that rebuild its keys, indexes,
// defaults, checks and foreign keys; every module text whole, every kind's
// file written.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/sql2000/open_catalog2000.h"
#include "engine/catalog/sql2005/open_catalog_2005.h"
#include "engine/pagestore/server_version.h"
#include "output/schema_export.h"
#include "output/script_texts.h"
#include "output/database_script.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

namespace fs = std::filesystem;

void CheckModules(const std::string& file, const std::vector<ModuleInfo>& modules) {
  ASSERT_EQ(file.rfind("\xEF\xBB\xBF", 0), 0u) << "a byte-order mark first";
  size_t pos = 3;
  size_t expected_size = 3;
  for (const ModuleInfo& m : modules) {
    ASSERT_FALSE(m.text.empty()) << m.fullName;
    std::string whole = m.text + "\r\ngo\r\n\r\n";
    ASSERT_EQ(file.compare(pos, whole.size(), whole), 0) << m.fullName << " at " << pos;
    pos += whole.size();
    expected_size += whole.size();
  }
  EXPECT_EQ(file.size(), expected_size);
}

// What the tables-file of a real file rebuilds, counted by statement.
struct RealScript {
  const char* file;
  size_t minTables;
  size_t primaryKeys, indexes, foreignKeys, defaults, checks, identities;
  std::vector<std::string> statements;  // lines the file must hold
};

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t p = 0; (p = text.find(what, p)) != std::string::npos; p += what.size()) ++n;
  return n;
}

// pubs as its public creation script makes it, whatever the generated
// constraint names of each file.
const std::vector<std::string> kPubsStatements = {
    "[job_id] smallint IDENTITY(1,1)  NOT NULL,\r\n",
    "PRIMARY KEY CLUSTERED ([stor_id], [ord_num], [title_id])\r\nGO\r\n",
    "] PRIMARY KEY NONCLUSTERED ([emp_id])\r\nGO\r\n",
    "CREATE CLUSTERED INDEX [employee_ind] ON [dbo].[employee] ([lname], [fname], [minit])\r\n",
    "CREATE NONCLUSTERED INDEX [aunmind] ON [dbo].[authors] ([au_lname], [au_fname])\r\n",
    "] DEFAULT (getdate()) FOR [hire_date]\r\n",
    "] FOREIGN KEY ([job_id]) REFERENCES [dbo].[jobs] ([job_id])\r\nGO\r\n",
};

void ExportRealFile(const RealScript& want) {
  const std::string name = want.file;
  const size_t min_tables = want.minTables;
  TOLLAMER_REQUIRE_REAL_FILE(path, name);
  RecordingMessages messages;
  CMdfDatabase db(messages);
  ASSERT_TRUE(db.OpenFile(path));
  VersionSetting version = DetectServerVersion(db.Store()).setting;
  if (version == VersionSetting::kSql2000) {
    OpenCatalog2000(db);
  } else {
    ASSERT_EQ(version, VersionSetting::kSql2005);
    PageOwnerConflict conflict;
    sql2005::OpenCatalog2005(db, conflict);
  }
  const Catalog& c = db.catalog;
  ASSERT_GE(c.tables.size(), min_tables);

  testing::TempDir dir;
  for (SchemaObjectKind kind : {SchemaObjectKind::kTable, SchemaObjectKind::kView,
                                SchemaObjectKind::kProcedure, SchemaObjectKind::kFunction,
                                SchemaObjectKind::kUserType, SchemaObjectKind::kTrigger}) {
    ExportResult r = ExportAllObjects(c, kind, dir.path().string());
    ASSERT_EQ(r.status, ExportStatus::kWritten) << r.path << ": " << r.error;
  }

  // Tables in catalog order, each with its columns in column id order.
  std::string tables = testing::ReadText(dir.path() / "AllTable.sql");
  ASSERT_EQ(tables.rfind("\xEF\xBB\xBF", 0), 0u) << "a byte-order mark first";
  size_t pos = 3;
  for (const auto& [id, table] : c.tables) {
    SplitTableName n = SplitFullName(table.fullName);
    std::string head = "CREATE TABLE [" + n.owner + "].[" + n.table + "]\r\n(\r\n";
    ASSERT_EQ(tables.compare(pos, head.size(), head), 0) << table.fullName << " at " << pos;
    pos += head.size();
    for (const auto& [colid, column] : table.columns) {
      std::string start = "[" + column.name + "] " + column.typeName;
      ASSERT_EQ(tables.compare(pos, start.size(), start), 0) << table.fullName << "." << column.name;
      pos = tables.find("\r\n", pos) + 2;
    }
    ASSERT_EQ(tables.compare(pos, 9, ")\r\nGO\r\n\r\n"), 0) << table.fullName;
    pos += 9;
  }
  // Then whole statements only, each ending in its GO.
  const std::string rest = tables.substr(pos);
  for (size_t p = 0, end; p < rest.size(); p = end + 8) {
    end = rest.find("\r\nGO\r\n\r\n", p);
    ASSERT_NE(end, std::string::npos) << rest.substr(p, 80);
    EXPECT_TRUE(rest.compare(p, 12, "ALTER TABLE ") == 0 || rest.compare(p, 7, "CREATE ") == 0)
        << rest.substr(p, 80);
  }
  EXPECT_EQ(Count(rest, " PRIMARY KEY "), want.primaryKeys);
  EXPECT_EQ(Count(rest, " INDEX "), want.indexes);
  EXPECT_EQ(Count(rest, " FOREIGN KEY "), want.foreignKeys);
  EXPECT_EQ(Count(rest, " DEFAULT "), want.defaults);
  EXPECT_EQ(Count(rest, " CHECK "), want.checks);
  EXPECT_EQ(Count(tables.substr(0, pos), " IDENTITY("), want.identities);
  for (const std::string& line : want.statements) EXPECT_EQ(Count(tables, line), 1u) << line;
  // Foreign keys come after every key they need.
  EXPECT_GT(rest.find(" FOREIGN KEY "), rest.rfind(" PRIMARY KEY "));

  CheckModules(testing::ReadText(dir.path() / "AllViews.sql"), c.views);
  CheckModules(testing::ReadText(dir.path() / "AllProcs.sql"), c.procedures);
  CheckModules(testing::ReadText(dir.path() / "AllFun.sql"), c.functions);
  CheckModules(testing::ReadText(dir.path() / "AllTriggers.sql"), c.triggers);

  std::string types = testing::ReadText(dir.path() / "AllUtype.sql");
  size_t type_count = 0;
  for (size_t p = 0; (p = types.find("\r\n  GO\r\n\r\n", p)) != std::string::npos; ++p) ++type_count;
  EXPECT_EQ(type_count, c.userTypes.size());
}

TEST(SchemaExportRealFileTest, EveryVersionRebuildsItsKeys) {
  const RealScript files[] = {
      {"pubs-sql2000.mdf", 11, 9, 7, 10, 9, 6, 1, kPubsStatements},
      {"pubs-sql2005.mdf", 11, 12, 7, 10, 9, 6, 3, kPubsStatements},
      {"pubs-sql2008.mdf", 11, 9, 7, 10, 9, 6, 1, kPubsStatements},
      {"qlsinhvien-sql2008.mdf", 1, 5, 0, 3, 0, 0, 1, {}},
  };
  for (const RealScript& f : files) {
    SCOPED_TRACE(f.file);
    ExportRealFile(f);
  }
}

// Database.sql of real files: the names, referential actions, filters,
// collations and module options the files store.
TEST(SchemaExportRealFileTest, DatabaseScriptKeepsWhatTheFilesStore) {
  const struct {
    const char* file;
    std::string line;  // a line the script must hold
    std::string clause;
    size_t count;      // how often the clause stands in the script
  } files[] = {
      {"banking-sql2019.bak", "REFERENCES [dbo].[AspNetRoles] ([Id]) ON DELETE CASCADE\r\n",
       " ON DELETE CASCADE\r\n", 8},
      {"banking-sql2019.bak", "([NormalizedName]) WHERE ([NormalizedName] IS NOT NULL)\r\n",
       " WHERE (", 2},
      {"examsystem-sql2017.bak", "CREATE TABLE [dbo].[Answers]\r\n", " ON DELETE CASCADE", 11},
      {"school-sql2016.mdf", "-- Database collation: SQL_Latin1_General_CP1_CI_AS\r\n",
       " COLLATE Chinese_Taiwan_Stroke_CI_AS ", 4},
      {"northwind-sql2014-stripe1of2.bak", "CREATE TABLE [dbo].[Order Details]\r\n", "Order Details", 6},
      {"pubs-sql2008.mdf", "SET ANSI_NULLS ON\r\nGO\r\n\r\nSET QUOTED_IDENTIFIER ON\r\nGO\r\n\r\n\r\nCREATE VIEW",
       "SET QUOTED_IDENTIFIER ON\r\n", 6},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.file);
    TOLLAMER_REQUIRE_REAL_FILE(path, f.file);
    RecordingMessages messages;
    CMdfDatabase db(messages);
    ASSERT_TRUE(db.OpenFile(path));
    PageOwnerConflict conflict;
    sql2005::OpenCatalog2005(db, conflict);
    const std::string script = BuildDatabaseScript(db.catalog);
    EXPECT_NE(script.find(f.line), std::string::npos) << f.line;
    EXPECT_EQ(Count(script, f.clause), f.count) << f.clause;
  }
}

}  // namespace
}  // namespace tollamer
