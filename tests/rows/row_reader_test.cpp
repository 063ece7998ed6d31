// The row readers: the record walk on hand-laid pages with hand-made
// catalogs (column placement of both versions, slot and record screening,
// damage), grid pages, the damaged-index question and compressed pages of
// whole synthetic databases.
#include "engine/rows/row_reader.h"

#include <gtest/gtest.h>

#include "engine/catalog/sql2000/open_catalog2000.h"
#include "engine/catalog/sql2005/open_catalog_2005.h"
#include "engine/rows/table_rows.h"
#include "tests/fixtures/cd_record_builder.h"
#include "tests/fixtures/lob_builder.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace fixtures;
using namespace fixtures::user_rows;
namespace sql2000 = fixtures::sql2000;
namespace sql2005f = fixtures::sql2005;
using Row = std::vector<std::string>;

constexpr uint32_t kTable = 900;
constexpr uint32_t kFirstDataPage = 20;

struct HandColumn {
  std::string name;
  uint8_t xtype;
  uint16_t length;
  int16_t xoffset = 0;  // 2000 only
  uint8_t bitpos = 0;
  uint16_t colstat = 0;
};

FormatVersion FormatOf(VersionSetting v) {
  return v == VersionSetting::kSql2000 ? FormatVersion::kSql2000 : FormatVersion::kSql2008;
}

class RowReaderTest : public ::testing::Test {
 protected:
  void Reset() {
    file_ = FileBuilder(64);
    pages_.clear();
  }
  // Data pages from page 20 on, each with the records given, in slot order.
  void AddPage(std::vector<Bytes> records, FormatVersion v = FormatVersion::kSql2008) {
    uint32_t n = kFirstDataPage + static_cast<uint32_t>(pages_.size());
    PageBuilder b(page_layout::PageType::kData, n);
    b.ObjId(kTable);
    for (const Bytes& r : records) b.AddRecord(r);
    Bytes page = b.Build();
    FinishPage(page, v);
    file_.SetPage(n, std::move(page));
    pages_.push_back(n);
  }
  void AddRawPage(Bytes page) {
    uint32_t n = kFirstDataPage + static_cast<uint32_t>(pages_.size());
    file_.SetPage(n, std::move(page));
    pages_.push_back(n);
  }
  CMdfDatabase& Open(const std::vector<HandColumn>& columns, VersionSetting v) {
    messages_ = std::make_unique<RecordingMessages>();
    db_ = std::make_unique<CMdfDatabase>(*messages_);
    EXPECT_TRUE(db_->OpenFile(dir_.Write("h.mdf", file_.Image())));
    TableInfo t{.id = kTable, .fullName = "dbo.hand"};
    uint16_t colid = 1;
    for (const HandColumn& h : columns) {
      t.columns[colid] = {.name = h.name, .xtype = h.xtype, .xprec = 10, .length = h.length,
                          .colid = colid, .xoffset = h.xoffset, .bitpos = h.bitpos,
                          .colstat = h.colstat};
      ++colid;
    }
    db_->catalog.tables[kTable] = t;
    db_->dataPageLists[kTable] = DataPageList(pages_.begin(), pages_.end());
    version_ = v;
    return *db_;
  }
  // A file built with its system tables, opened with its catalog.
  CMdfDatabase& OpenBuilt(const FileBuilder& file, VersionSetting v, bool answer = true) {
    messages_ = std::make_unique<RecordingMessages>(answer);
    db_ = std::make_unique<CMdfDatabase>(*messages_);
    EXPECT_TRUE(db_->OpenFile(dir_.Write("t.mdf", file.Image())));
    version_ = v;
    if (v == VersionSetting::kSql2000) OpenCatalog2000(*db_);
    else tollamer::sql2005::OpenCatalog2005(*db_);
    return *db_;
  }
  std::vector<Row> Rows(uint32_t table = kTable) {
    std::vector<Row> rows;
    ForEachTableRow(*db_, version_, table, [&](const Row& r) {
      rows.push_back(r);
      return true;
    });
    return rows;
  }

  FileBuilder file_{64};
  std::vector<uint32_t> pages_;
  testing::TempDir dir_;
  std::unique_ptr<RecordingMessages> messages_;
  std::unique_ptr<CMdfDatabase> db_;
  VersionSetting version_ = VersionSetting::kNone;
};

