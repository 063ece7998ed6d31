// The SQL 2005/2008 catalog of synthetic files: what the system rows say,
// how damage is met, and the page lists of the tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "engine/catalog/sql2005/locate_system_tables_2005.h"
#include "engine/catalog/sql2005/scan_file_2005.h"
#include "engine/catalog/sql2005/system_tables_2005.h"
#include "tests/catalog2005/catalog2005_test_support.h"
#include "tests/fixtures/record_builder.h"

namespace tollamer::sql2005 {
namespace {

using namespace fixtures;
using namespace fixtures::sql2005;

constexpr uint32_t kOrders = 1001, kCustomers = 1002, kViaRefs = 1003;

Database2005 Sample(FormatVersion v = FormatVersion::kSql2008) {
  Database2005 d;
  d.version = v;
  d.schemas = {{1, "dbo"}, {4, "sys"}, {5, "sales"}};
  d.userTypes = {{257, "phone", 167, 20, 0, 0, true}, {258, "amount", 106, 9, 10, 2, false}};
  const Table2005 orders{kOrders, "Order Details", 1, {
      {"id", 56, 0, 4, 10, 0, true},
      {"Unit Name", 231, 0, 100, 0, 0, false},
      {"notes", 167, 0, 0xFFFF, 0, 0, false},
      {"price", 106, 0, 9, 18, 2, true},
      {"created", 42, 0, 8, 27, 7, false},
      {"phone", 167, 257, 20, 0, 0, true},
      {"total", 106, 258, 9, 10, 2, false},
  }, 15};
  // 1234 rows on 30 data pages (8 single pages and three extents), clustered.
  const Table2005 customers{kCustomers, "Customers", 5,
                            {{"cust_id", 56, 0, 4, 10, 0, true}, {"name", 239, 0, 20, 0, 0, false}},
                            1234, 30, true};
  // Three data pages, its rowset named through sysrowsetrefs.
  d.tables = {orders, customers, {kViaRefs, "Archive", 1, {{"k", 56}}, 0, 3, false, true}};
  d.modules = {
      {2001, "Sales View", "V ", 5, {"CREATE VIEW [Sales View] AS ", "SELECT 1"}},
      {2002, "usp Load", "P ", 1, {"CREATE PROCEDURE usp_Load AS SELECT 2"}},
      {2003, "fn_wide", "FN", 1, {"CREATE FUNCTION fn_wide() RETURNS int"}, true},
      {2004, "trg", "TR", 1, {"CREATE TRIGGER trg"}},
      {2005, "fn_inline", "IF", 1, {"CREATE FUNCTION fn_inline"}},
  };
  return d;
}

// The catalog, and the tables' pages: their unit's single pages, then its
// extent pages.
TEST(Catalog2005, LocatedFileGivesTablesColumnsModulesTypesAndPages) {
  for (FormatVersion v : {FormatVersion::kSql2005, FormatVersion::kSql2008}) {
    PageOwnerConflict conflict;
    Built2005 built = BuildDatabase2005(Sample(v));
    auto o = OpenBuilt(built.file, conflict);
    const Catalog& c = o->db.catalog;
    EXPECT_FALSE(o->result.usedFallback);
    EXPECT_EQ(o->result.allocUnitRowsMatched, 9);
    EXPECT_TRUE(o->messages.Quiet());

    ASSERT_EQ(c.tables.size(), 3u);
    const TableInfo& orders = c.tables.at(kOrders);
    EXPECT_EQ(orders.fullName, "dbo.Order Details");
    EXPECT_EQ(orders.rowCount, 15u);
    EXPECT_EQ(c.tables.at(kCustomers).fullName, "sales.Customers");
    EXPECT_EQ(c.tables.at(kCustomers).rowCount, 1234u);

    // Name, type and size texts, and the user type's base type and place.
    std::vector<std::string> shown;
    for (const auto& [id, col] : orders.columns)
      shown.push_back(col.name + " " + col.typeName + col.sizeText + col.nullText);
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "id int NOT NULL", "Unit Name nvarchar(50) NULL", "notes varchar(max) NULL",
                         "price decimal(18,2) NOT NULL", "created datetime2(7) NULL",
                         "phone phone NOT NULL", "total amount NULL"}));
    const ColumnInfo& phone = orders.columns.at(6);
    EXPECT_EQ(std::tuple(phone.xtype, phone.xusertype, phone.xoffset), std::tuple(167, 257, 1));
    EXPECT_EQ(c.tables.at(kCustomers).columns.at(2).sizeText, "(10)");  // nchar halved

