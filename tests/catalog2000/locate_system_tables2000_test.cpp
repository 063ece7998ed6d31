#include "engine/catalog/sql2000/locate_system_tables2000.h"

#include "engine/catalog/sql2000/open_catalog2000.h"
#include "engine/pagestore/iam_layout.h"
#include "tests/catalog2000/hand_pages2000.h"

namespace tollamer::testing2000 {
namespace {

using Pages = std::vector<uint64_t>;

class LocateSystemTables2000Test : public HandFileTest {};

TEST_F(LocateSystemTables2000Test, FewerThanEightPagesUseOnlyTheSinglePageSlots) {
  for (uint32_t count : {5u, 8u}) {
    FileBuilder f(64);
    f.SetPage(16, DataPage(16, 2, {IndexRow(3, count, 17)}));
    // Slots: two data pages, an index page and a data page with type flags 2.
    f.SetPage(17, Iam(17, 3, {20, 21, 22, 23}, {5}));
    f.SetPage(20, DataPage(20, 3));
    f.SetPage(21, DataPage(21, 3));
    f.SetPage(22, DataPage(22, 3, {}, 0, PageType::kIndex));
    f.SetPage(23, DataPage(23, 3, {}, 2));
    f.SetPage(40, DataPage(40, 3));   // in extent 5
    f.SetPage(42, DataPage(42, 77));  // another object's, not yet reused: left out
    CMdfDatabase& db = Open(f);
    SystemPages2000 lists;
    ASSERT_TRUE(LocateSystemTables2000(db.Store(), lists)) << count;
    EXPECT_EQ(lists.syscolumns.pages(), (count == 5 ? Pages{20, 21} : Pages{20, 21, 40})) << count;
    db.Teardown();
  }
}

TEST_F(LocateSystemTables2000Test, RowsThatAreNotSystemDataRowsAreSkipped) {
  FileBuilder f(64);
  Bytes late = IndexRow(6, 1, 19);
  f.SetPage(16, DataPage(16, 2, {IndexRow(1, 1, 17, 2),  // indid 2: an index, not the data
                                 IndexRow(4, 0, 17),     // no data pages
                                 IndexRow(5, 1, 17),     // not one of the seven
                                 IndexRow(10, 1, 18, 1)}));
  f.SetPage(17, Iam(17, 1, {30}));
  f.SetPage(18, Iam(18, 10, {31}));
  f.SetPage(30, DataPage(30, 1));
  f.SetPage(31, DataPage(31, 10));
  // A row whose slot lies so near the page end that 0x60 bytes would not fit.
  PageBuilder b(PageType::kData, 24);
  b.ObjId(2).AddRecordAt(0x2000 - 0x50, std::span<const uint8_t>(late.data(), 0x48));
  f.SetPage(24, Finished(b.Build()));
  f.SetPage(19, Iam(19, 6, {31}));
  CMdfDatabase& db = Open(f);
  SystemPages2000 lists;
  ASSERT_TRUE(LocateSystemTables2000(db.Store(), lists));
  EXPECT_TRUE(lists.sysobjects.empty());
  EXPECT_TRUE(lists.systypes.empty());
  EXPECT_TRUE(lists.syscomments.empty());
  EXPECT_EQ(lists.sysusers.pages(), Pages{31});
}

TEST_F(LocateSystemTables2000Test, TheSeventhObjectEndsTheScanAfterItsPage) {
  FileBuilder f(64);
  std::vector<Bytes> six;
  // Each object its IAM page and a data page: object 1's are 17 and 30.
  const uint32_t ids[] = {1, 2, 3, 4, 6, 10};
  for (uint32_t k = 0; k < 6; ++k) {
    const uint32_t iam = k ? 50 + k : 17, page = k ? 56 + k : 30;
    six.push_back(IndexRow(ids[k], 1, iam));
    f.SetPage(iam, Iam(iam, ids[k], {page}));
    f.SetPage(page, DataPage(page, ids[k]));
  }
  f.SetPage(16, DataPage(16, 2, six));
  // The next sysindexes page brings the seventh object and, after it on the
  // same page, one more row that is still read.
  f.SetPage(20, DataPage(20, 2, {IndexRow(20, 1, 19), IndexRow(1, 1, 18)}));
  f.SetPage(19, Iam(19, 20, {32}));
  f.SetPage(32, DataPage(32, 20));
  f.SetPage(18, Iam(18, 1, {31}));
  f.SetPage(31, DataPage(31, 1));
  // A later sysindexes page is never reached: its broken IAM would fail.
  f.SetPage(40, DataPage(40, 2, {IndexRow(1, 1, 41)}));
  f.SetPage(41, DataPage(41, 1));
  CMdfDatabase& db = Open(f);
  SystemPages2000 lists;
  ASSERT_TRUE(LocateSystemTables2000(db.Store(), lists));
  EXPECT_EQ(lists.sysobjects.pages(), (Pages{30, 31}));  // both rows of object 1 are followed
  EXPECT_EQ(lists.object20.pages(), Pages{32});
  // Same file with only six objects located: the scan reads on and meets the
  // bad IAM. (Rows are counted, so a second row of object 1 would count.)
  f.SetPage(20, DataPage(20, 2, {IndexRow(5, 1, 18)}));
  db.Teardown();
  CMdfDatabase& db2 = Open(f);
  SystemPages2000 lists2;
  EXPECT_FALSE(LocateSystemTables2000(db2.Store(), lists2));
}

// An empty file gives empty lists without the fallback; a file without a
// sysindexes page (overwritten, zeroed) has its sysobjects page found by
// the whole-file scan.
TEST_F(LocateSystemTables2000Test, EmptyFilesAndFilesWithoutSysindexes) {
  FileBuilder f(20);
  OpenResult2000 empty = OpenCatalog2000(Open(f));
  EXPECT_FALSE(empty.usedFallback);
  EXPECT_TRUE(db_.systemPages2000.sysobjects.empty());
  EXPECT_TRUE(db_.catalog.tables.empty());
  db_.Teardown();
  f.SetPage(10, DataPage(10, 1));
  OpenResult2000 r = OpenCatalog2000(Open(f));
  EXPECT_TRUE(r.usedFallback);
  EXPECT_EQ(db_.systemPages2000.sysobjects.pages(), std::vector<uint64_t>{10});
  EXPECT_TRUE(db_.catalog.tables.empty());
}

// The whole-file fallback on real-looking files whose system IAMs break.
class Fallback2000Test : public HandFileTest {
 protected:
  void ExpectSameCatalogAfterDamage(const std::function<void(FileBuilder&, const fixtures::sql2000::Layout2000&)>& damage) {
    fixtures::sql2000::Layout2000 layout;
    FileBuilder f = fixtures::sql2000::BuildDatabase2000(fixtures::sql2000::ManyTablesDatabase2000(400), &layout);
    CMdfDatabase& healthy = Open(f);
    ASSERT_FALSE(OpenCatalog2000(healthy).usedFallback);
    Catalog before = healthy.catalog;
    healthy.Teardown();
    damage(f, layout);
    CMdfDatabase& db = Open(f);
    EXPECT_TRUE(OpenCatalog2000(db).usedFallback);
    EXPECT_TRUE(messages_.Quiet()) << "no message for this version";
    ASSERT_EQ(db.catalog.tables.size(), before.tables.size());
    for (const auto& [id, t] : before.tables) {
      EXPECT_EQ(db.catalog.tables[id].fullName, t.fullName);
      EXPECT_EQ(db.catalog.tables[id].rowCount, t.rowCount);
      EXPECT_EQ(db.catalog.tables[id].columns.size(), t.columns.size());
    }
    EXPECT_EQ(db.catalog.views.size(), before.views.size());
  }
};

// An IAM page of the wrong type, a single-page slot naming another table's
// page, and a broken IAM chain of a large system table, each take the
// whole-file scan.
TEST_F(Fallback2000Test, BrokenSystemIamsTakeTheWholeFileScan) {
  ExpectSameCatalogAfterDamage([](FileBuilder& f, const auto& layout) {
    f.MutablePage(layout.iamPage.at(4))[page_layout::kType] = uint8_t(PageType::kData);
  });
  ExpectSameCatalogAfterDamage([](FileBuilder& f, const auto& layout) {
    fixtures::PutU32(f.MutablePage(layout.iamPage.at(1)), iam_layout::kSinglePageSlots,
                     layout.dataPages.at(3).front());
  });
  ExpectSameCatalogAfterDamage([](FileBuilder& f, const auto& layout) {
    ASSERT_GE(layout.dataPages.at(3).size(), 8u) << "syscolumns must own extents";
    Bytes& iam = f.MutablePage(layout.iamPage.at(3));
    fixtures::PutU32(iam, page_layout::kNextPage, layout.dataPages.at(1).front());  // not an IAM
  });
}

}  // namespace
}  // namespace tollamer::testing2000
