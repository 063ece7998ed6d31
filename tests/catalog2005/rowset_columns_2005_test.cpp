// The physical record layout from the rowset column rows: the row
// decoders, the checks that decide whether a table's rows can be trusted,
// whole synthetic files of both servers, damage, and the real pubs files.
#include "engine/catalog/sql2005/rowset_columns_2005.h"

#include <gtest/gtest.h>

#include "tests/catalog2005/catalog2005_test_support.h"
#include "tests/fixtures/record_builder.h"
#include "tests/fixtures/user_rows_clustered.h"

namespace tollamer::sql2005 {
namespace {

using fixtures::Bytes;
using fixtures::FormatVersion;
using fixtures::sql2005::RowsetColumn2005;

// ---- row decoders (the whole files below read well-formed rows, the
// index-row halves of offset and null bit included) ----

using fixtures::PageWithRecord;

TEST(RowsetColumnRows, OtherShapesAndCutRecordsAreNotRead) {
  // Real files hold pages with m_objId 3 whose rows are of another table
  // (F = 46): they must not be read as rowset columns.
  Bytes other = fixtures::RecordBuilder().Fixed(Bytes(42, 0x11)).ColumnCount(21).Build();
  EXPECT_FALSE(DecodeRscolsRow(PageWithRecord(other), 96));
  EXPECT_FALSE(DecodeHobtColumnRow(PageWithRecord(other), 96));
  EXPECT_FALSE(DecodeRowsetColumnRow(PageWithRecord(other), 96));
  // A row whose fixed part would run past the page end.
  Bytes row = fixtures::sql2005::RscolsRowBytes(1, {1, 1, 56, 4, 4, 1});
  EXPECT_FALSE(DecodeRscolsRow(PageWithRecord(row, 8192 - 20), 8192 - 20));
  // A ghost row (record type 6) is not a column.
  row[0] = static_cast<uint8_t>(row[0] | 0x0C);
  EXPECT_FALSE(DecodeRscolsRow(PageWithRecord(row), 96));
}

// ---- the checks ----

class CheckedLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    // id int, name varchar(20), flag bit, code char(3)
    table_.columns[1] = Column(1, 56, 4);
    table_.columns[2] = Column(2, 167, 20);
    table_.columns[3] = Column(3, 104, 1);
    table_.columns[4] = Column(4, 175, 3);
    rows_[0] = Place(56, -1, 1);  // uniquifier
    rows_[1] = Place(56, 4, 2);
    rows_[2] = Place(167, -2, 3);
    rows_[3] = Place(104, 11, 4);
    rows_[4] = Place(175, 8, 5);
  }
  static ColumnInfo Column(uint16_t colid, uint8_t xtype, uint16_t length) {
    return {.xtype = xtype, .length = length, .colid = colid};
  }
  static PhysicalColumn2005 Place(uint8_t xtype, int16_t offset, uint16_t null_bit) {
    return {.leafOffset = offset, .nullBit = null_bit, .xtype = xtype};
  }
  bool Known() const { return CheckedLayout2005(table_, 7, rows_).known; }

  TableInfo table_;
  std::map<uint32_t, PhysicalColumn2005> rows_;
};

TEST_F(CheckedLayout, ConsistentRowsGiveTheLayoutWithItsHiddenColumns) {
  PhysicalLayout2005 layout = CheckedLayout2005(table_, 7, rows_);
  ASSERT_TRUE(layout.known);
  EXPECT_EQ(layout.rowsetId, 7u);
  ASSERT_EQ(layout.columns.size(), 4u);
  EXPECT_EQ(layout.columns.at(2).leafOffset, -2);
  EXPECT_EQ(layout.columns.at(2).rscolid, 2);
  ASSERT_EQ(layout.hidden.size(), 1u);
  EXPECT_EQ(layout.hidden[0].leafOffset, -1);
  EXPECT_EQ(layout.hidden[0].rscolid, 0);
  rows_[0].nullBit = 0;  // the uniquifier of a file upgraded from SQL 2000
  EXPECT_TRUE(Known()) << "columns without a null bit are allowed";
  // Bit columns share a byte on different bits.
  table_.columns[5] = Column(5, 104, 1);
  rows_[5] = Place(104, 11, 6);
  rows_[5].bitPos = 1;
  EXPECT_TRUE(Known());
  rows_[5].bitPos = 0;
  EXPECT_FALSE(Known());
}

