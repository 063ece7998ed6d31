// Locating the system tables of SQL 2005/2008 files, the fallback when
// their allocation structures are damaged, and the whole-file data scans.
#include <gtest/gtest.h>

#include "engine/catalog/sql2005/locate_system_tables_2005.h"
#include "engine/catalog/sql2005/scan_file_2005.h"
#include "engine/catalog/sql2005/system_tables_2005.h"
#include "engine/catalog/sql2005/table_pages_2005.h"
#include "tests/catalog2005/catalog2005_test_support.h"
#include "engine/pagestore/iam_layout.h"
#include "tests/fixtures/page_builder.h"
#include "tests/fixtures/record_builder.h"

namespace tollamer::sql2005 {
namespace {

using namespace fixtures;
using namespace fixtures::sql2005;

Database2005 TwoTables() {
  return {.tables = {{1001, "A", 1, {{"x", 56}}, 0, 12}, {1002, "B", 1, {{"y", 56}}, 0, 2}},
          .modules = {{2001, "v", "V ", 1, {"CREATE VIEW v"}}}};
}

std::vector<uint64_t> Wide(const std::vector<uint32_t>& pages) {
  return std::vector<uint64_t>(pages.begin(), pages.end());
}

bool FellBack(const OpenedFile& o) {
  return o.result.usedFallback &&
         o.messages.notices == std::vector<EngineNotice>{EngineNotice::kSystemIndexDamaged};
}

TEST(LocateSystemTables2005, ListsFollowTheUnitsAndStopAfterTheNinthRow) {
  Built2005 built = BuildDatabase2005(TwoTables());
  // A later sysallocunits page whose unit row names a page that is no IAM
  // page: reading it would fail the location, but screening has stopped.
  uint32_t decoy = built.file.PageCount();
  PageBuilder b(page_layout::PageType::kData, decoy);
  b.ObjId(kSysallocunits).Pminlen(73).TypeFlagBits(4);
  b.AddRecord(AllocUnitRowBytes(FormatVersion::kSql2008, RowsetIdOf(1, kSysschobjs), 0, 1, 1));
  built.file.SetPage(decoy, b.Build());
  auto o = WriteAndOpen(built.file);

  SystemLocation2005 loc = LocateSystemTables2005(o->db.Store(), o->db.systemPages2005);
  EXPECT_TRUE(loc.ok);
  EXPECT_EQ(loc.rowsMatched, 9);
  EXPECT_LT(loc.pagesScreened, o->db.Store().PageCount());
  const SystemPages2005& lists = o->db.systemPages2005;
  EXPECT_EQ(lists.sysschobjs.pages(), Wide(built.layout.systemTables.at(kSysschobjs).DataPages()));
  EXPECT_EQ(lists.sysallocunits.pages(),
            Wide(built.layout.systemTables.at(kSysallocunits).DataPages()));
  // No table uses sysrowsetrefs: its unit has no IAM page (file id 0), counts
  // toward the nine and adds nothing.
  EXPECT_TRUE(lists.sysrowsetrefs.empty());
}

// A unit's extents are read whatever its page count says: files created by
// SQL Server 2016 and later hold small tables in uniform extents only.
TEST(LocateSystemTables2005, ExtentsAreReadWhateverPcusedSays) {
  Database2005 d;
  for (uint32_t t = 0; t < 60; ++t) {
    Table2005 table{5000 + t, "table_" + std::to_string(t), 1};
    for (uint32_t c = 0; c < 20; ++c) table.columns.push_back({"column_" + std::to_string(c), 56});
    d.tables.push_back(table);
  }
  Built2005 full = BuildDatabase2005(d);
  const UnitLayout& colpars = full.layout.systemTables.at(kSyscolpars);
  ASSERT_EQ(colpars.singlePages.size(), 8u);
  ASSERT_FALSE(colpars.extentPages.empty());

  for (uint64_t pcused : {7u, 8u}) {
    d.systemPcUsed[kSyscolpars] = pcused;
    auto o = WriteAndOpen(BuildDatabase2005(d).file);
    ASSERT_TRUE(LocateSystemTables2005(o->db.Store(), o->db.systemPages2005).ok);
    EXPECT_EQ(o->db.systemPages2005.syscolpars.pages(), Wide(colpars.DataPages())) << pcused;
  }
}

TEST(OpenCatalog2005, DamagedSystemUnitsFallBackToTheWholeFileScan) {
  Database2005 d = TwoTables();
  const uint32_t data_page = BuildDatabase2005(d).layout.systemTables.at(kSyscolpars).singlePages.at(0);

  const struct {
    const char* what;
    std::function<void(Database2005&)> describe;
    std::function<void(Built2005&)> damage;
  } cases[] = {
      {"IAM page of type 1", [&](Database2005& x) { x.systemIamPage[kSysschobjs] = data_page; }, {}},
      {"IAM page past the end", [](Database2005& x) { x.systemIamPage[kSyscolpars] = 900000; }, {}},
      {"IAM chain that loops",
       [](Database2005& x) { x.systemPcUsed[kSysschobjs] = 8; },
       [](Built2005& b) {
         uint32_t iam = b.layout.systemTables.at(kSysschobjs).iamPage;
         PutU32(b.file.MutablePage(iam), page_layout::kNextPage, iam);
       }},
      {"IAM page failing its checksum", [](Database2005&) {},
       [](Built2005& b) { b.file.MutablePage(b.layout.systemTables.at(kSysschobjs).iamPage)[8000] ^= 1; }},
      {"single-page slot naming a page of another table (checksum made again)", [](Database2005&) {},
       [&](Built2005& b) {
         Bytes& iam = b.file.MutablePage(b.layout.systemTables.at(kSysschobjs).iamPage);
         PutU32(iam, iam_layout::kSinglePageSlots, data_page);
         ApplyChecksum(iam);
       }},
  };
  for (const auto& c : cases) {
    Database2005 x = d;
    c.describe(x);
    Built2005 built = BuildDatabase2005(x);
    if (c.damage) c.damage(built);
    PageOwnerConflict conflict;
    auto o = OpenBuilt(built.file, conflict);
    EXPECT_TRUE(FellBack(*o)) << c.what;
    // The scanned lists: ascending pages of each system table.
    EXPECT_EQ(o->db.systemPages2005.sysschobjs.pages(),
              Wide(built.layout.systemTables.at(kSysschobjs).DataPages())) << c.what;
    ASSERT_EQ(o->db.catalog.tables.size(), 2u) << c.what;
    EXPECT_EQ(o->db.catalog.tables.at(1001).fullName, "dbo.A") << c.what;
    EXPECT_EQ(o->db.catalog.views.size(), 1u) << c.what;
  }
}

TEST(LocateTablePages2005, DamagedTableIamFallsBackToThePageHeaders) {
  for (const char* damage : {"loops", "checksum", "slot"}) {
    Built2005 built = BuildDatabase2005(TwoTables());
    const UnitLayout& a = built.layout.tables.at(1001);
    // The chain of A loops, its IAM page fails its checksum, or a slot of it
    // names B's page (the checksum made again): A's pages come from the
    // headers that name its unit.
    Bytes& iam = built.file.MutablePage(a.iamPage);
    if (damage == std::string("loops")) {
      PutU32(iam, page_layout::kNextPage, a.iamPage);
    } else if (damage == std::string("checksum")) {
      iam[8000] ^= 1;
    } else {
      PutU32(iam, iam_layout::kSinglePageSlots, built.layout.tables.at(1002).DataPages().front());
      ApplyChecksum(iam);
    }
    PageOwnerConflict conflict;
    auto o = OpenBuilt(built.file, conflict);
    EXPECT_FALSE(o->result.usedFallback);
    EXPECT_EQ(o->db.dataPageLists.at(1001), Wide(a.DataPages())) << damage;
    EXPECT_TRUE(LocateTablePages2005(o->db, 1002));
  }
}

TEST(ScanFileForTable2005, OneTableAndAllTablesFollowThePageOwners) {
  Database2005 d = TwoTables();
  d.tables.push_back({1003, "Empty", 1, {}, 0, 0});  // no pages: no page owner
  Built2005 built = BuildDatabase2005(d);
  // A page of A that its IAM page never mentions, at the end of the file.
  uint32_t stray = built.file.PageCount();
  uint32_t a_obj = built.layout.tables.at(1001).pageObjId;
  built.file.SetPage(stray, PageBuilder(page_layout::PageType::kData, stray).ObjId(a_obj).Build());
  // An index page of A: not a data page.
  built.file.SetPage(stray + 1, PageBuilder(page_layout::PageType::kIndex, stray + 1).ObjId(a_obj).Build());
  PageOwnerConflict conflict;
  auto o = OpenBuilt(built.file, conflict);
  EXPECT_FALSE(o->db.pageOwnerMap.contains(0));
  std::vector<uint64_t> a_pages = Wide(built.layout.tables.at(1001).DataPages());
  a_pages.push_back(stray);

  ScanFileForTable2005(o->db, 1001, false);
  EXPECT_EQ(o->db.dataPageLists.at(1001), a_pages);
  ScanFileForTable2005(o->db, 1003, false);
  EXPECT_TRUE(o->db.dataPageLists.at(1003).empty());

  o->db.dataPageLists[1002].push_back(1);  // whatever was there goes
  ScanFileForTable2005(o->db, 0, true);
  EXPECT_EQ(o->db.dataPageLists.at(1001), a_pages);
  EXPECT_EQ(o->db.dataPageLists.at(1002), Wide(built.layout.tables.at(1002).DataPages()));
  ASSERT_TRUE(o->db.dataPageLists.contains(1003));  // kept, empty
  EXPECT_TRUE(o->db.dataPageLists.at(1003).empty());
}

}  // namespace
}  // namespace tollamer::sql2005
