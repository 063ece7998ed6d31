// The row readers over whole synthetic databases: every type of both
// versions, grid pages, short rows, record kinds, the damaged-index
// question and compressed pages.
#include "engine/rows/table_rows.h"

#include <gtest/gtest.h>

#include "engine/catalog/sql2000/open_catalog2000.h"
#include "engine/catalog/sql2005/open_catalog_2005.h"
#include "engine/rows/row_reader_pages.h"
#include "tests/fixtures/cd_record_builder.h"
#include "tests/fixtures/lob_builder.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace fixtures;
namespace sql2000 = fixtures::sql2000;
namespace sql2005f = fixtures::sql2005;
using namespace fixtures::user_rows;
using Row = std::vector<std::string>;

class TableRowsTest : public ::testing::Test {
 protected:
  CMdfDatabase& Open(const FileBuilder& file, VersionSetting version, bool answer = true) {
    messages_ = std::make_unique<RecordingMessages>(answer);
    db_ = std::make_unique<CMdfDatabase>(*messages_);
    EXPECT_TRUE(db_->OpenFile(dir_.Write("t.mdf", file.Image())));
    version_ = version;
    if (version == VersionSetting::kSql2000) OpenCatalog2000(*db_);
    else tollamer::sql2005::OpenCatalog2005(*db_);
    return *db_;
  }
  std::vector<Row> AllRows(uint32_t id) {
    std::vector<Row> rows;
    ForEachTableRow(*db_, version_, id, [&](const Row& r) {
      rows.push_back(r);
      return true;
    });
    return rows;
  }
  RecordingMessages& Messages() { return *messages_; }

  testing::TempDir dir_;
  std::unique_ptr<RecordingMessages> messages_;
  std::unique_ptr<CMdfDatabase> db_;
  VersionSetting version_ = VersionSetting::kNone;
};

// A table of an int and a varchar whose rows fill `pages` data pages.
sql2000::Table2000 PagedTable2000(uint32_t pages) {
  sql2000::Table2000 t;
  t.id = 500;
  t.name = "paged";
  t.columns = {{"n", 56, 0, 4, 10, 0, true}, {"s", 167, 0, 3000, 0, 0, false}};
  for (uint32_t i = 0; i < pages * 2; ++i)
    t.records.push_back(UserRecord(Columns(t.columns),
                                   {Fixed(Int32(static_cast<int32_t>(i))), Var(Bytes(3000, 'x'))}));
  t.dataPages = pages;
  t.rowCount = pages * 2;
  return t;
}

TEST_F(TableRowsTest, EightDataPagesAreTwoGridPagesIn2000AndOneIn2005) {
  sql2000::Database2000 d2000;
  d2000.tables.push_back(PagedTable2000(8));
  Open(sql2000::BuildDatabase2000(d2000), VersionSetting::kSql2000);
  TableGridPage first = ShowTableData(*db_, version_, 500, 1);
  EXPECT_EQ(first.pageCount, 2u);
  EXPECT_EQ(first.rows.size(), 16u);
  EXPECT_EQ(first.rows[15][0], "15");
  EXPECT_TRUE(ShowTableData(*db_, version_, 500, 2).rows.empty());
  EXPECT_TRUE(ShowTableData(*db_, version_, 500, 0).rows.empty());

  sql2005f::Database2005 d2005;
  sql2005f::Table2005 t;
  t.id = 500;
  t.name = "paged";
  t.columns = {{"n", 56, 0, 4, 10, 0, true}};
  t.dataPages = 9;
  d2005.tables.push_back(t);
  sql2005f::Built2005 built = sql2005f::BuildDatabase2005(d2005);
  std::vector<std::vector<Bytes>> pages;
  for (int32_t p = 0; p < 9; ++p) pages.push_back({UserRecord({{56, 4}}, {Fixed(Int32(p))})});
  FillTablePages2005(built, 500, pages, FormatVersion::kSql2008);
  Open(built.file, VersionSetting::kSql2005);
  TableGridPage g1 = ShowTableData(*db_, version_, 500, 1);
  EXPECT_EQ(g1.pageCount, 2u);  // nine pages; eight alone would be one
  EXPECT_EQ(g1.rows.size(), 8u);
  TableGridPage g2 = ShowTableData(*db_, version_, 500, 2);
  ASSERT_EQ(g2.rows.size(), 1u);
  EXPECT_EQ(g2.rows[0][0], "8");
  db_->dataPageLists[500].pop_back();
  EXPECT_EQ(ShowTableData(*db_, version_, 500, 1).pageCount, 1u);
}

