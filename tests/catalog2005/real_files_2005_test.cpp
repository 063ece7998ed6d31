// The catalogs of the real files written by the servers: pubs as SQL Server
// 2000, 2005 and 2008 wrote it, and a 2008 file of another shape.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/open/open_catalog.h"
#include "engine/catalog/sql2005/open_catalog_2005.h"
#include "engine/catalog/sql2005/scan_file_2005.h"
#include "engine/catalog/table_lookup.h"
#include "tests/test_support.h"

namespace tollamer::sql2005 {
namespace {

struct Opened {
  RecordingMessages messages;
  CMdfDatabase db{messages};
  CatalogOpenResult result;
};

std::unique_ptr<Opened> Open(const std::string& path, VersionSetting version) {
  auto o = std::make_unique<Opened>();
  EXPECT_TRUE(o->db.OpenFile(path));
  o->result = OpenCatalog(o->db, version);
  return o;
}

const std::map<std::string, uint64_t> kPubsTables = {
    {"dbo.authors", 23}, {"dbo.discounts", 3}, {"dbo.employee", 43}, {"dbo.jobs", 14},
    {"dbo.pub_info", 8}, {"dbo.publishers", 8}, {"dbo.roysched", 86}, {"dbo.sales", 21},
    {"dbo.stores", 6},   {"dbo.titleauthor", 25}, {"dbo.titles", 18}};

// pubs through each server's allocation records: the eleven tables with
// their row counts and columns, the user types, the view and procedures.
TEST(RealFilesCatalog, PubsOfEveryVersion) {
  const std::pair<const char*, VersionSetting> files[] = {
      {"pubs-sql2000.mdf", VersionSetting::kSql2000},
      {"pubs-sql2005.mdf", VersionSetting::kSql2005},
      {"pubs-sql2008.mdf", VersionSetting::kSql2005}};
  for (const auto& [name, version] : files) {
    SCOPED_TRACE(name);
    TOLLAMER_REQUIRE_REAL_FILE(path, name);
    auto o = Open(path, version);
    const Catalog& c = o->db.catalog;
    EXPECT_FALSE(o->result.usedFallback);
    EXPECT_TRUE(o->messages.Quiet());
    // The 2005 file also holds the diagram support objects (sysdiagrams and
    // its procedures and function); the others hold only pubs (and
    // dtproperties).
    const bool diagrams = std::string(name) == "pubs-sql2005.mdf";
    if (!diagrams) {
      EXPECT_LE(c.tables.size(), kPubsTables.size() + 1);
    }
    for (const auto& [table, rows] : kPubsTables) {
      const TableInfo* t = FindTableByName(c, table);
      ASSERT_NE(t, nullptr) << table;
      EXPECT_EQ(t->rowCount, rows) << table;
      // 2005 files locate every table's data pages as they open.
      if (version == VersionSetting::kSql2005) {
        ASSERT_TRUE(o->db.dataPageLists.contains(t->id)) << table;
        EXPECT_FALSE(o->db.dataPageLists.at(t->id).empty()) << table;
      }
    }
    const TableInfo* authors = FindTableByName(c, "dbo.authors");
    ASSERT_EQ(authors->columns.size(), 9u);
    const ColumnInfo& au_id = authors->columns.at(1);
    EXPECT_EQ(au_id.name, "au_id");
    EXPECT_EQ(au_id.typeName, "id");  // a user-defined type: no size text of its own
    EXPECT_EQ(au_id.sizeText, "");
    EXPECT_EQ(au_id.nullText, " NOT NULL");
    const ColumnInfo& address = authors->columns.at(5);
    EXPECT_EQ(address.typeName, "varchar");
    EXPECT_EQ(address.sizeText, "(40)");
    EXPECT_EQ(address.nullText, " NULL");
    EXPECT_EQ(authors->columns.at(9).typeName, "bit");  // contract
    if (version == VersionSetting::kSql2000) {
      EXPECT_EQ(address.xoffset, -4);
      EXPECT_EQ(authors->columns.at(9).xoffset, 23);
    }
    const ColumnInfo& discount = FindTableByName(c, "dbo.discounts")->columns.at(5);
    EXPECT_EQ(discount.name, "discount");
    EXPECT_EQ(discount.typeName, "decimal");
    EXPECT_EQ(discount.sizeText, "(4,2)");

    std::vector<std::string> types;
    for (const UserTypeInfo& u : c.userTypes) types.push_back(u.name + " " + u.baseTypeText + " " + u.nullText);
    std::sort(types.begin(), types.end());
    EXPECT_EQ(types, (std::vector<std::string>{"empid char(9) NOT NULL", "id varchar(11) NOT NULL",
                                               "tid varchar(6) NOT NULL"}));

    auto titleview = std::find_if(c.views.begin(), c.views.end(),
                                  [](const ModuleInfo& m) { return m.fullName == "dbo.titleview"; });
    ASSERT_NE(titleview, c.views.end());
    EXPECT_NE(titleview->text.find("CREATE VIEW titleview\r\nAS\r\nselect title"), std::string::npos)
        << titleview->text;
    std::vector<std::string> procedures;
    for (const ModuleInfo& p : c.procedures) {
      if (p.fullName.starts_with("sp_")) continue;  // diagram support
      procedures.push_back(p.fullName);
      EXPECT_NE(p.text.find("CREATE PROCEDURE " + p.fullName), std::string::npos) << p.text;
    }
    EXPECT_EQ(procedures, (std::vector<std::string>{"byroyalty", "reptq1", "reptq2", "reptq3"}));
    EXPECT_EQ(c.functions.empty(), !diagrams);
  }
}

TEST(RealFilesCatalog, QlsinhvienIsConsistent) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "qlsinhvien-sql2008.mdf");
  auto o = Open(path, VersionSetting::kSql2005);
  const Catalog& c = o->db.catalog;
  EXPECT_FALSE(o->result.usedFallback);
  ASSERT_GE(c.tables.size(), 4u);
  for (const auto& [id, t] : c.tables) {
    EXPECT_EQ(t.fullName.rfind("dbo.", 0), 0u) << t.fullName;
    EXPECT_FALSE(t.columns.empty()) << t.fullName;
    for (const auto& [colid, col] : t.columns) {
      EXPECT_EQ(col.colid, colid);
      EXPECT_FALSE(col.name.empty()) << t.fullName;
      EXPECT_FALSE(col.typeName.empty()) << t.fullName << "." << col.name;
    }
    // A table with rows has data pages.
    if (t.rowCount > 0) {
      ASSERT_TRUE(o->db.dataPageLists.contains(id)) << t.fullName;
      EXPECT_FALSE(o->db.dataPageLists.at(id).empty()) << t.fullName;
    }
  }
  for (const char* name : {"dbo.Lop", "dbo.SinhVien", "dbo.MonHoc", "dbo.Hoc"})
    EXPECT_NE(FindTableByName(c, name), nullptr) << name;
}

TEST(RealFilesCatalog, AllTablesScanKeepsEveryLocatedPage) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2008.mdf");
  auto o = Open(path, VersionSetting::kSql2005);
  std::map<uint32_t, DataPageList> located = o->db.dataPageLists;
  ScanFileForTable2005(o->db, 0, true);
  for (const auto& [id, pages] : located) {
    const DataPageList& scanned = o->db.dataPageLists.at(id);
    for (uint64_t p : pages)
      EXPECT_NE(std::find(scanned.begin(), scanned.end(), p), scanned.end())
          << o->db.catalog.tables.at(id).fullName << " page " << p;
    EXPECT_TRUE(std::is_sorted(scanned.begin(), scanned.end()));
  }
}

}  // namespace
}  // namespace tollamer::sql2005