    shown.clear();
    for (const auto& t : c.userTypes) shown.push_back(t.name + " " + t.baseTypeText + " " + t.nullText);
    EXPECT_EQ(shown, (std::vector<std::string>{"phone varchar(20) NOT NULL", "amount decimal(10,2) NULL"}));

    ASSERT_EQ(c.views.size(), 1u);
    EXPECT_EQ(c.views[0].fullName, "sales.Sales View");
    EXPECT_EQ(c.views[0].text, "CREATE VIEW [Sales View] AS SELECT 1");
    ASSERT_EQ(c.procedures.size(), 1u);
    EXPECT_EQ(c.procedures[0].fullName, "usp Load");  // no schema
    ASSERT_EQ(c.functions.size(), 1u);  // the inline function and the trigger stay out
    EXPECT_EQ(c.functions[0].text, "CREATE FUNCTION fn_wide() RETURNS int");  // from UTF-16

    // Customers, and the table named only through sysrowsetrefs.
    for (uint32_t id : {kCustomers, kViaRefs}) {
      const std::vector<uint32_t> pages = built.layout.tables.at(id).DataPages();
      EXPECT_EQ(o->db.dataPageLists.at(id), std::vector<uint64_t>(pages.begin(), pages.end())) << id;
    }
    EXPECT_EQ(o->db.dataPageLists.at(kCustomers).size(), 30u);
    // Each table's first page m_objId names it.
    for (const auto& [id, unit] : built.layout.tables) EXPECT_EQ(o->db.pageOwnerMap.at(unit.pageObjId), id);
  }
}

// A duplicate column id keeps the first row; rows that are no columns stay
// out; a schema on the second sysclsobjs page is not found.
TEST(Catalog2005, DuplicateColumnIdsNonColumnRowsAndALateSchema) {
  Database2005 d = Sample();
  Table2005& t = d.tables[0];
  t.columns.push_back({"shadow", 61, 0, 8, 23, 3, false, 1});  // colid 1 again: the first stays
  t.columns.push_back({"hidden", 56, 0, 4, 10, 0, false, 40, 0x90});
  for (uint32_t i = 0; i < 200; ++i)
    d.schemas.push_back({100 + i, "filler_schema_with_a_long_name_" + std::to_string(i)});
  d.schemas.push_back({999, "late"});
  d.modules.push_back({2010, "V1", "V ", 999, {"CREATE VIEW V1"}});
  PageOwnerConflict conflict;
  Built2005 built = BuildDatabase2005(d);
  ASSERT_GE(built.layout.systemTables.at(kSysclsobjs).DataPages().size(), 2u);
  auto o = OpenBuilt(built.file, conflict);
  const auto& columns = o->db.catalog.tables.at(kOrders).columns;
  EXPECT_EQ(columns.at(1).name, "id");
  EXPECT_FALSE(columns.contains(40));
  EXPECT_EQ(columns.size(), 7u);
  EXPECT_EQ(o->db.catalog.views.back().fullName, ".V1");
}

// 160 tables: the system page lists span several pages, and the lookups the
// builder indexes in one pass must still give each table its own rows.
TEST(Catalog2005, ManyTablesEachGetTheirOwnRowsAndPages) {
  Database2005 d;
  d.schemas = {{1, "dbo"}, {4, "sys"}, {7, "hr"}};
  d.userTypes = {{257, "code", 175, 6, 0, 0, true}};
  for (uint32_t i = 0; i < 160; ++i) {
    d.tables.push_back({10000 + 7 * (160 - i), "Table " + std::to_string(i), i % 3 == 0 ? 7u : 1u,
                        {{"id", 56, 0, 4, 10, 0, true}, {"name", 231, 0, 80}, {"code", 175, 257, 6, 0, 0, true}},
                        i * 11u, 1 + i % 19, i % 2 == 0, i % 7 == 3});
  }
  PageOwnerConflict conflict;
  auto o = OpenBuilt(BuildDatabase2005(d).file, conflict);
  ASSERT_FALSE(o->result.usedFallback);
  const Catalog& c = o->db.catalog;
  ASSERT_EQ(c.tables.size(), 160u);
  for (uint32_t i = 0; i < 160; ++i) {
    const uint32_t id = 10000 + 7 * (160 - i);
    const TableInfo& t = c.tables.at(id);
    EXPECT_EQ(t.fullName, std::string(i % 3 == 0 ? "hr." : "dbo.") + "Table " + std::to_string(i));
    EXPECT_EQ(t.rowCount, i * 11u);
    ASSERT_EQ(t.columns.size(), 3u) << i;
    EXPECT_EQ(t.columns.at(2).sizeText, "(40)") << i;
    EXPECT_EQ(t.columns.at(3).typeName, "code") << i;
    EXPECT_EQ(o->db.dataPageLists.at(id).size(), 1 + i % 19) << i;
  }
}