TEST_F(TableRowsTest, ShortRowsFromBeforeColumnsWereAdded) {
  // a int, b varchar, then c int and d varchar added later.
  sql2000::Table2000 t;
  t.id = 600;
  t.name = "grown";
  t.columns = {{"a", 56, 0, 4, 10, 0, true}, {"b", 167, 0, 10, 0, 0, false},
               {"c", 56, 0, 4, 10, 0, false}, {"d", 167, 0, 10, 0, 0, false}};
  std::vector<UserColumn> cols = Columns(t.columns);
  t.records = {UserRecord(cols, {Fixed(Int32(1)), Var(Text("old"))}, 2),
               UserRecord(cols, {Fixed(Int32(2)), Var(Text("new")), Fixed(Int32(3)), Var(Text("d"))})};
  t.rowCount = 2;
  sql2000::Database2000 d;
  d.tables.push_back(t);
  Open(sql2000::BuildDatabase2000(d), VersionSetting::kSql2000);
  std::vector<Row> rows = AllRows(600);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (Row{"1", "old", "NULL", ""}));  // c beyond F: NULL; d not stored: empty
  EXPECT_EQ(rows[1], (Row{"2", "new", "3", "d"}));
}

// A forwarded record is the row SQL Server moved; its stub, ghosts and index
// records are no rows, so each row comes exactly once.
TEST_F(TableRowsTest, ForwardedRecordsAreRowsStubsGhostsAndIndexRecordsAreSkipped) {
  for (VersionSetting v : {VersionSetting::kSql2000, VersionSetting::kSql2005}) {
    std::vector<UserColumn> cols = {{56, 4}, {167, 10}};
    auto rec = [&](int32_t n, RecordKind k) {
      return UserRecord(cols, {Fixed(Int32(n)), Var(Text("v"))}, std::nullopt, k);
    };
    std::vector<Bytes> records = {rec(1, RecordKind::kPrimary), ForwardingStub(99, 3),
                                  rec(2, RecordKind::kForwarded), rec(3, RecordKind::kGhostData),
                                  rec(4, RecordKind::kIndex), rec(5, RecordKind::kPrimary)};
    if (v == VersionSetting::kSql2000) {
      sql2000::Database2000 d;
      d.tables.push_back({700, "kinds", 1, {{"n", 56, 0, 4, 10, 0, true}, {"s", 167, 0, 10, 0, 0, false}},
                          2, 1, false, records});
      Open(sql2000::BuildDatabase2000(d), v);
    } else {
      sql2005f::Database2005 d;
      sql2005f::Table2005 t;
      t.id = 700;
      t.name = "kinds";
      t.columns = {{"n", 56, 0, 4, 10, 0, true}, {"s", 167, 0, 10, 0, 0, false}};
      d.tables.push_back(t);
      sql2005f::Built2005 built = sql2005f::BuildDatabase2005(d);
      FillTablePages2005(built, 700, {records}, FormatVersion::kSql2008);
      Open(built.file, v);
    }
    std::vector<Row> rows = AllRows(700);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (Row{"1", "v"}));
    EXPECT_EQ(rows[1], (Row{"2", "v"}));  // the back-pointer is not a column
    EXPECT_EQ(rows[2], (Row{"5", "v"}));
  }
}

// A 2000 table whose IAM page has been overwritten.
FileBuilder DamagedIndexDatabase() {
  sql2000::Database2000 d;
  d.tables.push_back(PagedTable2000(2));
  sql2000::Layout2000 layout;
  FileBuilder file = sql2000::BuildDatabase2000(d, &layout);
  Bytes& iam = file.MutablePage(layout.iamPage.at(500));
  std::fill(iam.begin(), iam.end(), 0);
  return file;
}

