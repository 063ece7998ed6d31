#include "engine/catalog/sql2000/catalog_builder2000.h"

#include "engine/catalog/sql2000/open_catalog2000.h"
#include "engine/catalog/sql2000/system_table_index2000.h"
#include "tests/catalog2000/hand_pages2000.h"

namespace tollamer::testing2000 {
namespace {

using namespace fixtures::sql2000;

class CatalogBuild2000Test : public HandFileTest {
 protected:
  Catalog OpenDescribed(const Database2000& desc) {
    CMdfDatabase& db = Open(BuildDatabase2000(desc));
    EXPECT_FALSE(OpenCatalog2000(db).usedFallback);
    return db.catalog;
  }
};

// Names with their owners, modules by kind; of two tables with one id
// (500), the first row found is kept whole.
TEST_F(CatalogBuild2000Test, OwnersNamesModuleKindsAndDuplicateIds) {
  Database2000 desc = SampleDatabase2000();
  desc.users.push_back({5, "sales team"});
  desc.tables.push_back({900, "orphan", 77, {{"a"}}, 2, 1, false, {}});  // owner 77 is unknown
  desc.tables.push_back({500, "first", 1, {{"a"}}, 1, 1, false, {}});
  desc.tables.push_back({500, "second", 1, {{"b"}, {"c"}}, 9, 1, false, {}});
  desc.modules.push_back({901, "Sales", ModuleKind::kView, 5, {"create view Sales as select 1"}, false});
  desc.modules.push_back({902, "GetOrders", ModuleKind::kProcedure, 5, {"create proc GetOrders"}, false});
  Catalog c = OpenDescribed(desc);
  EXPECT_EQ(c.tables.at(900).fullName, ".orphan");
  EXPECT_EQ(c.tables.at(405576483).fullName, "dbo.Order Details") << "names as stored";
  EXPECT_EQ(c.tables.at(405576483).columns.at(2).name, "Unit Price");
  ASSERT_EQ(c.views.size(), 2u);
  EXPECT_EQ(c.views[0].fullName, "dbo.titleview");
  EXPECT_EQ(c.views[1].fullName, "sales team.Sales");
  ASSERT_EQ(c.procedures.size(), 3u);
  EXPECT_EQ(c.procedures[2].fullName, "GetOrders") << "procedures carry no owner";
  ASSERT_EQ(c.functions.size(), 1u);
  EXPECT_EQ(c.functions[0].fullName, "fn_discount");
  EXPECT_EQ(c.tables.at(500).fullName, "dbo.first");
  EXPECT_EQ(c.tables.at(500).rowCount, 1u);
  ASSERT_EQ(c.tables.at(500).columns.size(), 2u);
  EXPECT_EQ(c.tables.at(500).columns.at(1).name, "a") << "a second colid 1 is dropped";
  EXPECT_EQ(c.tables.at(500).columns.at(2).name, "c");
}

TEST_F(CatalogBuild2000Test, ColumnsTypesRowCountsAndDefinitionTexts) {
  Database2000 desc = SampleDatabase2000();
  desc.tables.push_back({950, "no_index_row", 1, {{"k"}, {"v", 231, 0, 100, 0, 0, false}}, 40, 1, false, {}, false});
  desc.modules.push_back({960, "p_city", ModuleKind::kProcedure, 1, {"-- M\xFCnchen\r\n"}, false});
  Catalog c = OpenDescribed(desc);
  const TableInfo& authors = c.tables.at(1977058079);
  EXPECT_EQ(authors.rowCount, 23u);
  std::vector<std::string> shown;
  for (const auto& [id, col] : authors.columns) shown.push_back(col.typeName + col.sizeText + col.nullText);
  EXPECT_EQ(shown, (std::vector<std::string>{"id NOT NULL", "varchar(40) NOT NULL", "varchar(20) NOT NULL",
                                             "char(12) NOT NULL", "varchar(40) NULL", "varchar(20) NULL",
                                             "char(2) NULL", "char(5) NULL", "bit NOT NULL"}));
  EXPECT_EQ(c.tables.at(245575913).columns.at(5).sizeText, "(4,2)");
  // A table without sysindexes rows: no row count, columns kept.
  const TableInfo& lost = c.tables.at(950);
  EXPECT_EQ(lost.rowCount, 0u);
  ASSERT_EQ(lost.columns.size(), 2u);
  EXPECT_EQ(lost.columns.at(2).sizeText, "(50)");
  ASSERT_EQ(c.userTypes.size(), 3u);
  EXPECT_EQ(c.userTypes[0].name, "id");
  EXPECT_EQ(c.userTypes[0].baseTypeText, "varchar(11)");
  EXPECT_EQ(c.userTypes[2].baseTypeText, "char(9)");
  EXPECT_EQ(c.userTypes[2].nullText, "NOT NULL");
  // Definition texts join their pieces in slot order; 8-bit pieces are in
  // the database's code page (1252 here: no boot page).
  ASSERT_FALSE(c.procedures.empty());
  EXPECT_EQ(c.procedures.back().text, "-- München\r\n");
  EXPECT_EQ(c.views[0].text,
            "\nCREATE VIEW titleview\r\nAS\r\nselect title, au_ord, au_lname, price\r\nfrom "
            "authors, titles\r\n");
  EXPECT_EQ(c.functions[0].text,
            "CREATE FUNCTION fn_discount (@q int) RETURNS decimal(4,2)\r\nAS BEGIN RETURN 5.0 END "
            "-- 折扣\r\n")
      << "UTF-16 pieces become UTF-8";
}

TEST_F(CatalogBuild2000Test, DamagedRowsAreSkippedWithoutReadingPastThePage) {
  FileBuilder f(64);
  Bytes good = SysObjectsRow(100, "U ", 1, 1, "good", false);
  Bytes many_vars = good;
  fixtures::PutU16(many_vars, 0x2A + 2 + 2, 0x2000);  // variable column count
  Bytes long_name = SysObjectsRow(101, "U ", 1, 1, "long", false);
  fixtures::PutU16(long_name, 0x2A + 2 + 2 + 2, 0x3000);  // name ends beyond any page
  Bytes past_page = SysObjectsRow(102, "U ", 1, 1, "pastpage", false);
  Bytes comment = SysCommentsRow(100, 1, std::string(60, 'x'), false);
  PageBuilder objects(PageType::kData, 20);
  objects.ObjId(1);
  objects.AddRecord(good);
  objects.AddRecord(many_vars);
  objects.AddRecord(long_name);
  objects.AddRecordAt(0x2000 - 30, past_page);  // the name runs past the page end
  objects.AddRecordAt(0x2000, good);              // a slot at the page end
  PageBuilder comments(PageType::kData, 21);
  comments.ObjId(6);
  comments.AddRecord(SysCommentsRow(100, 1, "body", false));
  comments.AddRecordAt(0x2000 - 40, comment);  // text runs past the page
  f.SetPage(20, Finished(objects.Build()));
  f.SetPage(21, Finished(comments.Build()));
  CMdfDatabase& db = Open(f);
  SystemPages2000 pages;
  pages.sysobjects.Append(20);
  pages.syscomments.Append(21);
  Catalog c;
  sql2000::BuildCatalog2000(db.Store(), pages, sql2000::SystemTableIndex2000::Build(db.Store(), pages), c);
  ASSERT_EQ(c.tables.size(), 1u);
  EXPECT_EQ(c.tables.at(100).fullName, ".good");
  EXPECT_EQ(sql2000::SystemTableIndex2000::Build(db.Store(), pages).DefinitionText(100), "body");
}

// Six hundred tables: the system lists span extents and every lookup of the
// one-pass index must still find its own rows.
TEST_F(CatalogBuild2000Test, ManyTablesEachGetTheirOwnRows) {
  Database2000 desc = ManyTablesDatabase2000(600);
  desc.tables.push_back({1000003, "again", 1, {{"dup"}}, 5, 1, false, {}});  // duplicate of t1
  desc.users.push_back({1, "second_dbo"});  // the first uid 1 row wins
  CMdfDatabase& db = Open(BuildDatabase2000(desc));
  OpenCatalog2000(db);
  EXPECT_GT(db.systemPages2000.syscolumns.size(), 8u) << "syscolumns spans extents";
  const Catalog& c = db.catalog;
  ASSERT_EQ(c.tables.size(), 600u);
  for (uint32_t i = 1; i <= 600; ++i) {
    const TableInfo& t = c.tables.at(1000003 * i);
    EXPECT_EQ(t.fullName, "dbo.t" + std::to_string(i));
    EXPECT_EQ(t.rowCount, i % 7 == 0 ? 0u : i * 3u) << i;
    ASSERT_EQ(t.columns.size(), 3u) << i;
    EXPECT_EQ(t.columns.at(2).sizeText, "(40)") << i;
    EXPECT_EQ(t.columns.at(3).typeName, "code") << i;
  }
  ASSERT_EQ(c.views.size(), 60u);
  EXPECT_EQ(c.views[59].text, "CREATE VIEW v600 AS\r\nSELECT * FROM t600\r\n");
  EXPECT_EQ(c.procedures.size(), 60u);
}

}  // namespace
}  // namespace tollamer::testing2000