TEST_F(CheckedLayout, ARowThatContradictsTheColumnsIsNotTrusted) {
  auto expect_unknown = [&](const char* what, auto change) {
    auto saved = rows_;
    change();
    EXPECT_FALSE(Known()) << what;
    rows_ = saved;
  };
  expect_unknown("missing column row", [&] { rows_.erase(4); });
  expect_unknown("another type", [&] { rows_[1].xtype = 127; });
  expect_unknown("variable type at a fixed offset", [&] { rows_[2].leafOffset = 20; });
  expect_unknown("fixed type as a variable column", [&] { rows_[4].leafOffset = -3; });
  expect_unknown("inside the record header", [&] { rows_[1].leafOffset = 2; });
  expect_unknown("overlapping fixed columns", [&] { rows_[4].leafOffset = 6; });
  expect_unknown("fixed column on the bit byte", [&] { rows_[4].leafOffset = 10; });
  expect_unknown("past the largest record", [&] { rows_[4].leafOffset = 8058; });
  expect_unknown("bit beyond the byte", [&] { rows_[3].bitPos = 8; });
  expect_unknown("one null bit twice", [&] { rows_[4].nullBit = 2; });
  expect_unknown("one variable number twice", [&] { rows_[0].leafOffset = -2; });
  expect_unknown("variable number beyond those stored", [&] { rows_[2].leafOffset = -3; });
  expect_unknown("a table without columns", [&] { table_.columns.clear(); });
}

// ---- whole files ----

constexpr uint32_t kEmployee = 565577053;

class LayoutOfFiles : public ::testing::TestWithParam<FormatVersion> {
 protected:
  fixtures::sql2005::Database2005 Employees() const {
    // The employee table, and a table without rows of its own.
    return {.version = GetParam(),
            .tables = {fixtures::user_rows::EmployeeTable2005(GetParam(), kEmployee), {77, "plain", 1, {{"id", 56}}}}};
  }
  std::unique_ptr<OpenedFile> Open(const fixtures::sql2005::Database2005& d) {
    PageOwnerConflict conflict;
    return OpenBuilt(fixtures::sql2005::BuildDatabase2005(d).file, conflict);
  }
  bool Is2005() const { return GetParam() == FormatVersion::kSql2005; }
};

TEST_P(LayoutOfFiles, TheClusteredTableGetsItsRecordedPlaces) {
  auto o = Open(Employees());
  EXPECT_FALSE(o->result.usedFallback);
  EXPECT_TRUE(o->messages.Quiet());
  const TableInfo& t = o->db.catalog.tables.at(kEmployee);
  const PhysicalLayout2005& layout = t.physicalLayout2005;
  ASSERT_TRUE(layout.known);
  EXPECT_EQ(layout.columns.at(4).leafOffset, Is2005() ? -3 : -2);  // lname
  EXPECT_EQ(layout.columns.at(2).leafOffset, Is2005() ? -2 : -3);  // fname
  EXPECT_EQ(layout.columns.at(3).leafOffset, Is2005() ? 13 : 4);   // minit
  EXPECT_EQ(layout.columns.at(1).nullBit, Is2005() ? 1 : 5);       // emp_id
  ASSERT_EQ(layout.hidden.size(), 1u);
  EXPECT_EQ(layout.hidden[0].leafOffset, -1);
  EXPECT_EQ(layout.hidden[0].nullBit, Is2005() ? 0 : 1);
  // The catalog's own texts and fields stay as they were.
  EXPECT_EQ(t.columns.at(2).xoffset, 1);
  EXPECT_EQ(t.columns.at(2).sizeText, "(20)");
  EXPECT_FALSE(o->db.catalog.tables.at(77).physicalLayout2005.known);
}

// A column described twice: the same row again (a page listed twice)
// changes nothing, a contradicting row leaves the layout unknown. A damaged
// rowset column unit is damage as one of the nine's is: the system pages
// are taken from the file's headers, the layout from the pages found (left
// unknown, the table's rows would be read with their columns misplaced).
TEST_P(LayoutOfFiles, ConflictingRowsLeaveTheLayoutUnknownADamagedUnitIsScannedPast) {
  fixtures::sql2005::Database2005 d = Employees();
  fixtures::sql2005::Built2005 probe = fixtures::sql2005::BuildDatabase2005(d);
  const uint64_t rowset = probe.layout.tables.at(kEmployee).rowsetId;
  const uint32_t layout_table = Is2005() ? 13 : 3;
  auto row_of = [&](const RowsetColumn2005& c) {
    return Is2005() ? fixtures::sql2005::HobtColumnRowBytes(rowset, c)
                    : fixtures::sql2005::RscolsRowBytes(rowset, c);
  };
  d.extraSystemRows[layout_table] = {row_of(d.tables[0].rowsetColumns[3])};
  EXPECT_TRUE(Open(d)->db.catalog.tables.at(kEmployee).physicalLayout2005.known);
  d.extraSystemRows[layout_table] = {row_of({3, Is2005() ? 3u : 4u, 175, 1, 40, 4})};
  EXPECT_FALSE(Open(d)->db.catalog.tables.at(kEmployee).physicalLayout2005.known);

  d.extraSystemRows.clear();
  // The unit's IAM page is named as a data page of the table.
  d.systemIamPage[layout_table] = probe.layout.tables.at(kEmployee).singlePages.at(0);
  auto o = Open(d);
  EXPECT_TRUE(o->result.usedFallback);
  EXPECT_EQ(o->db.catalog.tables.size(), 2u);
  EXPECT_TRUE(o->db.catalog.tables.at(kEmployee).physicalLayout2005.known);
}

