#include "engine/pagestore/page_store.h"

#include <gtest/gtest.h>

#include "tests/fixtures/sample_database.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace page_layout;
using fixtures::Bytes;
using fixtures::FileBuilder;
using fixtures::PageBuilder;
using testing::TempDir;

Bytes DataPage(uint32_t id, uint32_t obj) {
  PageBuilder b(PageType::kData, id);
  b.ObjId(obj).Pminlen(8);
  Bytes rec = {0x10, 0, 8, 0, 1, 2, 3, 4, 2, 0, 0};
  b.AddRecord(rec);
  return b.Build();
}

FileBuilder ThreePages() {
  FileBuilder f(3);
  for (uint32_t p = 0; p < 3; ++p) f.SetPage(p, DataPage(p, 100 + p));
  return f;
}

TEST(PageStoreTest, DataFileOpensWithBaseZeroAndCountsWholePagesOnly) {
  TempDir dir;
  Bytes image = ThreePages().Image();
  image.resize(image.size() + 1000);  // a trailing partial page
  RecordingMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(dir.Write("a.mdf", image)));
  EXPECT_EQ(store.Kind(), FileKind::kData);
  EXPECT_EQ(store.PageBaseOffset(), 0u);
  EXPECT_EQ(store.PageCount(), 3u);
  std::optional<PageHeader> h = store.ReadHeader(2);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->pageId, 2u);
  EXPECT_EQ(h->objId, 102u);
  EXPECT_FALSE(store.ReadPage(3)) << "the partial page is no page";
  EXPECT_TRUE(store.ReadPrefix(3, 96)) << "but its first bytes exist";
  EXPECT_FALSE(store.ReadPrefix(0, kPageSize + 1));
  EXPECT_TRUE(messages.stops.empty());
}

TEST(PageStoreTest, BackupFindsPageDataAtEachKnownOffset) {
  TempDir dir;
  for (uint32_t base : kBackupBaseOffsets) {
    RecordingMessages messages;
    PageStore store(messages);
    std::string path = dir.Write("b" + std::to_string(base) + ".bak", ThreePages().BackupImage(base));
    ASSERT_TRUE(store.OpenFile(path)) << base;
    EXPECT_EQ(store.Kind(), FileKind::kBackup);
    EXPECT_EQ(store.PageBaseOffset(), base);
    std::optional<Page> page = store.ReadPage(1);
    ASSERT_TRUE(page);
    EXPECT_EQ(PageHeader::Decode(page->view())->pageId, 1u);
  }
}

TEST(PageStoreTest, BackupAcceptsAFileHeaderTypeInTheSecondByte) {
  TempDir dir;
  Bytes image = ThreePages().BackupImage(0x3200);
  image[0x3200] = 0;  // header version damaged, m_type 15 still there
  image[0x3201] = 15;
  RecordingMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(dir.Write("c.bak", image)));
  EXPECT_EQ(store.PageBaseOffset(), 0x3200u);
}

TEST(PageStoreTest, BackupWithoutPageDataShowsTheFormatMessage) {
  TempDir dir;
  Bytes image(0x4000, 0);
  std::copy_n("TAPE", 4, image.begin());
  RecordingMessages messages;
  PageStore store(messages);
  EXPECT_FALSE(store.OpenFile(dir.Write("d.bak", image)));
  EXPECT_FALSE(store.IsOpen());
  ASSERT_EQ(messages.stops.size(), 1u);
  EXPECT_EQ(messages.stops[0], "备份文件格式读取错误！");

  RecordingMessages short_messages;
  PageStore short_store(short_messages);
  EXPECT_FALSE(short_store.OpenFile(dir.Write("e.bak", Bytes{'T', 'A', 'P', 'E'})))
      << "a TAPE file with no page data at all";
  EXPECT_EQ(short_messages.stops.size(), 1u);
}

TEST(PageStoreTest, TinyFilesOpenButHoldNoPage) {
  TempDir dir;
  for (size_t size : {0, 3, 96, 8191}) {
    RecordingMessages messages;
    PageStore store(messages);
    ASSERT_TRUE(store.OpenFile(dir.Write("t" + std::to_string(size), Bytes(size, 1))));
    EXPECT_EQ(store.PageCount(), 0u);
    EXPECT_FALSE(store.ReadPage(0));
    int visited = 0;
    ForEachPageInBlocks(store, 0, 5, [&](uint64_t, ByteView) { return ++visited, true; });
    EXPECT_EQ(visited, 0);
  }
}