TEST_F(RowReaderTest, A2000ComputedColumnIsNullAndTakesNoNullBit) {
  // a int, b computed, c int (NULL), d varchar: the record stores a, c, d.
  Bytes r = RecordBuilder().FixedU32(5).FixedU32(0).ColumnCount(3).Null(2).Var(Text("dd")).Build();
  AddPage({r}, FormatVersion::kSql2000);
  Open({{"a", 56, 4, 4}, {"b", 56, 4, 0, 0, 0x04}, {"c", 56, 4, 8}, {"d", 167, 10, -1}},
       VersionSetting::kSql2000);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"5", "NULL", "NULL", "dd"}}));
}

TEST_F(RowReaderTest, NineBitColumnsIn2005TakeTwoBytes) {
  std::vector<HandColumn> cols;
  std::vector<UserColumn> layout;
  std::vector<Value> values;
  for (int i = 0; i < 9; ++i) {
    cols.push_back({"b" + std::to_string(i), 104, 1});
    layout.push_back({104, 1});
    values.push_back(Bit(i == 0 || i == 8));
  }
  cols.push_back({"after", 56, 4});
  layout.push_back({56, 4});
  values.push_back(Fixed(Int32(77)));
  Bytes r = UserRecord(layout, values);
  EXPECT_EQ(r[2], 4 + 2 + 4);  // F: two bit bytes and the int
  AddPage({r});
  Open(cols, VersionSetting::kSql2005);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "0", "0", "0", "0", "0", "0", "0", "1", "77"}}));
}

TEST_F(RowReaderTest, SlotOffsetsOfZeroAndBelowTheHeaderAreIgnored) {
  for (VersionSetting v : {VersionSetting::kSql2000, VersionSetting::kSql2005}) {
    Reset();
    const FormatVersion fv = FormatOf(v);
    Bytes r = UserRecord({{56, 4}}, {Fixed(Int32(1))});
    PageBuilder b(page_layout::PageType::kData, kFirstDataPage);
    b.AddRecord(r);
    if (v == VersionSetting::kSql2000) b.AddRecordAt(0x40, r);  // inside the header: slot 1
    else b.AddRecord(r);
    b.AddRecord(UserRecord({{56, 4}}, {Fixed(Int32(3))}));
    Bytes page = b.Build();
    PutU16(page, page_layout::kSlotCnt, 4);
    PutU16(page, page_layout::SlotEntryOffset(3), 0);
    if (v == VersionSetting::kSql2000) {
      // Slot 1 points into the header, where a copy of the record now lies.
      std::copy(r.begin(), r.end(), page.begin() + 0x40);
    } else {
      // (2005 pages with header bytes there are not taken at all.)
      PutU16(page, page_layout::SlotEntryOffset(1), 0);
    }
    FinishPage(page, fv);
    AddRawPage(page);
    Open({{"n", 56, 4, 4}}, v);
    EXPECT_EQ(Rows(), (std::vector<Row>{{"1"}, {"3"}}));
  }
}

TEST_F(RowReaderTest, A2005RecordWithTwoColumnsTooManyEndsItsPage) {
  auto rec = [](int32_t n, uint16_t count) {
    return RecordBuilder().FixedU32(static_cast<uint32_t>(n)).ColumnCount(count).Build();
  };
  AddPage({rec(1, 2), rec(2, 3), rec(3, 4), rec(4, 2)});  // 4 = columns + 2
  AddPage({rec(5, 2)});
  Open({{"n", 56, 4}, {"m", 56, 4}}, VersionSetting::kSql2005);
  // The second column lies beyond F in these records: NULL.
  EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "NULL"}, {"2", "NULL"}, {"5", "NULL"}}));
}

// An ntext pointer to page 0 reads as empty; an empty varchar is a blank in
// 2005 and empty in 2000.
TEST_F(RowReaderTest, EmptyNtextAndVarcharValuesByVersion) {
  for (VersionSetting v : {VersionSetting::kSql2000, VersionSetting::kSql2005}) {
    Reset();
    const FormatVersion fv = FormatOf(v);
    AddPage({UserRecord({{56, 4}, {99, 16}, {167, 10}, {167, 10}},
                        {Fixed(Int32(1)), Var(TextPointerBytes(0, 0), true), Var({}), Var(Text("x"))})},
            fv);
    Open({{"n", 56, 4, 4}, {"w", 99, 16, -1}, {"a", 167, 10, -2}, {"b", 167, 10, -3}}, v);
    EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "", v == VersionSetting::kSql2000 ? "" : " ", "x"}}))
        << static_cast<int>(v);
  }
}