INSTANTIATE_TEST_SUITE_P(BothServers, LayoutOfFiles,
                         ::testing::Values(FormatVersion::kSql2005, FormatVersion::kSql2008),
                         [](const auto& info) {
                           return info.param == FormatVersion::kSql2005 ? std::string("Sql2005")
                                                                        : std::string("Sql2008");
                         });

// ---- the real pubs files ----

std::unique_ptr<OpenedFile> OpenReal(const std::string& path) {
  auto o = std::make_unique<OpenedFile>();
  EXPECT_TRUE(o->db.OpenFile(path));
  PageOwnerConflict conflict;
  o->result = OpenCatalog2005(o->db, conflict);
  return o;
}

TEST(LayoutOfRealFiles, Pubs2008EmployeeStoresItsKeyFirst) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2008.mdf");
  auto o = OpenReal(path);
  const TableInfo* t = FindTableByName(o->db.catalog, "dbo.employee");
  ASSERT_TRUE(t);
  const PhysicalLayout2005& l = t->physicalLayout2005;
  ASSERT_TRUE(l.known);
  EXPECT_EQ(l.rowsetId, 0x0100000000190000ull);
  EXPECT_EQ(l.columns.at(4).leafOffset, -2);  // lname
  EXPECT_EQ(l.columns.at(2).leafOffset, -3);  // fname
  EXPECT_EQ(l.columns.at(3).leafOffset, 4);   // minit
  EXPECT_EQ(l.columns.at(1).leafOffset, 5);   // emp_id
  EXPECT_EQ(l.columns.at(8).leafOffset, 21);  // hire_date
  EXPECT_EQ(l.columns.at(1).nullBit, 5);
  ASSERT_EQ(l.hidden.size(), 1u);
  EXPECT_EQ(l.hidden[0].leafOffset, -1);
  EXPECT_EQ(l.hidden[0].nullBit, 1);
  // authors: unique clustered key, no hidden column; contract a bit at 23.
  const TableInfo* a = FindTableByName(o->db.catalog, "dbo.authors");
  ASSERT_TRUE(a && a->physicalLayout2005.known);
  EXPECT_TRUE(a->physicalLayout2005.hidden.empty());
  EXPECT_EQ(a->physicalLayout2005.columns.at(9).leafOffset, 23);
  EXPECT_EQ(a->physicalLayout2005.columns.at(9).bitPos, 0);
}

TEST(LayoutOfRealFiles, Pubs2005EmployeeKeepsItsSql2000Places) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2005.mdf");
  auto o = OpenReal(path);
  EXPECT_FALSE(o->db.systemPages2005.sysrowsetcolumns.empty());
  EXPECT_FALSE(o->db.systemPages2005.syshobtcolumns.empty());
  const TableInfo* t = FindTableByName(o->db.catalog, "dbo.employee");
  ASSERT_TRUE(t);
  const PhysicalLayout2005& l = t->physicalLayout2005;
  ASSERT_TRUE(l.known);
  EXPECT_EQ(l.columns.at(1).leafOffset, 4);   // emp_id
  EXPECT_EQ(l.columns.at(3).leafOffset, 13);  // minit
  EXPECT_EQ(l.columns.at(2).leafOffset, -2);  // fname
  EXPECT_EQ(l.columns.at(4).leafOffset, -3);  // lname
  ASSERT_EQ(l.hidden.size(), 1u);
  EXPECT_EQ(l.hidden[0].leafOffset, -1);
  EXPECT_EQ(l.hidden[0].nullBit, 0);  // no null bit for the uniquifier
  // Every pubs table has a trusted layout.
  for (const char* name : {"authors", "discounts", "jobs", "pub_info", "publishers", "roysched",
                           "sales", "stores", "titleauthor", "titles"}) {
    const TableInfo* other = FindTableByName(o->db.catalog, std::string("dbo.") + name);
    ASSERT_TRUE(other) << name;
    EXPECT_TRUE(other->physicalLayout2005.known) << name;
  }
}

}  // namespace
}  // namespace tollamer::sql2005
