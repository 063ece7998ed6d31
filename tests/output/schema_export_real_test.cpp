// Schema scripts of the real data files: every catalog table with its
// columns in order, every module text whole, every kind's file written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/sql2000/open_catalog2000.h"
#include "engine/catalog/sql2005/open_catalog_2005.h"
#include "engine/pagestore/server_version.h"
#include "output/schema_export.h"
#include "output/script_texts.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void CheckModules(const std::string& file, const std::vector<ModuleInfo>& modules) {
  size_t pos = 0;
  size_t expected_size = 0;
  for (const ModuleInfo& m : modules) {
    ASSERT_FALSE(m.text.empty()) << m.fullName;
    std::string whole = m.text + "\r\ngo\r\n\r\n";
    ASSERT_EQ(file.compare(pos, whole.size(), whole), 0) << m.fullName << " at " << pos;
    pos += whole.size();
    expected_size += whole.size();
  }
  EXPECT_EQ(file.size(), expected_size);
}

void ExportRealFile(const std::string& name, size_t min_tables) {
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
                                SchemaObjectKind::kUserType}) {
    ExportResult r = ExportAllObjects(c, kind, dir.path().string());
    ASSERT_EQ(r.status, ExportStatus::kWritten) << r.path << ": " << r.error;
  }

  // Tables in catalog order, each with its columns in column id order.
  std::string tables = ReadAll(dir.path() / "AllTable.sql");
  size_t pos = 0;
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
  EXPECT_EQ(pos, tables.size());

  CheckModules(ReadAll(dir.path() / "AllViews.sql"), c.views);
  CheckModules(ReadAll(dir.path() / "AllProcs.sql"), c.procedures);
  CheckModules(ReadAll(dir.path() / "AllFun.sql"), c.functions);

  std::string types = ReadAll(dir.path() / "AllUtype.sql");
  size_t type_count = 0;
  for (size_t p = 0; (p = types.find("\r\n  GO\r\n\r\n", p)) != std::string::npos; ++p) ++type_count;
  EXPECT_EQ(type_count, c.userTypes.size());
}

TEST(SchemaExportRealFileTest, Pubs2000) { ExportRealFile("pubs-sql2000.mdf", 11); }
TEST(SchemaExportRealFileTest, Pubs2005) { ExportRealFile("pubs-sql2005.mdf", 11); }
TEST(SchemaExportRealFileTest, Pubs2008) { ExportRealFile("pubs-sql2008.mdf", 11); }
TEST(SchemaExportRealFileTest, StudentDatabase2008) { ExportRealFile("qlsinhvien-sql2008.mdf", 1); }

}  // namespace
}  // namespace tollamer
