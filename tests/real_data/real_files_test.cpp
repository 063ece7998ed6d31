// Opens the real SQL Server files of the shared data folder as the manifest
// lists them: data files, backups opened in place, single stripes of
// striped backups, a compressed backup and a secondary file; page counts, page identities,
// torn-bit repair and the detected server version.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "engine/pagestore/backup_coverage.h"
#include "engine/pagestore/iam_chain.h"
#include "engine/pagestore/server_version.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace page_layout;

bool LooksValid(const PageHeader& h) {
  return h.headerVersion == kValidHeaderVersion && h.reservedZero && h.fileId == 1 && h.type != 0;
}

TEST(RealFilesTest, EveryFileOpensInPlaceWithItsPagesAndVersion) {
  TOLLAMER_REQUIRE_REAL_FILE(manifest, "MANIFEST.tsv");
  int files = 0;
  for (const testing::ManifestEntry& e : testing::RealDataManifest()) {
    ++files;
    SCOPED_TRACE(e.file);
    std::optional<std::string> path = testing::RealDataFile(e.file);
    ASSERT_TRUE(path);
    testing::FileSnapshot before = testing::FileSnapshot::Of(*path);
    RecordingMessages messages;
    PageStore store(messages);
    if (e.file.ends_with(".ndf")) {
      EXPECT_FALSE(store.OpenFile(*path));
      EXPECT_EQ(store.Refusal(), OpenRefusal::kSecondaryFile);
      EXPECT_EQ(store.RefusedFileId(), 5);
      continue;
    }
    ASSERT_TRUE(store.OpenFile(*path));
    // The compressed backup reads through its decoded stream, every block whole.
    const bool compressed = e.file.find("-compressed") != std::string::npos;
    EXPECT_EQ(store.Decoded() != nullptr, compressed);
    if (compressed) {
      EXPECT_EQ(store.Decoded()->BlockCount(), 120u);
      EXPECT_EQ(store.Decoded()->LossCount(), 0u);
      EXPECT_EQ(store.PagesHeld(), 703u);
    }
    const bool backup = e.file.ends_with(".bak");
    EXPECT_EQ(store.Kind(), backup ? FileKind::kBackup : FileKind::kData);
    if (!backup) {
      EXPECT_EQ(store.PageCount(), e.bytes / kPageSize);
    }
    // The manifest counts every page image, a page written twice twice.
    if (backup && e.pages) {
      EXPECT_LE(store.PagesHeld(), *e.pages);
      EXPECT_GE(store.PagesHeld() + 16, *e.pages);
    }
    EXPECT_EQ(store.Media().Striped(), e.file.find("stripe") != std::string::npos);
    EXPECT_EQ(store.Media().familySequence, e.file.find("stripe2") != std::string::npos ? 2 : 1);
    EXPECT_EQ(store.BackupSets().size(), e.file.find("two-backup-sets") != std::string::npos ? 2u
                                         : backup                                           ? 1u
                                                                                            : 0u);
    uint64_t valid = 0;
    ForEachPageInBlocks(store, 0, store.PageCount(), [&](uint64_t p, ByteView raw) {
      std::optional<PageHeader> h = PageHeader::Decode(raw);
      if (h && LooksValid(*h)) {
        ++valid;
        EXPECT_EQ(h->pageId, p);
      }
      return true;
    });
    EXPECT_GT(valid, store.PagesHeld() / 4);
    VersionGuess g = DetectServerVersion(store);
    if (e.dbiVersion && store.Holds(9)) {
      EXPECT_EQ(g.dbiVersion, e.dbiVersion);
      EXPECT_EQ(g.evidence, VersionEvidence::kBootPage);
      EXPECT_EQ(g.setting, *e.dbiVersion < 600 ? VersionSetting::kSql2000 : VersionSetting::kSql2005);
      EXPECT_FALSE(g.newerThanKnown);
    } else {
      EXPECT_EQ(g.setting, VersionSetting::kSql2005) << "no boot page: told by the system pages";
    }
    EXPECT_TRUE(messages.Quiet());
    store.Close();
    EXPECT_TRUE(testing::FileSnapshot::Of(*path) == before);
  }
  EXPECT_GE(files, 23);
}

// The two files of the striped restoretime backup, in either order, hold
// every allocated page, the boot page among them; alone each lacks the
// other's share and names it.
TEST(RealFilesTest, BothStripesTogetherHoldEveryAllocatedPage) {
  TOLLAMER_REQUIRE_REAL_FILE(one, "restoretime-sql2008r2-stripe1of2.bak");
  TOLLAMER_REQUIRE_REAL_FILE(two, "restoretime-sql2008r2-stripe2of2.bak");
  RecordingMessages messages;
  PageStore store(messages);
  for (const auto& files : {std::vector<std::string>{one, two}, std::vector<std::string>{two, one}}) {
    ASSERT_TRUE(store.OpenFiles(files)) << store.LastError();
    EXPECT_EQ(store.PagesHeld(), 174u);
    EXPECT_TRUE(store.MissingStripes().empty());
    EXPECT_TRUE(store.Holds(9));
    EXPECT_EQ(DetectServerVersion(store).dbiVersion, 661);
    const BackupCoverage coverage = MeasureBackupCoverage(store);
    EXPECT_TRUE(coverage.allocationKnown);
    EXPECT_EQ(coverage.extentsMissing, 0u);
  }
  for (const auto& [alone, missing] : {std::pair{one, 2}, std::pair{two, 1}}) {
    ASSERT_TRUE(store.OpenFile(alone));
    EXPECT_EQ(store.MissingStripes(), std::vector<uint16_t>{static_cast<uint16_t>(missing)});
  }
}

TEST(RealFilesTest, TornBitRepairGivesSaneSlotArraysOnSql2000Pages) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2000.mdf");
  RecordingMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(path));
  int torn_pages = 0;
  for (uint64_t p = 0; p < store.PageCount(); ++p) {
    std::optional<Page> page = store.ReadPage(p);
    ASSERT_TRUE(page);
    std::optional<PageHeader> h = PageHeader::Decode(page->view());
    if (!h->HasType(PageType::kData) || !(h->flagBits & kFlagTornBits)) continue;
    ++torn_pages;
    for (size_t s = 0; s < h->slotCnt; ++s) {
      uint16_t offset = *SlotOffset(page->view(), s);
      EXPECT_GE(offset, kHeaderSize) << "page " << p << " slot " << s;
      EXPECT_LT(offset, h->freeData) << "page " << p << " slot " << s;
    }
  }
  EXPECT_GT(torn_pages, 5);
}

TEST(RealFilesTest, SystemTableIamChainsWalkAndPointAtTheirOwnPages) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "pubs-sql2008.mdf");
  RecordingMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(path));
  // Page 17 is the IAM page of sysallocunits (object 7).
  std::optional<std::vector<uint64_t>> singles = ReadIamSinglePages(store, 17);
  ASSERT_TRUE(singles);
  ASSERT_FALSE(singles->empty());
  for (uint64_t page : *singles) EXPECT_EQ(store.ReadHeader(page)->objId, 7u) << page;
  std::vector<uint64_t> extents;
  EXPECT_TRUE(WalkIamChain(store, 17, extents));
}

}  // namespace
}  // namespace tollamer