// The xml column before the int takes no room in the fixed part.
TEST_F(RowReaderTest, AnOffRowVarcharMaxAsTheFirstVariableColumnAndAnXmlColumn) {
  file_.SetPage(50, LobPage(page_layout::PageType::kTextMix, 50, {LobDataFragment(0x55, Text("first piece|second"))}));
  Bytes pointer = InRowLobPointer(0, {LobLink{18, 50, 0, 1}});
  AddPage({UserRecord({{167, 0xFFFF}, {241, 0xFFFF}, {56, 4}, {167, 10}},
                      {Var(pointer, true), Var(XmlElementValue("e", "", "", "")), Fixed(Int32(4)),
                       Var(Text("tail"))})});
  Open({{"big", 167, 0xFFFF}, {"doc", 241, 0xFFFF}, {"n", 56, 4}, {"s", 167, 10}},
       VersionSetting::kSql2005);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"first piece|second", "<e />", "4", "tail"}}));
  // An off-row value is cut to 800 characters.
  file_.SetPage(51, LobPage(page_layout::PageType::kTextMix, 51, {LobDataFragment(0x56, Bytes(1000, 'q'))}));
  pages_.clear();
  AddPage({UserRecord({{167, 0xFFFF}}, {Var(InRowLobPointer(0, {LobLink{1000, 51, 0, 1}}), true)})});
  Open({{"big", 167, 0xFFFF}}, VersionSetting::kSql2005);
  EXPECT_EQ(Rows(), (std::vector<Row>{{std::string(800, 'q')}}));
}

// Rows written before columns were added store fewer columns: a later
// fixed column is NULL, a later variable one empty, and the columns after a
// binary one keep their places.
TEST_F(RowReaderTest, ShortRowsFromBeforeColumnsWereAdded) {
  // a int, b varchar, then c int and d varchar added later.
  const std::vector<UserColumn> cols = {{56, 4}, {167, 10}, {56, 4}, {167, 10}};
  AddPage({UserRecord(cols, {Fixed(Int32(1)), Var(Text("old"))}, 2),
           UserRecord(cols, {Fixed(Int32(2)), Var(Text("new")), Fixed(Int32(3)), Var(Text("d"))})},
          FormatVersion::kSql2000);
  Open({{"a", 56, 4, 4}, {"b", 167, 10, -1}, {"c", 56, 4, 8}, {"d", 167, 10, -2}},
       VersionSetting::kSql2000);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "old", "NULL", ""}, {"2", "new", "3", "d"}}));
  // bin binary(4), n int, s varchar added later.
  Reset();
  AddPage({UserRecord({{173, 4}, {56, 4}, {167, 10}}, {Fixed({1, 2, 3, 4}), Fixed(Int32(9))}, 2)});
  Open({{"bin", 173, 4, 4}, {"n", 56, 4, 8}, {"s", 167, 10, -1}}, VersionSetting::kSql2005);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"0x01020304", "9", ""}}));
  db_->catalog.tables[kTable].columns[1].xoffset = 4;
  version_ = VersionSetting::kSql2000;
  EXPECT_EQ(Rows(), (std::vector<Row>{{"0x01020304", "9", ""}}));
}

// A forwarded record is the row SQL Server moved; its stub, ghosts and index
// records are no rows, so each row comes exactly once.
TEST_F(RowReaderTest, ForwardedRecordsAreRowsStubsGhostsAndIndexRecordsAreSkipped) {
  const std::vector<UserColumn> cols = {{56, 4}, {167, 10}};
  auto rec = [&](int32_t n, RecordKind k) {
    return UserRecord(cols, {Fixed(Int32(n)), Var(Text("v"))}, std::nullopt, k);
  };
  for (VersionSetting v : {VersionSetting::kSql2000, VersionSetting::kSql2005}) {
    Reset();
    AddPage({rec(1, RecordKind::kPrimary), ForwardingStub(99, 3), rec(2, RecordKind::kForwarded),
             rec(3, RecordKind::kGhostData), rec(4, RecordKind::kIndex),
             rec(5, RecordKind::kPrimary)},
            FormatOf(v));
    Open({{"n", 56, 4, 4}, {"s", 167, 10, -1}}, v);
    // The back-pointer of the forwarded record is not a column.
    EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "v"}, {"2", "v"}, {"5", "v"}}));
  }
}