TEST(PageStoreTest, ReadPageRestoresTornBitsAndRawReadDoesNot) {
  TempDir dir;
  Bytes clean = DataPage(1, 5);
  clean[kPageSize - 1] = 0x03;  // give sector 15's last byte low bits to lose
  Bytes written = clean;
  fixtures::ApplyTornBits(written, 2);
  FileBuilder f(2);
  f.SetPage(1, written);
  RecordingMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(dir.Write("torn.mdf", f.Image())));
  std::optional<Page> raw = store.ReadRawPage(1);
  std::optional<Page> fixed = store.ReadPage(1);
  ASSERT_TRUE(raw && fixed);
  EXPECT_EQ(raw->bytes()[kPageSize - 1], 0x02);
  EXPECT_EQ(fixed->bytes()[kPageSize - 1], 0x03);
  EXPECT_TRUE(std::equal(clean.begin() + kHeaderSize, clean.end(),
                         fixed->bytes().begin() + kHeaderSize));
}

TEST(PageStoreTest, BlockScanVisitsEveryPageInOrderAndCanStop) {
  TempDir dir;
  FileBuilder f(600);  // more than one 256-page block
  for (uint32_t p = 0; p < 600; p += 50) f.SetPage(p, DataPage(p, p));
  RecordingMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(dir.Write("big.mdf", f.Image())));
  std::vector<uint64_t> seen;
  ForEachPageInBlocks(store, 0, store.PageCount(), [&](uint64_t n, ByteView b) {
    if (b.LeOr<uint8_t>(kType) == 1) {
      EXPECT_EQ(b.LeOr<uint32_t>(kPageId), n);
      seen.push_back(n);
    }
    return true;
  });
  EXPECT_EQ(seen.size(), 12u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  int visited = 0;
  ForEachPageInBlocks(store, 0, store.PageCount(), [&](uint64_t, ByteView) { return ++visited < 3; });
  EXPECT_EQ(visited, 3);
}

TEST(PageStoreTest, ReopeningAndReadingNeverWritesTheFile) {
  TempDir dir;
  std::string path = dir.Write("s.mdf", fixtures::BuildSampleDatabase({}).Image());
  testing::FileSnapshot before = testing::FileSnapshot::Of(path);
  {
    RecordingMessages messages;
    PageStore store(messages);
    ASSERT_TRUE(store.OpenFile(path));
    for (uint64_t p = 0; p < store.PageCount(); ++p) store.ReadPage(p);
    ASSERT_TRUE(store.OpenFile(path)) << "reopening closes the first handle";
    store.Close();
  }
  EXPECT_TRUE(testing::FileSnapshot::Of(path) == before);
}

TEST(PageHeaderTest, PlausibilityNeedsAllFiveConditions) {
  Bytes page = DataPage(4, 9);
  auto plausible = [](const Bytes& b) { return IsPlausibleDataPage(*PageHeader::Decode(b)); };
  EXPECT_TRUE(plausible(page));
  auto with = [&](size_t offset, uint8_t value) {
    Bytes b = page;
    b[offset] = value;
    return b;
  };
  EXPECT_FALSE(plausible(with(kHeaderVersion, 2)));
  EXPECT_FALSE(plausible(with(kType, 2)));
  EXPECT_FALSE(plausible(with(kTypeFlagBits, 2)));
  EXPECT_TRUE(plausible(with(kTypeFlagBits, 4)));
  EXPECT_FALSE(plausible(with(kReserved + 31, 1)));
  EXPECT_FALSE(plausible(with(kFreeCnt + 1, 0x21)));  // 0x21xx > 0x2000
  Bytes edge = page;
  fixtures::PutU16(edge, kFreeData, 0x2000);
  EXPECT_TRUE(plausible(edge)) << "0x2000 itself is allowed";
  fixtures::PutU16(edge, kFreeData, 0x2001);
  EXPECT_FALSE(plausible(edge));
  EXPECT_FALSE(plausible(with(kPminlen + 1, 0x30)));
  EXPECT_FALSE(PageHeader::Decode(ByteView(page.data(), 95)));
}

}  // namespace
}  // namespace tollamer
