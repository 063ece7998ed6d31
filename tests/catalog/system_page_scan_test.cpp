#include "engine/catalog/system_page_scan.h"

#include <gtest/gtest.h>

#include "tests/catalog2000/hand_pages2000.h"

namespace tollamer {
namespace {

using namespace testing2000;
using SystemPageScanTest = HandFileTest;

Bytes Page(PageType type, uint32_t id, uint32_t obj, uint8_t header_version = 1) {
  return PageBuilder(type, id).ObjId(obj).HeaderVersion(header_version).Build();
}

TEST_F(SystemPageScanTest, Sql2005FilesDataPagesByObjectIdInPageOrder) {
  FileBuilder f(600);
  f.SetPage(500, Page(PageType::kData, 500, 34));
  f.SetPage(20, Page(PageType::kData, 20, 34));
  f.SetPage(21, Page(PageType::kIndex, 21, 34));        // index page: not filed
  f.SetPage(22, Page(PageType::kData, 22, 34, 2));      // header version 2: not filed
  f.SetPage(23, Page(PageType::kData, 999, 7));         // own page id is not checked
  f.SetPage(300, Page(PageType::kData, 300, 65));
  f.SetPage(301, Page(PageType::kData, 301, 99));       // not a system base table
  CMdfDatabase& db = Open(f);
  db.systemPages2005.sysschobjs.Append(500);  // left over from a failed location
  ScanSystemPages2005(db.Store(), db.systemPages2005);
  EXPECT_EQ(db.systemPages2005.sysschobjs.pages(), (std::vector<uint64_t>{20, 500}));
  EXPECT_EQ(db.systemPages2005.sysallocunits.pages(), (std::vector<uint64_t>{23}));
  EXPECT_EQ(db.systemPages2005.sysrowsetrefs.pages(), (std::vector<uint64_t>{300}));
  EXPECT_TRUE(db.systemPages2005.syscolpars.empty());
}

TEST_F(SystemPageScanTest, Sql2000FilesObject20WhateverItsTypeAndClearsFirst) {
  FileBuilder f(40);
  f.SetPage(8, Page(PageType::kData, 8, 1));
  f.SetPage(9, Page(PageType::kTextMix, 9, 1));    // object 1 must be a data page
  f.SetPage(10, Page(PageType::kTextMix, 10, 20)); // object 20: any type
  f.SetPage(11, Page(PageType::kIam, 11, 20, 0));  // even with header version 0
  f.SetPage(12, Page(PageType::kData, 12, 10));
  f.SetPage(13, Page(PageType::kData, 13, 6));
  f.SetPage(14, Page(PageType::kData, 14, 5));     // syscomments is 6, not 5
  f.SetPage(30, Page(PageType::kData, 30, 1));
  CMdfDatabase& db = Open(f);
  db.systemPages2000.sysobjects.Append(30);
  db.systemPages2000.sysobjects.Append(8);
  ScanSystemPages2000(db.Store(), db.systemPages2000);
  EXPECT_EQ(db.systemPages2000.sysobjects.pages(), (std::vector<uint64_t>{8, 30}));
  EXPECT_EQ(db.systemPages2000.object20.pages(), (std::vector<uint64_t>{10, 11}));
  EXPECT_EQ(db.systemPages2000.sysusers.pages(), (std::vector<uint64_t>{12}));
  EXPECT_EQ(db.systemPages2000.syscomments.pages(), (std::vector<uint64_t>{13}));
}

TEST_F(SystemPageScanTest, FileShorterThanAPageLeavesEveryListEmptyAndTeardownEmptiesAll) {
  ASSERT_TRUE(db_.OpenFile(dir_.Write("tiny.mdf", Bytes(4000, 1))));
  db_.systemPages2000.sysindexes.Append(3);
  ScanSystemPages2000(db_.Store(), db_.systemPages2000);
  ScanSystemPages2005(db_.Store(), db_.systemPages2005);
  for (uint32_t id : {1, 2, 3, 4, 6, 10, 20}) EXPECT_TRUE(db_.systemPages2000.ForObject(id)->empty());
  for (uint32_t id : {64, 50, 34, 41, 5, 7, 54, 60, 65})
    EXPECT_TRUE(db_.systemPages2005.ForObject(id)->empty());
  // Teardown empties the catalog and closes the file.
  CMdfDatabase& db = db_;
  db.catalog.tables[5] = {.id = 5, .columns = {{1, {.name = "a"}}}};
  db.catalog.views.push_back({7, "dbo.v", "create view v"});
  db.dataPageLists[5] = {1, 2};
  db.pageOwnerMap[5] = 5;
  db.systemPages2005.sysschobjs.Append(3);
  db.Teardown();
  EXPECT_FALSE(db.IsOpen());
  EXPECT_TRUE(db.catalog.tables.empty());
  EXPECT_TRUE(db.catalog.views.empty());
  EXPECT_TRUE(db.dataPageLists.empty());
  EXPECT_TRUE(db.pageOwnerMap.empty());
  EXPECT_TRUE(db.systemPages2005.sysschobjs.empty());
}

}  // namespace
}  // namespace tollamer