// A grid page shows eight data pages; SQL 2000 files count one grid page
// more than the whole ones (eight data pages: a second, empty grid page).
TEST_F(RowReaderTest, GridPagesOfEightDataPages) {
  for (VersionSetting v : {VersionSetting::kSql2000, VersionSetting::kSql2005}) {
    Reset();
    for (int32_t p = 0; p < 9; ++p) AddPage({UserRecord({{56, 4}}, {Fixed(Int32(p))})}, FormatOf(v));
    Open({{"n", 56, 4, 4}}, v);
    TableGridPage g1 = ShowTableData(*db_, v, kTable, 1);
    EXPECT_EQ(g1.pageCount, 2u);
    EXPECT_EQ(g1.rows.size(), 8u);
    EXPECT_EQ(ShowTableData(*db_, v, kTable, 2).rows, (std::vector<Row>{{"8"}}));
    EXPECT_TRUE(ShowTableData(*db_, v, kTable, 3).rows.empty());
    EXPECT_TRUE(ShowTableData(*db_, v, kTable, 0).rows.empty());
    db_->dataPageLists[kTable].pop_back();
    EXPECT_EQ(ShowTableData(*db_, v, kTable, 1).pageCount,
              v == VersionSetting::kSql2000 ? 2u : 1u);
  }
}

TEST_F(RowReaderTest, DamagedRecordsAndPagesAreSkippedOrCutShort) {
  // A variable column whose end offset runs past the page, a null bitmap
  // longer than 100 bytes, and a record whose fixed part ends past the page.
  Bytes runaway = UserRecord({{56, 4}, {167, 10}}, {Fixed(Int32(1)), Var(Text("abc"))});
  PutU16(runaway, 4 + 4 + 2 + 1 + 2, 0x7FF0);
  Bytes wide = RecordBuilder().FixedU32(2).ColumnCount(801).Build();
  Bytes long_fixed = UserRecord({{56, 4}}, {Fixed(Int32(3))});
  PutU16(long_fixed, 2, 0x1FF0);
  AddPage({runaway, wide, long_fixed}, FormatVersion::kSql2000);
  // A page that is not a data page, and (2005) one whose reserved bytes are set.
  PageBuilder index(page_layout::PageType::kIndex, kFirstDataPage + 1);
  index.AddRecord(UserRecord({{56, 4}, {167, 10}}, {Fixed(Int32(4)), Var(Text("i"))}));
  Bytes index_page = index.Build();
  FinishPage(index_page, FormatVersion::kSql2000);
  AddRawPage(index_page);
  Open({{"n", 56, 4, 4}, {"s", 167, 10, -1}}, VersionSetting::kSql2000);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"1", ""}}));

  Reset();
  AddPage({UserRecord({{56, 4}}, {Fixed(Int32(5))})});
  AddRawPage(file_.MutablePage(kFirstDataPage));
  file_.MutablePage(kFirstDataPage + 1)[page_layout::kReserved + 3] = 1;
  Open({{"n", 56, 4}}, VersionSetting::kSql2005);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"5"}}));
}

// The cells' places are checked through the row texts of the other tests.
TEST_F(RowReaderTest, TheRecordWalkGivesEachRecordWithItsPageAndAStopEndsIt) {
  AddPage({UserRecord({{56, 4}, {167, 10}}, {Fixed(Int32(-2)), Null()})});
  AddPage({UserRecord({{56, 4}}, {Fixed(Int32(1))})});
  Open({{"n", 56, 4}, {"a", 167, 10}}, VersionSetting::kSql2005);
  for (size_t stop_after : {size_t{1}, size_t{3}}) {
    std::vector<TableRecord> seen;
    EXPECT_EQ(ForEachTableRecord(*db_, version_, kTable, [&](const TableRecord& r) {
      seen.push_back(r);
      return seen.size() < stop_after;
    }), stop_after == 3);
    ASSERT_EQ(seen.size(), std::min<size_t>(stop_after, 2));
    EXPECT_EQ(seen.back().pageNumber, kFirstDataPage + seen.size() - 1);
    EXPECT_EQ(seen[0].cells.size(), 2u);
    EXPECT_EQ(seen[0].cells[1].kind, CellKind::kNull);
  }
}

