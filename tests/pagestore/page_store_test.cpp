#include "engine/pagestore/page_store.h"

#include "engine/pagestore/file_gaps.h"

#include <gtest/gtest.h>

#include "tests/fixtures/multi_file_database.h"
#include "tests/fixtures/sample_database.h"
#include "tests/fixtures/tools_fixtures.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace page_layout;
using fixtures::Bytes;
using fixtures::FileBuilder;
using fixtures::PageBuilder;
using testing::TempDir;

Bytes DataPage(uint32_t id, uint32_t obj) { return fixtures::OneRowDataPage(id, obj); }

FileBuilder ThreePages() {
  FileBuilder f(3);
  for (uint32_t p = 0; p < 3; ++p) f.SetPage(p, DataPage(p, 100 + p));
  return f;
}

// Pages 0-3, then extents 2 and 3 and a page of extent 5; extent 1 and 4
// never allocated.
FileBuilder SparseDatabase() {
  FileBuilder f(48);
  for (uint32_t p : {0u, 1u, 2u, 3u, 16u, 17u, 23u, 24u, 31u, 40u}) f.SetPage(p, DataPage(p, 100 + p));
  return f;
}

TEST(PageStoreTest, BackupPagesAreFoundWhereverTheStreamHoldsThem) {
  TempDir dir;
  for (uint32_t base : {0x1600u, 0x1A00u, 0x2200u, 0x3200u, 0x4000u}) {
    RecordingMessages messages;
    PageStore store(messages);
    std::string path = dir.Write("b" + std::to_string(base) + ".bak", SparseDatabase().BackupImage(base));
    ASSERT_TRUE(store.OpenFile(path)) << base;
    EXPECT_EQ(store.Kind(), FileKind::kBackup);
    EXPECT_EQ(store.PageCount(), 41u);
    EXPECT_EQ(store.PagesHeld(), 10u);
    EXPECT_FALSE(store.Media().Striped());
    for (uint32_t p : {0u, 3u, 16u, 17u, 23u, 24u, 31u, 40u}) {
      std::optional<Page> page = store.ReadPage(p);
      ASSERT_TRUE(page) << base << " page " << p;
      EXPECT_EQ(PageHeader::Decode(page->view())->pageId, p);
    }
    EXPECT_FALSE(store.ReadPage(8)) << "an extent the backup left out";
    std::vector<uint64_t> seen;
    ForEachPageInBlocks(store, 0, store.PageCount(), [&](uint64_t n, ByteView b) {
      EXPECT_EQ(b.LeOr<uint32_t>(kPageId), n);
      seen.push_back(n);
      return true;
    });
    EXPECT_EQ(seen, (std::vector<uint64_t>{0, 1, 2, 3, 16, 17, 23, 24, 31, 40}));
    EXPECT_TRUE(messages.Quiet());
  }
  // One stripe of a striped backup opens with what it holds.
  RecordingMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(dir.Write("s.bak", SparseDatabase().BackupImage(0x4000, 2, 1))));
  EXPECT_TRUE(store.Media().Striped());
  EXPECT_EQ(store.Media().familyCount, 2);
  EXPECT_EQ(store.Media().familySequence, 1);
  EXPECT_TRUE(store.ReadPage(16));
  EXPECT_FALSE(store.ReadPage(24)) << "extent 3 went to the other stripe";
}

