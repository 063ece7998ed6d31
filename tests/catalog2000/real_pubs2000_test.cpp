// The SQL 2000 open sequence on pubs as written by a real SQL Server 2000.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/sql2000/open_catalog2000.h"
#include "engine/catalog/sql2000/table_pages2000.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

const TableInfo* FindTable(const Catalog& c, const std::string& full_name) {
  for (const auto& [id, t] : c.tables)
    if (t.fullName == full_name) return &t;
  return nullptr;
}

std::vector<std::string> Names(const std::vector<ModuleInfo>& list) {
  std::vector<std::string> out;
  for (const ModuleInfo& m : list) out.push_back(m.fullName);
  return out;
}

TEST(RealPubs2000Test, CatalogListsThePubsObjectsThroughTheAllocationRecords) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2000.mdf");
  RecordingMessages messages;
  CMdfDatabase db(messages);
  ASSERT_TRUE(db.OpenFile(path));
  OpenResult2000 result = OpenCatalog2000(db);
  EXPECT_FALSE(result.usedFallback);
  EXPECT_TRUE(messages.Quiet());

  const std::pair<const char*, uint64_t> expected[] = {
      {"dbo.authors", 23},   {"dbo.discounts", 3},  {"dbo.employee", 43},  {"dbo.jobs", 14},
      {"dbo.pub_info", 8},   {"dbo.publishers", 8}, {"dbo.roysched", 86},  {"dbo.sales", 21},
      {"dbo.stores", 6},     {"dbo.titleauthor", 25}, {"dbo.titles", 18}};
  for (const auto& [name, rows] : expected) {
    const TableInfo* t = FindTable(db.catalog, name);
    ASSERT_NE(t, nullptr) << name;
    EXPECT_EQ(t->rowCount, rows) << name;
  }
  size_t extra = db.catalog.tables.size() - std::size(expected);
  EXPECT_LE(extra, 1u) << "only dtproperties may come on top";

  const TableInfo* authors = FindTable(db.catalog, "dbo.authors");
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
  EXPECT_EQ(address.xoffset, -4);
  const ColumnInfo& contract = authors->columns.at(9);
  EXPECT_EQ(contract.typeName, "bit");
  EXPECT_EQ(contract.xoffset, 23);
  const ColumnInfo& discount = FindTable(db.catalog, "dbo.discounts")->columns.at(5);
  EXPECT_EQ(discount.typeName, "decimal");
  EXPECT_EQ(discount.sizeText, "(4,2)");

  std::vector<std::string> views = Names(db.catalog.views);
  EXPECT_NE(std::find(views.begin(), views.end(), "dbo.titleview"), views.end());
  EXPECT_EQ(Names(db.catalog.procedures),
            (std::vector<std::string>{"byroyalty", "reptq1", "reptq2", "reptq3"}));
  EXPECT_TRUE(db.catalog.functions.empty());
  const ModuleInfo& titleview =
      *std::find_if(db.catalog.views.begin(), db.catalog.views.end(),
                    [](const ModuleInfo& m) { return m.fullName == "dbo.titleview"; });
  EXPECT_EQ(titleview.text.rfind("\nCREATE VIEW titleview\r\nAS\r\nselect title", 0), 0u)
      << titleview.text;

  ASSERT_EQ(db.catalog.userTypes.size(), 3u);  // in systypes slot order
  EXPECT_EQ(db.catalog.userTypes[0].name, "empid");
  EXPECT_EQ(db.catalog.userTypes[0].baseTypeText, "char(9)");
  EXPECT_EQ(db.catalog.userTypes[1].name, "id");
  EXPECT_EQ(db.catalog.userTypes[1].baseTypeText, "varchar(11)");
  EXPECT_EQ(db.catalog.userTypes[2].name, "tid");
  EXPECT_EQ(db.catalog.userTypes[2].baseTypeText, "varchar(6)");
  for (const UserTypeInfo& t : db.catalog.userTypes) EXPECT_EQ(t.nullText, "NOT NULL");
}

TEST(RealPubs2000Test, TablePagesFromTheIamMatchTheWholeFileScan) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2000.mdf");
  RecordingMessages messages;
  CMdfDatabase db(messages);
  ASSERT_TRUE(db.OpenFile(path));
  OpenCatalog2000(db);
  std::map<uint32_t, DataPageList> located;
  for (const auto& [id, t] : db.catalog.tables) {
    ASSERT_TRUE(LocateTablePages2000(db, id)) << t.fullName;
    located[id] = db.dataPageLists[id];
    EXPECT_FALSE(located[id].empty()) << t.fullName;
  }
  ScanFileForTable2000(db, 0, true);
  for (const auto& [id, pages] : located) {
    DataPageList sorted = pages;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(db.dataPageLists[id], sorted) << db.catalog.tables[id].fullName;
  }
}

}  // namespace
}  // namespace tollamer