// A 2000 table whose IAM page has been overwritten.
FileBuilder DamagedIndexDatabase() {
  // An int and a varchar of 3000 bytes: two rows a page, two pages.
  sql2000::Table2000 t{500, "paged", 1, {{"n", 56, 0, 4, 10, 0, true}, {"s", 167, 0, 3000}}, 4, 2};
  for (int32_t i = 0; i < 4; ++i)
    t.records.push_back(UserRecord(Columns(t.columns), {Fixed(Int32(i)), Var(Bytes(3000, 'x'))}));
  sql2000::Layout2000 layout;
  FileBuilder file = sql2000::BuildDatabase2000({.tables = {t}}, &layout);
  Bytes& iam = file.MutablePage(layout.iamPage.at(500));
  std::fill(iam.begin(), iam.end(), 0);
  return file;
}

TEST_F(RowReaderTest, DamagedTableIndexAsksOnceAndScansOnOkOrGivesAnEmptyGrid) {
  OpenBuilt(DamagedIndexDatabase(), VersionSetting::kSql2000, true);
  db_->dataPageLists.erase(500);
  std::vector<Row> rows = Rows(500);
  EXPECT_EQ(rows.size(), 4u);
  EXPECT_EQ((*messages_).questions, std::vector<EngineQuestion>{EngineQuestion::kScanFileForTable});
  // The list found by the scan stays: no second question.
  EXPECT_EQ(ShowTableData(*db_, version_, 500, 1).rows.size(), 4u);
  EXPECT_EQ((*messages_).questions.size(), 1u);
  // Cancelled: an empty grid with its titles, and no list.
  OpenBuilt(DamagedIndexDatabase(), VersionSetting::kSql2000, false);
  db_->dataPageLists.erase(500);
  TableGridPage grid = ShowTableData(*db_, version_, 500, 1);
  EXPECT_TRUE(grid.rows.empty());
  EXPECT_EQ(grid.titles, (Row{"n", "s"}));
  EXPECT_EQ(grid.pageCount, 1u);
  EXPECT_EQ((*messages_).questions.size(), 1u);
  EXPECT_FALSE(db_->dataPageLists.count(500));
}

TEST_F(RowReaderTest, Sql2005TablesWithoutAListAreLocatedWithoutAQuestion) {
  EveryTypeDatabase2005 d = BuildEveryTypeDatabase2005(FormatVersion::kSql2008);
  OpenBuilt(d.built.file, VersionSetting::kSql2005);
  db_->dataPageLists.clear();
  EXPECT_EQ(ShowTableData(*db_, version_, d.tableId, 1).rows.size(), 2u);
  EXPECT_TRUE((*messages_).questions.empty());
  EXPECT_TRUE(ShowTableData(*db_, VersionSetting::kNone, d.tableId, 1).rows.empty());
  EXPECT_TRUE(ShowTableData(*db_, version_, 12345, 1).titles.empty());
}

// A 2008 table of an int and a varchar with a row- and a page-compressed page.
TEST_F(RowReaderTest, RowAndPageCompressedRecordsAreDecoded) {
  // A row-compressed page: CD records in the slot array of a plain page.
  PageBuilder row_page(page_layout::PageType::kData, 0);
  row_page.AddRecord(CdRecordBuilder().Short(CompressedIntBytes(7)).Short(Text("seven")).Build());
  row_page.AddRecord(CdRecordBuilder().Short(CompressedIntBytes(-1)).Null().Build());
  // A page-compressed page: "pre" anchored, a dictionary symbol.
  CdPageBuilder page_page(0);
  page_page.Anchor(CdRecordBuilder().Null().Short(Text("pre")).Build());
  page_page.Dictionary({{0x03, 'f', 'i', 'x'}});
  page_page.AddRecord(CdRecordBuilder().Short(CompressedIntBytes(9)).Symbol(0).Build());
  sql2005f::Built2005 built = sql2005f::BuildDatabase2005(
      {.tables = {{800, "packed", 1, {{"n", 56, 0, 4, 10, 0, true}, {"s", 167, 0, 20}}, 0, 2}}});
  SetTablePage2005(built, 800, 0, row_page.Build(), FormatVersion::kSql2008);
  SetTablePage2005(built, 800, 1, page_page.Build(), FormatVersion::kSql2008);
  OpenBuilt(built.file, VersionSetting::kSql2005);
  EXPECT_EQ(Rows(800), (std::vector<Row>{{"7", "seven"}, {"-1", "NULL"}, {"9", "prefix"}}));
  EXPECT_TRUE((*messages_).Quiet());
}

}  // namespace
}  // namespace tollamer
