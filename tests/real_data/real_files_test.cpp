// Opens the real SQL Server files of the shared data folder: page counts,
// page identities, torn-bit repair and the detected server version.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "engine/pagestore/iam_chain.h"
#include "engine/pagestore/server_version.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using namespace page_layout;

struct ManifestEntry {
  std::string file;
  uint64_t bytes = 0;
  uint16_t dbiVersion = 0;
};

std::vector<ManifestEntry> ReadManifest() {
  std::vector<ManifestEntry> entries;
  std::ifstream in(testing::RealDataDir() + "/MANIFEST.tsv");
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::vector<std::string> cols;
    std::stringstream ss(line);
    for (std::string c; std::getline(ss, c, '\t');) cols.push_back(c);
    if (cols.size() < 5) continue;
    entries.push_back({cols[0], std::stoull(cols[2]), static_cast<uint16_t>(std::stoi(cols[4]))});
  }
  return entries;
}

bool LooksValid(const PageHeader& h) {
  return h.headerVersion == kValidHeaderVersion && h.reservedZero && h.fileId == 1 && h.type != 0;
}

TEST(RealFilesTest, DataFilesOpenWithTheirPagesAndVersion) {
  TOLLAMER_REQUIRE_REAL_FILE(manifest, "MANIFEST.tsv");
  int data_files = 0;
  for (const ManifestEntry& e : ReadManifest()) {
    if (e.file.ends_with(".bak")) continue;
    ++data_files;
    SCOPED_TRACE(e.file);
    std::optional<std::string> path = testing::RealDataFile(e.file);
    ASSERT_TRUE(path);
    testing::FileSnapshot before = testing::FileSnapshot::Of(*path);
    RecordingMessages messages;
    PageStore store(messages);
    ASSERT_TRUE(store.OpenFile(*path));
    EXPECT_EQ(store.PageCount(), e.bytes / kPageSize);
    uint64_t valid = 0;
    for (uint64_t p = 0; p < store.PageCount(); ++p) {
      std::optional<PageHeader> h = store.ReadHeader(p);
      ASSERT_TRUE(h);
      if (!LooksValid(*h)) continue;
      ++valid;
      EXPECT_EQ(h->pageId, p) << "page " << p;
    }
    EXPECT_GT(valid, store.PageCount() / 4);
    VersionGuess g = DetectServerVersion(store);
    EXPECT_EQ(g.dbiVersion, e.dbiVersion);
    EXPECT_EQ(g.evidence, VersionEvidence::kBootPage);
    EXPECT_EQ(g.setting, e.dbiVersion < 600 ? VersionSetting::kSql2000 : VersionSetting::kSql2005);
    store.Close();
    EXPECT_TRUE(testing::FileSnapshot::Of(*path) == before);
  }
  EXPECT_EQ(data_files, 4);
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

TEST(RealFilesTest, BackupWithPageDataElsewhereIsRefusedWithTheFormatMessage) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "entrepot-sql2008r2.bak");
  RecordingMessages messages;
  PageStore store(messages);
  EXPECT_FALSE(store.OpenFile(path));
  EXPECT_EQ(messages.stops, std::vector<std::string>{"备份文件格式读取错误！"});
}

}  // namespace
}  // namespace tollamer