// The stripes of one backup merge into one page map whatever the order;
// a stripe not given is named and costs only its pages; files of other
// backups, a stripe twice, the same file twice and a data file are refused.
TEST(PageStoreTest, StripesOfOneBackupMergeInAnyOrderAndStrangersAreRefused) {
  TempDir dir;
  FileBuilder db(96);  // pages 0-3 and one page in each of extents 1 to 11
  std::vector<uint64_t> pages = {0, 1, 2, 3};
  for (uint32_t e = 1; e < 12; ++e) pages.push_back(e * 8 + e % 8);
  for (uint64_t p : pages) db.SetPage(static_cast<uint32_t>(p), DataPage(static_cast<uint32_t>(p), 1));
  std::vector<std::string> stripes;
  for (uint16_t s = 1; s <= 3; ++s)
    stripes.push_back(dir.Write("s" + std::to_string(s) + ".bak", db.BackupImage(0x1A00, 3, s)));
  const std::vector<std::vector<std::string>> orders = {
      {stripes[0], stripes[1], stripes[2]}, {stripes[2], stripes[0], stripes[1]}};
  for (const auto& order : orders) {
    RecordingMessages messages;
    PageStore store(messages);
    ASSERT_TRUE(store.OpenFiles(order)) << store.LastError();
    EXPECT_EQ(store.PagesHeld(), pages.size());
    EXPECT_TRUE(store.MissingStripes().empty());
    std::vector<uint64_t> seen;
    ForEachPageInBlocks(store, 0, store.PageCount(), [&](uint64_t n, ByteView b) {
      EXPECT_EQ(b.LeOr<uint32_t>(kPageId), n);
      seen.push_back(n);
      return true;
    });
    EXPECT_EQ(seen, pages);
  }
  RecordingMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFiles({stripes[2], stripes[0]}));
  EXPECT_EQ(store.MissingStripes(), std::vector<uint16_t>{2});
  for (uint64_t p : pages)
    EXPECT_EQ(store.Holds(p), FileBuilder::StripeOf(static_cast<uint32_t>(p), 3) != 2) << p;

  const std::string other = dir.Write("o.bak", db.BackupImage(0x1A00, 3, 2, 7));
  const std::string data = dir.Write("d.mdf", db.Image());
  for (const auto& files : std::vector<std::vector<std::string>>{
           {stripes[0], other}, {stripes[0], stripes[0]}, {stripes[1], data}, {data, data}}) {
    EXPECT_FALSE(store.OpenFiles(files));
    EXPECT_EQ(store.Refusal(), OpenRefusal::kNotTogether) << store.LastError();
    EXPECT_FALSE(store.IsOpen());
  }
  EXPECT_NE(store.LastError().find("same file"), std::string::npos) << store.LastError();
}

// The data files of one database: the primary first whatever the order
// given, a secondary added once, every page keyed by its file and page id,
// and a scan over every page held crossing the files.
TEST(PageStoreTest, DataFilesOfOneDatabaseAreAddressedByFileAndPage) {
  TempDir dir;
  const fixtures::MultiFileDatabase db = fixtures::BuildMultiFileDatabase();
  const std::string primary = dir.Write("p.mdf", db.primary), third = dir.Write("t.ndf", db.third);
  RecordingMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFiles({third, primary})) << store.LastError();
  EXPECT_EQ(store.Sources().front().path, primary);
  EXPECT_EQ(store.FileIds(), (std::vector<uint16_t>{1, 3}));
  ASSERT_TRUE(store.AddDataFile(dir.Write("f.ndf", db.fourth))) << store.LastError();
  EXPECT_FALSE(store.AddDataFile(third));
  EXPECT_EQ(store.PageCountOf(4), 24u);
  EXPECT_EQ(store.PageCount(), db.primary.size() / kPageSize);
  uint64_t scanned = 0;
  ForEachHeldPage(store, [&](uint64_t key, ByteView b) {
    if (b.LeOr<uint8_t>(kType) != 0) {
      EXPECT_EQ(PageKey(b.LeOr<uint16_t>(kFileId), b.LeOr<uint32_t>(kPageId)), key) << PageKeyText(key);
    }
    ++scanned;
    return true;
  });
  EXPECT_EQ(scanned, store.PagesHeld());
  EXPECT_EQ(scanned, (db.primary.size() + db.third.size() + db.fourth.size()) / kPageSize);
}

