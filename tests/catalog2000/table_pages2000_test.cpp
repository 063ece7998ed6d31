#include "engine/catalog/sql2000/table_pages2000.h"

#include "engine/catalog/sql2000/open_catalog2000.h"
#include "tests/catalog2000/hand_pages2000.h"

namespace tollamer::testing2000 {
namespace {

using Pages = DataPageList;
constexpr uint32_t kTable = 500;
constexpr uint32_t kOther = 600;

class TablePages2000Test : public HandFileTest {
 protected:
  // sysindexes on page 16; the table's IAM on 17 names single pages 40
  // (its own data page) and 42 (its index page), and extent 6 (pages
  // 48..55) holding its pages 48 and 50 and another table's 49.
  FileBuilder TableFile(uint32_t dpages) {
    FileBuilder f(64);
    f.SetPage(16, DataPage(16, 2, {IndexRow(kOther, 1, 30), IndexRow(kTable, dpages, 17)}));
    f.SetPage(17, Iam(17, kTable, {40, 42}, {6}));
    f.SetPage(40, DataPage(40, kTable));
    f.SetPage(41, DataPage(41, kOther));
    f.SetPage(42, DataPage(42, kTable, {}, 0, PageType::kIndex));
    f.SetPage(48, DataPage(48, kTable));
    f.SetPage(49, DataPage(49, kOther));
    f.SetPage(50, DataPage(50, kTable));
    return f;
  }
  CMdfDatabase& OpenWithCatalog(const FileBuilder& f) {
    CMdfDatabase& db = Open(f);
    db.systemPages2000.sysindexes.Append(16);
    db.catalog.tables[kTable].id = kTable;
    db.catalog.tables[kOther].id = kOther;
    return db;
  }
};

// Three data pages take the data pages of the single page slots; eight add
// the table's own pages of each extent.
TEST_F(TablePages2000Test, DataPageCountDecidesWhetherExtentsAreRead) {
  for (uint32_t count : {3u, 8u}) {
    CMdfDatabase& db = OpenWithCatalog(TableFile(count));
    EXPECT_TRUE(LocateTablePages2000(db, kTable));
    EXPECT_EQ(db.dataPageLists.at(kTable), count == 3 ? (Pages{40}) : (Pages{40, 48, 50}));
    db_.Teardown();
  }
}

TEST_F(TablePages2000Test, DamagedIamReportsFailure) {
  const std::pair<uint32_t, Bytes> cases[] = {
      {3, DataPage(17, kTable)},             // not an IAM page
      {8, Iam(17, kTable, {40}, {6}, 40)},   // the chain goes on to a data page
      {8, Iam(17, kTable, {40}, {6}, 17)},   // the chain loops
      {3, Iam(17, kTable, {40, 41}, {6})},   // a slot names another table's page
      {3, Iam(17, kTable, {40, 17}, {6})}};  // a slot names the IAM page itself
  for (const auto& [data_pages, iam] : cases) {
    FileBuilder f = TableFile(data_pages);
    f.SetPage(17, iam);
    EXPECT_FALSE(LocateTablePages2000(OpenWithCatalog(f), kTable)) << data_pages;
    db_.Teardown();
  }
}

TEST_F(TablePages2000Test, RowSearchPassesOverPagesWhoseFirstRowHasNoPages) {
  FileBuilder f = TableFile(3);
  // Page 18 comes first in the list: its first row of the table has no data
  // pages, so its second row (which would fail) is not looked at.
  f.SetPage(18, DataPage(18, 2, {IndexRow(kTable, 0, 17), IndexRow(kTable, 3, 40)}));
  CMdfDatabase& db = Open(f);
  db.systemPages2000.sysindexes.Append(18);
  db.systemPages2000.sysindexes.Append(16);
  EXPECT_TRUE(LocateTablePages2000(db, kTable));
  EXPECT_EQ(db.dataPageLists.at(kTable), (Pages{40}));
  db_.Teardown();
  // No usable row (an index row, a row without pages): success without a list.
  f.SetPage(16, DataPage(16, 2, {IndexRow(kTable, 3, 17, /*indid=*/2), IndexRow(kTable, 0, 17)}));
  CMdfDatabase& none = OpenWithCatalog(f);
  EXPECT_TRUE(LocateTablePages2000(none, kTable));
  EXPECT_FALSE(none.dataPageLists.contains(kTable));
}

TEST_F(TablePages2000Test, OneTableScanTakesItsDataPagesInFileOrder) {
  FileBuilder f = TableFile(3);
  f.SetPage(60, DataPage(60, kTable));  // named by no IAM
  f.SetPage(61, PageBuilder(PageType::kData, 61).ObjId(kTable).HeaderVersion(2).Build());
  CMdfDatabase& db = OpenWithCatalog(f);
  db.dataPageLists[kTable] = {99, 98};
  ScanFileForTable2000(db, kTable, false);
  EXPECT_EQ(db.dataPageLists.at(kTable), (Pages{40, 48, 50, 60}));
}

TEST_F(TablePages2000Test, AllTablesScanFilesOnlyTablesOfTheCatalog) {
  FileBuilder f = TableFile(3);
  f.SetPage(58, DataPage(58, 1));    // a system table's page
  f.SetPage(59, DataPage(59, 777));  // a dropped table's page
  CMdfDatabase& db = OpenWithCatalog(f);
  db.catalog.tables[800].id = 800;
  db.dataPageLists[800] = {3, 4};  // no page of it survives: the list stays, empty
  ScanFileForTable2000(db, 0, true);
  EXPECT_EQ(db.dataPageLists.at(kTable), (Pages{40, 48, 50}));
  EXPECT_EQ(db.dataPageLists.at(kOther), (Pages{41, 49}));
  EXPECT_TRUE(db.dataPageLists.at(800).empty());
  EXPECT_FALSE(db.dataPageLists.contains(1));
  EXPECT_FALSE(db.dataPageLists.contains(777));
}

// pubs as a real SQL Server 2000 wrote it: the IAM pages name the pages the
// whole-file scan finds.
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
}  // namespace tollamer::testing2000
