#include "engine/pagestore/iam_chain.h"

#include <gtest/gtest.h>

#include "tests/fixtures/file_builder.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace page_layout;
using fixtures::FileBuilder;
using fixtures::IamPageBuilder;

class IamChainTest : public ::testing::Test {
 protected:
  // Opens the built file; the walk's bitmap length depends on its size.
  const PageStore& Open(FileBuilder& f) {
    EXPECT_TRUE(store_.OpenFile(dir_.Write("iam.mdf", f.Image())));
    return store_;
  }
  testing::TempDir dir_;
  RecordingMessages messages_;
  PageStore store_{messages_};
};

TEST_F(IamChainTest, BitmapBitsFromTheLeastSignificantCountFromTheStartPage) {
  FileBuilder f(512);
  f.SetPage(10, IamPageBuilder(10, 5, 0).MarkExtent(0).MarkExtent(7).Build());
  f.SetPage(11, IamPageBuilder(11, 5, 0).StartPage(511232).MarkExtent(2).Build());
  std::vector<uint64_t> extents;
  ASSERT_TRUE(WalkIamChain(Open(f), 10, extents));
  EXPECT_EQ(extents, (std::vector<uint64_t>{0, 7}));
  extents.clear();
  ASSERT_TRUE(WalkIamChain(Open(f), 11, extents));
  EXPECT_EQ(extents, (std::vector<uint64_t>{63904 + 2}));
  // Later pages of the chain come first, and results append.
  f.SetPage(20, IamPageBuilder(20, 5, 0).MarkExtent(3).NextIam(21).Build());
  f.SetPage(21, IamPageBuilder(21, 5, 0).MarkExtent(1).MarkExtent(3).NextIam(22).Build());
  f.SetPage(22, IamPageBuilder(22, 5, 0).MarkExtent(40).Build());
  extents = {999};
  ASSERT_TRUE(WalkIamChain(Open(f), 20, extents));
  EXPECT_EQ(extents, (std::vector<uint64_t>{999, 40, 1, 3, 3}));
}

// 64 pages hold 8 extents (one bitmap byte); a file (a backup) that ends on
// the first page of extent 8 holds it.
TEST_F(IamChainTest, ExtentsBeyondTheFileAreNotExamined) {
  for (uint32_t pages : {64u, 65u}) {
    FileBuilder f(pages);
    f.SetPage(10, IamPageBuilder(10, 5, 0).MarkExtent(7).MarkExtent(8).Build());
    std::vector<uint64_t> extents;
    ASSERT_TRUE(WalkIamChain(Open(f), 10, extents));
    EXPECT_EQ(extents, (pages == 64 ? std::vector<uint64_t>{7} : std::vector<uint64_t>{7, 8}));
  }
}

TEST_F(IamChainTest, BrokenChainsFailWithoutAppending) {
  FileBuilder f(512);
  // 20 -> 21 where 21 is a data page.
  f.SetPage(20, IamPageBuilder(20, 5, 0).MarkExtent(1).NextIam(21).Build());
  f.SetPage(21, fixtures::PageBuilder(PageType::kData, 21).Build());
  // 30 -> 31 -> 30: a loop.
  f.SetPage(30, IamPageBuilder(30, 5, 0).MarkExtent(1).NextIam(31).Build());
  f.SetPage(31, IamPageBuilder(31, 5, 0).MarkExtent(2).NextIam(30).Build());
  // 40 -> itself.
  f.SetPage(40, IamPageBuilder(40, 5, 0).NextIam(40).Build());
  // 50 -> a page far past the end of the file.
  f.SetPage(50, IamPageBuilder(50, 5, 0).NextIam(0x7FFFFFFF).Build());
  // 60: slot 1 points into the header.
  f.SetPage(60, IamPageBuilder(60, 5, 0).BitmapSlotOffset(10).Build());
  const PageStore& store = Open(f);
  for (uint64_t first : {20, 21, 30, 40, 50, 60, 600}) {
    std::vector<uint64_t> extents;
    EXPECT_FALSE(WalkIamChain(store, first, extents)) << first;
    EXPECT_TRUE(extents.empty()) << first;
  }
}

TEST_F(IamChainTest, BitmapRecordRunningOffThePageAndSinglePageSlots) {
  FileBuilder f(1024);  // 16 bitmap bytes wanted, 8 left on the page
  f.SetPage(10, IamPageBuilder(10, 5, 0).BitmapSlotOffset(8180).Build());
  fixtures::Bytes& page = f.MutablePage(10);
  page[8184] = 0x01;  // bitmap byte 0 at 8180 + 4
  std::vector<uint64_t> extents;
  ASSERT_TRUE(WalkIamChain(Open(f), 10, extents));
  ASSERT_FALSE(extents.empty());
  EXPECT_EQ(extents[0], 0u);
  EXPECT_LE(extents.back(), 8u * 8);  // at most 8 bytes of page remain
  // Single page slots skip empty entries.
  f = FileBuilder(64);
  f.SetPage(10, IamPageBuilder(10, 5, 0).SinglePage(0, 8).SinglePage(3, 33).Build());
  std::optional<std::vector<uint64_t>> singles = ReadIamSinglePages(Open(f), 10);
  ASSERT_TRUE(singles);
  EXPECT_EQ(*singles, (std::vector<uint64_t>{8, 33}));
  EXPECT_FALSE(ReadIamSinglePages(store_, 9)) << "not an IAM page";
  EXPECT_FALSE(ReadIamSinglePages(store_, 64));
}

}  // namespace
}  // namespace tollamer