TEST_F(TableRowsTest, DamagedTableIndexAsksOnceAndScansOnOkOrGivesAnEmptyGrid) {
  Open(DamagedIndexDatabase(), VersionSetting::kSql2000, true);
  db_->dataPageLists.erase(500);
  std::vector<Row> rows = AllRows(500);
  EXPECT_EQ(rows.size(), 4u);
  EXPECT_EQ(Messages().questions, std::vector<EngineQuestion>{EngineQuestion::kScanFileForTable});
  // The list found by the scan stays: no second question.
  EXPECT_EQ(ShowTableData(*db_, version_, 500, 1).rows.size(), 4u);
  EXPECT_EQ(Messages().questions.size(), 1u);
  // Cancelled: an empty grid with its titles, and no list.
  Open(DamagedIndexDatabase(), VersionSetting::kSql2000, false);
  db_->dataPageLists.erase(500);
  TableGridPage grid = ShowTableData(*db_, version_, 500, 1);
  EXPECT_TRUE(grid.rows.empty());
  EXPECT_EQ(grid.titles, (Row{"n", "s"}));
  EXPECT_EQ(grid.pageCount, 1u);
  EXPECT_EQ(Messages().questions.size(), 1u);
  EXPECT_FALSE(db_->dataPageLists.count(500));
}

TEST_F(TableRowsTest, Sql2005TablesWithoutAListAreLocatedWithoutAQuestion) {
  EveryTypeDatabase2005 d = BuildEveryTypeDatabase2005(FormatVersion::kSql2008);
  Open(d.built.file, VersionSetting::kSql2005);
  db_->dataPageLists.clear();
  EXPECT_EQ(ShowTableData(*db_, version_, d.tableId, 1).rows.size(), 2u);
  EXPECT_TRUE(Messages().questions.empty());
  EXPECT_TRUE(ShowTableData(*db_, VersionSetting::kNone, d.tableId, 1).rows.empty());
  EXPECT_TRUE(ShowTableData(*db_, version_, 12345, 1).titles.empty());
}

// A 2008 table of an int and a varchar with a row- and a page-compressed page.
TEST_F(TableRowsTest, RowAndPageCompressedRecordsAreDecoded) {
  // A row-compressed page: CD records in the slot array of a plain page.
  PageBuilder row_page(page_layout::PageType::kData, 0);
  row_page.AddRecord(CdRecordBuilder().Short(CompressedIntBytes(7)).Short(Text("seven")).Build());
  row_page.AddRecord(CdRecordBuilder().Short(CompressedIntBytes(-1)).Null().Build());
  // A page-compressed page: "pre" anchored, a dictionary symbol.
  CdPageBuilder page_page(0);
  page_page.Anchor(CdRecordBuilder().Null().Short(Text("pre")).Build());
  page_page.Dictionary({{0x03, 'f', 'i', 'x'}});
  page_page.AddRecord(CdRecordBuilder().Short(CompressedIntBytes(9)).Symbol(0).Build());
  sql2005f::Database2005 d;
  sql2005f::Table2005 t;
  t.id = 800;
  t.name = "packed";
  t.columns = {{"n", 56, 0, 4, 10, 0, true}, {"s", 167, 0, 20, 0, 0, false}};
  t.dataPages = 2;
  d.tables.push_back(t);
  sql2005f::Built2005 built = sql2005f::BuildDatabase2005(d);
  SetTablePage2005(built, 800, 0, row_page.Build(), FormatVersion::kSql2008);
  SetTablePage2005(built, 800, 1, page_page.Build(), FormatVersion::kSql2008);
  Open(built.file, VersionSetting::kSql2005);
  EXPECT_EQ(AllRows(800), (std::vector<Row>{{"7", "seven"}, {"-1", "NULL"}, {"9", "prefix"}}));
  EXPECT_TRUE(Messages().Quiet());
}

}  // namespace
}  // namespace tollamer