// Two full backups appended to one file: the last is read unless another is
// asked for, and a page only the other set holds never shows through.
TEST(PageStoreTest, BackupSetsOfOneFileAreReadOneAtATime) {
  TempDir dir;
  FileBuilder first = SparseDatabase();
  FileBuilder second(3);
  for (uint32_t p = 0; p < 3; ++p) second.SetPage(p, DataPage(p, 900 + p));
  Bytes image = first.BackupImage(0x1A00);
  Bytes appended = second.AppendedBackupSet(2);
  image.insert(image.end(), appended.begin(), appended.end());
  const std::string path = dir.Write("two.bak", image);
  for (uint16_t wanted : {0, 1, 2}) {
    RecordingMessages messages;
    PageStore store(messages);
    ASSERT_TRUE(store.OpenFiles({path}, {wanted})) << store.LastError();
    ASSERT_EQ(store.BackupSets().size(), 2u);
    EXPECT_EQ(store.BackupSets()[1].header.type, BackupSetType::kFull);
    EXPECT_EQ(FormatBackupDate(store.BackupSets()[1].header.written), "2024-05-02 10:20:30");
    EXPECT_EQ(store.BackupSetRead(), wanted == 1 ? 1 : 2);
    EXPECT_EQ(store.PagesHeld(), wanted == 1 ? 10u : 3u);
    EXPECT_EQ(store.Holds(16), wanted == 1) << "set 1's page 16 is not set 2's";
    EXPECT_EQ(store.ReadHeader(2)->objId, wanted == 1 ? 102u : 902u);
  }
  RecordingMessages messages;
  PageStore store(messages);
  EXPECT_FALSE(store.OpenFiles({path}, {3}));
  EXPECT_EQ(store.Refusal(), OpenRefusal::kNoSuchBackupSet);
  EXPECT_NE(store.LastError().find("sets 1, 2"), std::string::npos) << store.LastError();
}

TEST(PageStoreTest, BackupsWithoutPlainPageDataAreRefusedSayingWhy) {
  TempDir dir;
  Bytes empty(0x4000, 0);
  std::copy_n("TAPE", 4, empty.begin());
  RecordingMessages messages;
  PageStore store(messages);
  EXPECT_FALSE(store.OpenFile(dir.Write("d.bak", empty)));
  EXPECT_FALSE(store.IsOpen());
  EXPECT_EQ(store.Refusal(), OpenRefusal::kBackupWithoutPages);
  EXPECT_EQ(messages.notices, std::vector<EngineNotice>{EngineNotice::kBackupFormatUnknown});

  // Encrypted: the stream after the tape headers is all noise.
  Bytes scrambled = SparseDatabase().BackupImage(0x4000);
  uint32_t x = 12345;
  for (size_t i = 0x4000; i < scrambled.size(); ++i) {
    x = x * 1664525u + 1013904223u;
    scrambled[i] = static_cast<uint8_t>(x >> 24);
  }
  RecordingMessages scrambled_messages;
  PageStore scrambled_store(scrambled_messages);
  EXPECT_FALSE(scrambled_store.OpenFile(dir.Write("z.bak", scrambled)));
  EXPECT_EQ(scrambled_store.Refusal(), OpenRefusal::kBackupEncrypted);
}

// Page 0 is found after junk of any length; a trailing partial page is no
// page.
TEST(PageStoreTest, DataFilePageZeroIsFoundAfterJunkAndSecondaryFilesAreRefused) {
  TempDir dir;
  for (size_t prefix : {0, 1, 512, 3000, 4096, 8000, 8192 + 1024, 20000}) {
    Bytes image(prefix, 0xA5);
    Bytes pages = ThreePages().Image();
    image.insert(image.end(), pages.begin(), pages.end());
    image.resize(image.size() + 1000);
    RecordingMessages messages;
    PageStore store(messages);
    ASSERT_TRUE(store.OpenFile(dir.Write("p" + std::to_string(prefix) + ".mdf", image)));
    EXPECT_EQ(store.Kind(), FileKind::kData);
    EXPECT_EQ(store.PageBaseOffset(), prefix);
    EXPECT_EQ(store.PageCount(), 3u);
    std::optional<PageHeader> h = store.ReadHeader(2);
    ASSERT_TRUE(h) << prefix;
    EXPECT_EQ(h->pageId, 2u);
    EXPECT_EQ(h->objId, 102u);
    EXPECT_FALSE(store.ReadPage(3)) << prefix;
    EXPECT_FALSE(store.ReadPrefix(0, kPageSize + 1)) << prefix;
    EXPECT_TRUE(messages.Quiet());
  }

  FileBuilder secondary(3);
  for (uint32_t p = 0; p < 3; ++p) secondary.SetPage(p, PageBuilder(PageType::kFileHeader, p).FileId(5).Build());
  RecordingMessages messages;
  PageStore store(messages);
  EXPECT_FALSE(store.OpenFile(dir.Write("s.ndf", secondary.Image())));
  EXPECT_EQ(store.Refusal(), OpenRefusal::kSecondaryFile);
  EXPECT_EQ(store.RefusedFileId(), 5);
}

