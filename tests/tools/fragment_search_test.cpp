#include "tools/fragment_search.h"

#include <gtest/gtest.h>

#include "engine/pagestore/torn_page.h"
#include "tests/fixtures/tools_fixtures.h"
#include "tests/test_support.h"
#include "tools/file_header_tags.h"
#include "tools/fragment_runs.h"

namespace tollamer::tools {
namespace {

using namespace page_layout;
using fixtures::Bytes;
using fixtures::FormatVersion;

Bytes Repaired(const Bytes& raw) {
  ByteView v(raw);
  Page p = FixTornPage(raw, v.LeOr<uint32_t>(kTornBits), v.LeOr<uint16_t>(kFlagBits));
  return Bytes(p.bytes().begin(), p.bytes().end());
}

TEST(FileHeaderTagsTest, SyntheticHeadersOfEachVersion) {
  const struct { FormatVersion version; uint32_t pages; const char* tags; } cases[] = {
      {FormatVersion::kSql2000, 160, "[MSSQL2000][大小:1.2MB]"},
      {FormatVersion::kSql2005, 64, "[MSSQL2005][大小:512.0KB]"},
      {FormatVersion::kSql2008, 384, "[MSSQL2008][大小:3.0MB]"}};
  for (const auto& c : cases)
    EXPECT_EQ(ReadFileHeaderTags(Repaired(fixtures::FileHeaderPage(c.version, c.pages)),
                                 HeaderReading::kStrict),
              c.tags);
  EXPECT_EQ(VersionTag(17, 16), "[MSSQL7.0]");
  EXPECT_EQ(VersionTag(47, 45), "");
  EXPECT_EQ(SizeTag(131072 * 3), "[大小:3.0GB]");
  EXPECT_EQ(SizeTag(134217728u * 2), "");  // 2 TB: no size text
}

TEST(FileHeaderTagsTest, DamagedOffsetsRejectThePlainReadingOnly) {
  Bytes page = fixtures::FileHeaderPage(FormatVersion::kSql2008, 64);
  Bytes bad_slot = page;
  fixtures::PutU16(bad_slot, SlotEntryOffset(0), 9000);
  EXPECT_FALSE(ReadFileHeaderTags(bad_slot, HeaderReading::kStrict));
  // The lenient reading takes the record at 96 instead: no tag there.
  auto lenient = ReadFileHeaderTags(bad_slot, HeaderReading::kLenient);
  ASSERT_TRUE(lenient);
  EXPECT_EQ(lenient->find("[MSSQL"), std::string::npos);
  Bytes many_columns = page;
  fixtures::PutU16(many_columns, 1185 + 8, 808);  // 808 / 8 = 101 bytes of bitmap
  EXPECT_FALSE(ReadFileHeaderTags(many_columns, HeaderReading::kStrict));
  EXPECT_TRUE(ReadFileHeaderTags(many_columns, HeaderReading::kLenient));
  Bytes far_end = page;
  fixtures::PutU16(far_end, 1185 + 18 + 6, 8200);
  EXPECT_FALSE(ReadFileHeaderTags(far_end, HeaderReading::kStrict));
  // A slot offset at the very end: every field lies outside the page.
  Bytes at_end = page;
  fixtures::PutU16(at_end, SlotEntryOffset(0), 8190);
  EXPECT_FALSE(ReadFileHeaderTags(at_end, HeaderReading::kStrict));
}

TEST(FileHeaderTagsTest, RealFileHeadersAndPathPages) {
  TOLLAMER_REQUIRE_REAL_FILE(p2000, "pubs-sql2000.mdf");
  TOLLAMER_REQUIRE_REAL_FILE(p2005, "pubs-sql2005.mdf");
  TOLLAMER_REQUIRE_REAL_FILE(p2008, "pubs-sql2008.mdf");
  auto page = [](const std::string& path, uint64_t n) {
    Bytes all = testing::FileSnapshot::Of(path).bytes;
    return Repaired(Bytes(all.begin() + n * kPageSize, all.begin() + (n + 1) * kPageSize));
  };
  EXPECT_EQ(ReadFileHeaderTags(page(p2000, 0), HeaderReading::kStrict), "[MSSQL2000][大小:1.2MB]");
  // The 2005 file was created on 2000 and keeps the 2000 file header record.
  EXPECT_EQ(ReadFileHeaderTags(page(p2005, 0), HeaderReading::kStrict), "[MSSQL2000][大小:2.0MB]");
  EXPECT_EQ(ReadFileHeaderTags(page(p2008, 0), HeaderReading::kStrict), "[MSSQL2008][大小:2.2MB]");
  std::string path = ReadPathText(page(p2000, 32));
  EXPECT_EQ(path.substr(0, 55), "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\data\\pubs.m");
}

struct Collector : SearchObserver {
  void OnFragment(const Fragment& f) override { listed.push_back(f); }
  std::vector<Fragment> listed;
};

// A source: `lead` sectors of junk, then a carved 2000 database of 48
// pages, then junk.
Bytes CarvedSource(uint64_t lead_sectors, uint32_t pages = 48) {
  Bytes out(lead_sectors * kSectorSize, 0x5A);
  Bytes db = fixtures::BuildCarvableDatabase(FormatVersion::kSql2000, pages, "C:\\x\\lost.mdf").Image();
  out.insert(out.end(), db.begin(), db.end());
  out.resize(out.size() + 64 * kSectorSize, 0);
  return out;
}

SearchResult Search(const Bytes& bytes, SearchParams params, bool run = true,
                    RecordingMessages* said = nullptr) {
  fixtures::MemorySource source(bytes);
  std::atomic<bool> running{run};
  Collector observer;
  RecordingMessages messages;
  params.sizeSectors = params.sizeSectors ? params.sizeSectors : bytes.size() / kSectorSize;
  return SearchFragments(source, params, running, observer, said ? *said : messages);
}

TEST(FragmentSearchTest, PlainSearchFindsTheRunWithItsVersionSizeAndPath) {
  Bytes src = CarvedSource(1024);
  for (uint64_t cluster : {16u, 12u, 8u, 1u}) {
    SearchResult r = Search(src, {0, 0, cluster, false});
    ASSERT_EQ(r.fragments.size(), 1u) << cluster;
    const Fragment& f = r.fragments[0];
    EXPECT_EQ(f.firstSector, 1024u);
    EXPECT_EQ(f.lastSector, 1024u + 47 * 16);
    EXPECT_EQ(FragmentPagesText(f), "0-47");
    EXPECT_EQ(FragmentSizeText(f), "384.0 KB");
    EXPECT_EQ(f.extra.substr(0, 27), "[MSSQL2000][大小:384.0KB]") << cluster;
    EXPECT_NE(f.extra.find("C:\\x\\lost.mdf"), std::string::npos) << f.extra;
  }
}

TEST(FragmentSearchTest, ScanUnitsFollowTheClusterFieldAndEndAtTheSource) {
  EXPECT_EQ(ScanUnitSectors(12, false), 16u);
  EXPECT_EQ(ScanUnitSectors(12, true), 8u);
  EXPECT_EQ(ScanUnitSectors(1, true), 1u);
  EXPECT_EQ(ScanUnitSectors(4, false), 4u);
  EXPECT_EQ(ScanUnitSectors(0, false), 0u);
  // A zero cluster is refused by the search itself, whoever calls it.
  RecordingMessages messages;
  EXPECT_FALSE(Search(CarvedSource(0), {0, 100, 0, false}, true, &messages).ran);
  EXPECT_EQ(messages.notices, std::vector<EngineNotice>{EngineNotice::kClusterSizeZero});
  // A unit that does not meet a page's start sector finds nothing there.
  Bytes src = CarvedSource(1025);
  EXPECT_TRUE(Search(src, {0, 0, 16, false}).fragments.empty());
  EXPECT_EQ(Search(src, {1, 0, 16, false}).fragments.size(), 1u);
  // A size beyond the source ends at the source.
  src = CarvedSource(32);
  SearchResult r = Search(src, {0, uint64_t{1} << 40, 16, false});
  EXPECT_EQ(r.fragments.size(), 1u);
  EXPECT_EQ(r.unitsRead, src.size() / kSectorSize / 16);
}

TEST(FragmentSearchTest, StoppingListsNothingMoreAndARejectedHeaderIsIgnored) {
  Bytes src = CarvedSource(0);
  SearchResult stopped = Search(src, {0, 0, 16, false}, false);
  EXPECT_TRUE(stopped.stopped);
  EXPECT_TRUE(stopped.fragments.empty());
  // A file header page whose slot 0 points past the page is ignored by the
  // plain search: the run starts at page 1.
  fixtures::PutU16(src, SlotEntryOffset(0), 9000);
  SearchResult r = Search(src, {0, 0, 16, false});
  ASSERT_EQ(r.fragments.size(), 1u);
  EXPECT_EQ(r.fragments[0].firstPage, 1u);
  EXPECT_EQ(r.fragments[0].firstSector, 16u);
}

struct Placed {
  uint64_t sector;
  uint32_t page;
  std::string extra = "";
};

std::vector<Fragment> Place(const std::vector<Placed>& pages) {
  std::vector<Fragment> out;
  RunBuilder runs([&](Fragment f) { out.push_back(std::move(f)); });
  for (const Placed& p : pages) runs.Place(p.sector, p.page, p.extra);
  runs.Finish();
  return out;
}

TEST(RunPlacementTest, PagesInSectorOrderFormOneRunAMissingPageIsAllowedAndOutOfStepStartsANewOne) {
  auto f = Place({{1000, 5}, {1016, 6}, {1032, 7}, {1064, 9}});
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(FragmentSectorsText(f[0]), "1000-1064");
  EXPECT_EQ(FragmentPagesText(f[0]), "5-9");
  EXPECT_EQ(FragmentSizeText(f[0]), "40.0 KB");
  EXPECT_EQ(f[0].PagesFound(), 4u);
  ASSERT_EQ(f[0].segments.size(), 2u);
  EXPECT_EQ(f[0].segments[1].sector, 1064u);
  EXPECT_EQ(f[0].segments[1].firstPage, 9u);

  // A page out of step starts a new run.
  f = Place({{1000, 5}, {1016, 6}, {1032, 7}, {1048, 9}});
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[0].number, 0);
  EXPECT_EQ(FragmentPagesText(f[0]), "5-7");
  EXPECT_EQ(f[1].number, 1);
  EXPECT_EQ(FragmentSectorsText(f[1]), "1048-1048");
  EXPECT_EQ(FragmentSizeText(f[1]), "8.0 KB");  // a single page is listed
  // Not a whole number of pages apart.
  EXPECT_EQ(Place({{0, 1}, {24, 2}}).size(), 2u);
  // A lower number never continues.
  EXPECT_EQ(Place({{0, 4}, {16, 3}}).size(), 2u);
  // Sizes in MB and GB; none past 1024 GB.
  Fragment big;
  big.lastSector = 2048 - 16;
  EXPECT_EQ(FragmentSizeText(big), "1.0 MB");
  big.lastSector = 2097152 * 3 - 16;
  EXPECT_EQ(FragmentSizeText(big), "3.0 GB");
  big.lastSector = (uint64_t{1} << 31) * 1024;
  EXPECT_EQ(FragmentSizeText(big), "");
}

TEST(RunPlacementTest, ExtensionTextIsShownForRunsHoldingPageZeroOrThirtyTwo) {
  std::vector<Fragment> out =
      Place({{0, 0, "[MSSQL2000][大小:1.2MB]"}, {16, 1}, {512, 32, "C:\\a.mdf"}, {8000, 40}, {8016, 41}});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].extra, "[MSSQL2000][大小:1.2MB]C:\\a.mdf");
  EXPECT_EQ(out[1].extra, "");

  out = Place({{100, 30}, {132, 32, "D:\\b.mdf"}});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].extra, "D:\\b.mdf");  // first below 33, last 32 or more
}

TEST(FragmentListTest, CheckMarksAndCsv) {
  std::vector<Fragment> list = Place({{0, 1}, {100, 9}, {300, 2}});
  CheckSelected(list, {2, 7});
  EXPECT_FALSE(list[0].checked);
  EXPECT_TRUE(list[2].checked);
  CheckAll(list);
  EXPECT_TRUE(list[0].checked && list[1].checked);
  list[1].extra = "C:\\x, y.mdf";
  std::string csv = FragmentListCsv(list);
  EXPECT_NE(csv.find("1,100-100,8.0 KB,9-9,\"C:\\x, y.mdf\",1\r\n"), std::string::npos) << csv;
}

}  // namespace
}  // namespace tollamer::tools