// Module texts off-row, in pieces, in UTF-16 or not, and with a piece
// reaching past its record; an object name reaching past the page.
TEST(Catalog2005, ModuleTextsAndNamesReachingPastThePage) {
  Database2005 d = Sample();
  std::string long_text(12000, 'x');
  long_text.replace(0, 6, "CREATE");
  d.modules = {
      {3001, "offrow", "P ", 1, {long_text}, false, true},
      {3002, "mixed", "P ", 1, {"first ", "second"}, false, true},
  };
  // A 40-byte UTF-16 text whose 8-bit reading stops after one byte, and a
  // 40-byte 8-bit text with two trailing zero bytes.
  Bytes wide = Utf16("0123456789012345678 ");  // 20 units = 40 bytes
  Bytes narrow(40, 'n');
  narrow[38] = narrow[39] = 0;
  d.extraSystemRows[kSysobjvalues] = {ObjValueRowBytes(3003, wide, false),
                                      ObjValueRowBytes(3004, narrow, false)};
  d.modules.push_back({3003, "wide", "P ", 1, {}});
  d.modules.push_back({3004, "narrow", "P ", 1, {}});
  // A row whose imageval would end 8100 bytes into the record: "kept" stays
  // the text of 3005.
  d.modules.push_back({3005, "p", "P ", 1, {"kept"}});
  Bytes bad = ObjValueRowBytes(3005, {'A', 'B'}, false);
  PutU16(bad, 24, 8100);
  d.extraSystemRows[kSysobjvalues].push_back(bad);
  // An object name running past the page is cut.
  Bytes row = SchObjRowBytes(4001, 1, "U ", Utf16("Big"));
  PutU16(row, 44 + 6, 0xF000);  // the name's end offset, far past the page
  d.extraSystemRows[kSysschobjs] = {row};
  PageOwnerConflict conflict;
  auto o = OpenBuilt(BuildDatabase2005(d).file, conflict);
  const auto& procs = o->db.catalog.procedures;
  ASSERT_EQ(procs.size(), 5u);
  EXPECT_EQ(procs[0].text, long_text);  // off-row, over two text pages
  EXPECT_EQ(procs[1].text, "first second");
  EXPECT_EQ(procs[2].text, "0123456789012345678 ");
  EXPECT_EQ(procs[3].text, std::string(38, 'n'));
  EXPECT_EQ(procs[4].text, "kept");
  ASSERT_TRUE(o->db.catalog.tables.contains(4001));
  const std::string& name = o->db.catalog.tables.at(4001).fullName;
  EXPECT_EQ(name.rfind("dbo.Big", 0), 0u);
  EXPECT_LE(name.size(), 4u + 128u * 3u);  // at most one sysname's worth
}

// Two tables whose pages name one object: the conflict is shown once per
// flag, and the whole-file scan files every page under the first table.
TEST(Catalog2005, PageOwnerConflictIsShownOncePerFlag) {
  Database2005 d = Sample();
  d.tables[0].pageObjId = 0x5A;
  d.tables[1].pageObjId = 0x5A;
  PageOwnerConflict conflict;
  Built2005 built = BuildDatabase2005(d);
  auto first = OpenBuilt(built.file, conflict);
  EXPECT_EQ(first->messages.notices,
            std::vector<EngineNotice>{EngineNotice::kPageOwnerConflict});
  EXPECT_TRUE(conflict.IsSet());
  EXPECT_EQ(first->db.pageOwnerMap.at(0x5A), kOrders);  // the earlier table keeps it
  // The same problem again under the same flag: no second message.
  auto second = OpenBuilt(built.file, conflict);
  EXPECT_TRUE(second->messages.Quiet());
  EXPECT_TRUE(conflict.IsSet());
  ScanFileForTable2005(second->db, 0, true);
  std::vector<uint64_t> all;
  for (uint32_t id : {kOrders, kCustomers})
    for (uint32_t p : built.layout.tables.at(id).DataPages()) all.push_back(p);
  std::sort(all.begin(), all.end());
  EXPECT_EQ(second->db.dataPageLists.at(kOrders), all);
  EXPECT_TRUE(second->db.dataPageLists.at(kCustomers).empty());
}

}  // namespace
}  // namespace tollamer::sql2005