// What is left of a data file or backup is read for the pages it holds, and
// what it lacks is measured: the pages a cut took (the file header counts
// them), a backup's lost head (cut anywhere, even inside a sector) or tail.
TEST(PageStoreTest, PartialFilesAreReadForWhatTheyHoldAndTheirGapsMeasured) {
  TempDir dir;
  const FileBuilder db = fixtures::BuildSampleDatabase({});
  const Bytes data = db.Image();
  const Bytes bak = db.BackupImage(0x1A00);
  auto part = [](const Bytes& b, size_t from, size_t to) { return Bytes(b.begin() + from, b.begin() + to); };
  const struct {
    const char* name;
    Bytes bytes;
    FileKind kind;
    uint64_t cut_off;
    bool head_missing, tail_missing;
  } cases[] = {
      {"whole.mdf", data, FileKind::kData, 0, false, false},
      {"half.mdf", part(data, 0, data.size() / 2 + 100), FileKind::kData, 32, false, false},
      {"whole.bak", bak, FileKind::kBackup, 0, false, false},
      {"headless.bak", part(bak, bak.size() / 4 / 512 * 512, bak.size()), FileKind::kBackup, 0, true, false},
      {"headless-odd.bak", part(bak, bak.size() / 3 + 77, bak.size()), FileKind::kBackup, 0, true, false},
      {"tailless.bak", part(bak, 0, bak.size() * 3 / 5), FileKind::kBackup, 0, false, true},
      {"middle.bak", part(bak, bak.size() / 5 + 3, bak.size() * 3 / 5), FileKind::kBackup, 0, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingMessages messages;
    PageStore store(messages);
    ASSERT_TRUE(store.OpenFile(dir.Write(c.name, c.bytes)));
    EXPECT_EQ(store.Kind(), c.kind);
    const FileGaps gaps = MeasureFileGaps(store);
    EXPECT_EQ(gaps.pagesCutOff, c.cut_off);
    EXPECT_EQ(gaps.backupHeadMissing, c.head_missing);
    EXPECT_EQ(gaps.backupTailMissing, c.tail_missing);
    EXPECT_EQ(gaps.LosesRows(), c.head_missing || c.tail_missing || gaps.coverage.extentsMissing > 0);
    uint64_t held = 0;
    ForEachPageInBlocks(store, 0, store.PageCount(), [&](uint64_t n, ByteView b) {
      if (b.LeOr<uint8_t>(kType) != 0) {
        EXPECT_EQ(b.LeOr<uint32_t>(kPageId), n);
      }
      return ++held, true;
    });
    EXPECT_GT(held, 8u);
  }
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
  // Tiny files open but hold no page.
  for (size_t size : {0, 3, 96, 8191}) {
    PageStore tiny(messages);
    ASSERT_TRUE(tiny.OpenFile(dir.Write("t" + std::to_string(size), Bytes(size, 1))));
    EXPECT_EQ(tiny.PageCount(), 0u);
    EXPECT_FALSE(tiny.ReadPage(0));
    visited = 0;
    ForEachPageInBlocks(tiny, 0, 5, [&](uint64_t, ByteView) { return ++visited, true; });
    EXPECT_EQ(visited, 0);
  }
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
