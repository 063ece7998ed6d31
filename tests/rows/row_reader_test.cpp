// The record walk on hand-laid pages with hand-made catalogs: column
// placement of both versions, slot and record screening, and damage.
#include "engine/rows/row_reader.h"

#include <gtest/gtest.h>

#include "engine/rows/table_rows.h"
#include "tests/fixtures/lob_builder.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace fixtures;
using namespace fixtures::user_rows;
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

class RowReaderTest : public ::testing::Test {
 protected:
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
    db_ = std::make_unique<CMdfDatabase>(messages_);
    EXPECT_TRUE(db_->OpenFile(dir_.Write("h.mdf", file_.Image())));
    TableInfo t;
    t.id = kTable;
    t.fullName = "dbo.hand";
    uint16_t colid = 1;
    for (const HandColumn& h : columns) {
      ColumnInfo c;
      c.name = h.name;
      c.xtype = h.xtype;
      c.length = h.length;
      c.colid = colid;
      c.xoffset = h.xoffset;
      c.bitpos = h.bitpos;
      c.colstat = h.colstat;
      c.xprec = 10;
      t.columns[colid++] = c;
    }
    db_->catalog.tables[kTable] = t;
    db_->dataPageLists[kTable] = DataPageList(pages_.begin(), pages_.end());
    version_ = v;
    return *db_;
  }
  std::vector<Row> Rows() {
    std::vector<Row> rows;
    ForEachTableRow(*db_, version_, kTable, [&](const Row& r) {
      rows.push_back(r);
      return true;
    });
    return rows;
  }

  FileBuilder file_{64};
  std::vector<uint32_t> pages_;
  testing::TempDir dir_;
  RecordingMessages messages_;
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
    file_ = FileBuilder(64);
    pages_.clear();
    FormatVersion fv = v == VersionSetting::kSql2000 ? FormatVersion::kSql2000 : FormatVersion::kSql2008;
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
    file_ = FileBuilder(64);
    pages_.clear();
    FormatVersion fv = v == VersionSetting::kSql2000 ? FormatVersion::kSql2000 : FormatVersion::kSql2008;
    AddPage({UserRecord({{56, 4}, {99, 16}, {167, 10}, {167, 10}},
                        {Fixed(Int32(1)), Var(TextPointerBytes(0, 0), true), Var({}), Var(Text("x"))})},
            fv);
    Open({{"n", 56, 4, 4}, {"w", 99, 16, -1}, {"a", 167, 10, -2}, {"b", 167, 10, -3}}, v);
    Row expected = {"1", "", v == VersionSetting::kSql2000 ? "" : " ", "x"};
    EXPECT_EQ(Rows(), (std::vector<Row>{expected})) << static_cast<int>(v);
  }
}

TEST_F(RowReaderTest, AnOffRowVarcharMaxAsTheFirstVariableColumn) {
  Bytes fragment = LobDataFragment(0x55, Text("first piece|second"));
  file_.SetPage(50, LobPage(page_layout::PageType::kTextMix, 50, {fragment}));
  Bytes pointer = InRowLobPointer(0, {LobLink{18, 50, 0, 1}});
  AddPage({UserRecord({{167, 0xFFFF}, {56, 4}, {167, 10}},
                      {Var(pointer, true), Fixed(Int32(4)), Var(Text("tail"))})});
  Open({{"big", 167, 0xFFFF}, {"n", 56, 4}, {"s", 167, 10}}, VersionSetting::kSql2005);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"first piece|second", "4", "tail"}}));
  // An off-row value is cut to 800 characters.
  file_.SetPage(51, LobPage(page_layout::PageType::kTextMix, 51, {LobDataFragment(0x56, Bytes(1000, 'q'))}));
  pages_.clear();
  AddPage({UserRecord({{167, 0xFFFF}}, {Var(InRowLobPointer(0, {LobLink{1000, 51, 0, 1}}), true)})});
  Open({{"big", 167, 0xFFFF}}, VersionSetting::kSql2005);
  EXPECT_EQ(Rows(), (std::vector<Row>{{std::string(800, 'q')}}));
}

// Columns a binary(4), b int, c varchar added later: rows written before c
// store two columns.
TEST_F(RowReaderTest, ABinaryColumnOfAShortRowKeepsTheColumnsAfterItInPlace) {
  AddPage({UserRecord({{173, 4}, {56, 4}, {167, 10}}, {Fixed({1, 2, 3, 4}), Fixed(Int32(9))}, 2)});
  Open({{"bin", 173, 4, 4}, {"n", 56, 4, 8}, {"s", 167, 10, -1}}, VersionSetting::kSql2005);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"0x01020304", "9", ""}}));
  db_->catalog.tables[kTable].columns[1].xoffset = 4;
  version_ = VersionSetting::kSql2000;
  EXPECT_EQ(Rows(), (std::vector<Row>{{"0x01020304", "9", ""}}));
}

TEST_F(RowReaderTest, AnXmlColumnTakesNoRoomInTheFixedPart) {
  AddPage({UserRecord({{241, 0xFFFF}, {56, 4}},
                      {Var(XmlElementValue("e", "", "", "")), Fixed(Int32(12))})});
  Open({{"doc", 241, 0xFFFF}, {"n", 56, 4}}, VersionSetting::kSql2005);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"<e />", "12"}}));
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

  file_ = FileBuilder(64);
  pages_.clear();
  AddPage({UserRecord({{56, 4}}, {Fixed(Int32(5))})});
  Bytes reserved = file_.MutablePage(kFirstDataPage);
  AddRawPage(reserved);
  file_.MutablePage(kFirstDataPage + 1)[page_layout::kReserved + 3] = 1;
  Open({{"n", 56, 4}}, VersionSetting::kSql2005);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"5"}}));
}

TEST_F(RowReaderTest, TheRecordWalkGivesEachColumnsBytes) {
  AddPage({UserRecord({{56, 4}, {104, 1}, {167, 10}, {167, 10}},
                      {Fixed(Int32(-2)), Bit(true), Null(), Var(Text("xyz"))})});
  Open({{"n", 56, 4}, {"f", 104, 1}, {"a", 167, 10}, {"b", 167, 10}}, VersionSetting::kSql2005);
  std::vector<TableRecord> seen;
  EXPECT_TRUE(ForEachTableRecord(*db_, version_, kTable, [&](const TableRecord& r) {
    seen.push_back(r);
    return true;
  }));
  ASSERT_EQ(seen.size(), 1u);
  const TableRecord& r = seen[0];
  EXPECT_EQ(r.pageNumber, kFirstDataPage);
  ASSERT_EQ(r.cells.size(), 4u);
  EXPECT_EQ(r.cells[0].kind, CellKind::kFixed);
  EXPECT_EQ(r.cells[0].offset, 4);
  EXPECT_EQ(r.cells[1].kind, CellKind::kBit);
  EXPECT_EQ(r.cells[1].offset, 8);
  EXPECT_EQ(r.cells[2].kind, CellKind::kNull);
  EXPECT_EQ(r.cells[3].kind, CellKind::kVariable);
  EXPECT_EQ(r.cells[3].length, 3);
  // A visitor that stops ends the walk.
  AddPage({UserRecord({{56, 4}}, {Fixed(Int32(1))})});
  size_t visits = 0;
  EXPECT_FALSE(ForEachTableRecord(*db_, version_, kTable, [&](const TableRecord&) {
    ++visits;
    return false;
  }));
  EXPECT_EQ(visits, 1u);
}

}  // namespace
}  // namespace tollamer
