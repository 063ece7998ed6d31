#include "tools/fragment_runs.h"

#include <gtest/gtest.h>


namespace tollamer::tools {
namespace {

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
}

TEST(RunPlacementTest, SizesAreGivenInKbMbAndGb) {
  Fragment f;
  f.firstSector = 0;
  f.lastSector = 2048 - 16;
  EXPECT_EQ(FragmentSizeText(f), "1.0 MB");
  f.lastSector = 2097152 * 3 - 16;
  EXPECT_EQ(FragmentSizeText(f), "3.0 GB");
  f.lastSector = (uint64_t{1} << 31) * 1024;
  EXPECT_EQ(FragmentSizeText(f), "");
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
