// The SQL 2005/2008 catalog of the real files written by the servers.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/sql2005/open_catalog_2005.h"
#include "engine/catalog/sql2005/scan_file_2005.h"
#include "tests/test_support.h"

namespace tollamer::sql2005 {
namespace {

struct Opened {
  RecordingMessages messages;
  CMdfDatabase db{messages};
  PageOwnerConflict conflict;
  OpenCatalog2005Result result;
};

std::unique_ptr<Opened> Open(const std::string& path) {
  auto o = std::make_unique<Opened>();
  EXPECT_TRUE(o->db.OpenFile(path));
  o->result = OpenCatalog2005(o->db, o->conflict);
  return o;
}

const TableInfo* FindTable(const Catalog& c, const std::string& full_name) {
  for (const auto& [id, t] : c.tables)
    if (t.fullName == full_name) return &t;
  return nullptr;
}

const std::map<std::string, uint64_t> kPubsTables = {
    {"dbo.authors", 23}, {"dbo.discounts", 3}, {"dbo.employee", 43}, {"dbo.jobs", 14},
    {"dbo.pub_info", 8}, {"dbo.publishers", 8}, {"dbo.roysched", 86}, {"dbo.sales", 21},
    {"dbo.stores", 6},   {"dbo.titleauthor", 25}, {"dbo.titles", 18}};

void ExpectPubs(const std::string& path) {
  auto o = Open(path);
  const Catalog& c = o->db.catalog;
  EXPECT_FALSE(o->result.usedFallback);
  EXPECT_TRUE(o->messages.Quiet());
  for (const auto& [name, rows] : kPubsTables) {
    const TableInfo* t = FindTable(c, name);
    ASSERT_NE(t, nullptr) << name;
    EXPECT_EQ(t->rowCount, rows) << name;
    EXPECT_FALSE(t->columns.empty()) << name;
    // Every pubs table has data pages and a page owner.
    ASSERT_TRUE(o->db.dataPageLists.contains(t->id)) << name;
    EXPECT_FALSE(o->db.dataPageLists.at(t->id).empty()) << name;
  }
  const TableInfo* authors = FindTable(c, "dbo.authors");
  ASSERT_NE(authors, nullptr);
  ASSERT_EQ(authors->columns.size(), 9u);
  const ColumnInfo& au_id = authors->columns.at(1);
  EXPECT_EQ(au_id.name, "au_id");
  EXPECT_EQ(au_id.typeName, "id");  // the user-defined type
  EXPECT_EQ(au_id.sizeText, "");
  EXPECT_EQ(au_id.nullText, " NOT NULL");
  const ColumnInfo& au_lname = authors->columns.at(2);
  EXPECT_EQ(au_lname.typeName, "varchar");
  EXPECT_EQ(au_lname.sizeText, "(40)");
  EXPECT_EQ(authors->columns.at(9).typeName, "bit");  // contract

  const TableInfo* discounts = FindTable(c, "dbo.discounts");
  ASSERT_NE(discounts, nullptr);
  bool found_decimal = false;
  for (const auto& [id, col] : discounts->columns)
    if (col.name == "discount") {
      EXPECT_EQ(col.typeName, "decimal");
      EXPECT_EQ(col.sizeText, "(4,2)");
      found_decimal = true;
    }
  EXPECT_TRUE(found_decimal);

  std::map<std::string, std::string> types;
  for (const UserTypeInfo& u : c.userTypes) types[u.name] = u.baseTypeText + " " + u.nullText;
  EXPECT_EQ(types["id"], "varchar(11) NOT NULL");
  EXPECT_EQ(types["tid"], "varchar(6) NOT NULL");
  EXPECT_EQ(types["empid"], "char(9) NOT NULL");

  bool titleview = false;
  for (const ModuleInfo& v : c.views)
    if (v.fullName == "dbo.titleview") {
      titleview = true;
      EXPECT_NE(v.text.find("CREATE VIEW titleview"), std::string::npos) << v.text;
    }
  EXPECT_TRUE(titleview);
  std::map<std::string, std::string> procs;
  for (const ModuleInfo& p : c.procedures) procs[p.fullName] = p.text;
  for (const char* name : {"byroyalty", "reptq1", "reptq2", "reptq3"}) {
    ASSERT_TRUE(procs.contains(name)) << name;
    EXPECT_NE(procs[name].find(std::string("CREATE PROCEDURE ") + name), std::string::npos);
  }
}

TEST(RealFiles2005, Pubs2005OpensThroughItsAllocationUnits) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2005.mdf");
  ExpectPubs(path);
}

TEST(RealFiles2005, Pubs2008OpensThroughItsAllocationUnits) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2008.mdf");
  ExpectPubs(path);
}

TEST(RealFiles2005, QlsinhvienIsConsistent) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "qlsinhvien-sql2008.mdf");
  auto o = Open(path);
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
    EXPECT_NE(FindTable(c, name), nullptr) << name;
}

TEST(RealFiles2005, AllTablesScanKeepsEveryLocatedPage) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2008.mdf");
  auto o = Open(path);
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
