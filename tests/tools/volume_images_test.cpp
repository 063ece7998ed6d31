// Fragment searches on FAT32, FAT16 and NTFS images made by the real file-system
// tools (dosfstools/mtools, ntfs-3g), never mounted.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "platform/block_devices.h"
#include "tests/fixtures/tools_fixtures.h"
#include "tests/test_support.h"
#include "tools/allocation_map.h"
#include "tools/file_system.h"
#include "tools/fragment_search.h"

namespace tollamer::tools {
namespace {

using namespace page_layout;
using fixtures::FormatVersion;
using fixtures::RunQuiet;

#define REQUIRE_PROGRAMS(...)                                               \
  for (const char* p : {__VA_ARGS__})                                       \
    if (!fixtures::HaveProgram(p)) GTEST_SKIP() << p << " is not installed: skipping the image test"

const Fragment* WithTag(const std::vector<Fragment>& list, const std::string& tag) {
  for (const Fragment& f : list)
    if (f.extra.find(tag) != std::string::npos) return &f;
  return nullptr;
}

SearchResult RunSearch(const platform::ReadOnlyFile& source, const SearchParams& params) {
  std::atomic<bool> running{true};
  SearchObserver observer;
  RecordingMessages messages;
  SearchResult r = SearchFragments(source, params, running, observer, messages);
  EXPECT_TRUE(messages.stops.empty()) << messages.stops.front();
  return r;
}

// FAT32 and FAT16 (16-bit FAT entries, a fixed root directory region before
// cluster 2): the free-cluster search reads only the deleted file.
TEST(VolumeImageTest, FatFreeClusterSearchFindsTheDeletedFileAndNeverReadsTheLiveOne) {
  REQUIRE_PROGRAMS("mkfs.vfat", "mcopy", "mdel");
  struct Case {
    const char* mkfs;
    FileSystemKind kind;
    uint32_t cluster;
  };
  for (const Case& c : {Case{"-F 32 -s 1", FileSystemKind::kFat32, 1},
                        Case{"-F 16 -s 4", FileSystemKind::kFat16, 4}}) {
    SCOPED_TRACE(c.mkfs);
    testing::TempDir dir;
    std::string img = dir.File("fat.img");
    std::string live = dir.Write("live.mdf", fixtures::BuildCarvableDatabase(FormatVersion::kSql2008, 64).Image());
    std::string gone = dir.Write("gone.mdf", fixtures::BuildCarvableDatabase(FormatVersion::kSql2000, 48).Image());
    ASSERT_EQ(RunQuiet("truncate -s 40M " + img + " && mkfs.vfat " + c.mkfs + " " + img), 0);
    ASSERT_EQ(RunQuiet("mcopy -i " + img + " " + live + " ::live.mdf && mcopy -i " + img + " " +
                       gone + " ::gone.mdf && mdel -i " + img + " ::gone.mdf"),
              0);

    platform::OpenResult open = platform::OpenSharedReadOnly(img);
    ASSERT_TRUE(open.file);
    Recognition fs = RecognizeFileSystem(*open.file, 0);
    ASSERT_EQ(fs.fs.kind, c.kind);
    EXPECT_TRUE(fs.freeClustersAllowed);
    EXPECT_EQ(fs.clusterField, std::optional<uint32_t>(c.cluster));

    SearchResult plain = RunSearch(*open.file, {0, *fs.sizeField, *fs.clusterField, false});
    const Fragment* live_run = WithTag(plain.fragments, "[MSSQL2008]");
    const Fragment* gone_run = WithTag(plain.fragments, "[MSSQL2000]");
    ASSERT_TRUE(live_run && gone_run);
    EXPECT_EQ(FragmentPagesText(*live_run), "0-63");
    EXPECT_EQ(FragmentPagesText(*gone_run), "0-47");

    fixtures::RecordingSource recording(*open.file);
    SearchResult free = RunSearch(recording, {0, *fs.sizeField, *fs.clusterField, true});
    EXPECT_GT(free.unitsSkipped, 64u * 16 / c.cluster);
    ASSERT_EQ(free.fragments.size(), 1u);
    EXPECT_EQ(free.fragments[0].firstSector, gone_run->firstSector);
    EXPECT_EQ(FragmentPagesText(free.fragments[0]), "0-47");
    EXPECT_FALSE(recording.Touched(live_run->firstSector * kSectorSize,
                                   (live_run->lastSector + 16) * kSectorSize));
  }
}

TEST(VolumeImageTest, NtfsFreeClusterSearchReadsOnlyTheFreedTailOfATruncatedFile) {
  REQUIRE_PROGRAMS("mkntfs", "ntfscp", "ntfsls", "ntfstruncate");
  testing::TempDir dir;
  std::string img = dir.File("ntfs.img");
  std::string db = dir.Write("db.mdf", fixtures::BuildCarvableDatabase(FormatVersion::kSql2000, 96).Image());
  ASSERT_EQ(RunQuiet("truncate -s 16M " + img + " && mkntfs -F -Q -q -p 2048 -c 4096 " + img), 0);
  ASSERT_EQ(RunQuiet("ntfscp -f " + img + " " + db + " db.mdf"), 0);
  std::string listing = testing::RunCommand("PATH=\"$PATH:/usr/sbin:/sbin\" ntfsls -i " + img).out;
  unsigned long inode = 0;
  ASSERT_EQ(std::sscanf(listing.c_str(), " %lu db.mdf", &inode), 1) << listing;
  // Keep the first 48 pages: the clusters of pages 48 to 95 become free.
  ASSERT_EQ(RunQuiet("ntfstruncate " + img + " " + std::to_string(inode) + " 393216"), 0);

  platform::OpenResult open = platform::OpenSharedReadOnly(img);
  ASSERT_TRUE(open.file);
  Recognition fs = RecognizeFileSystem(*open.file, 0);
  ASSERT_EQ(fs.fs.kind, FileSystemKind::kNtfs);
  EXPECT_EQ(fs.clusterField, std::optional<uint32_t>(8));

  SearchResult plain = RunSearch(*open.file, {0, *fs.sizeField, *fs.clusterField, false});
  ASSERT_EQ(plain.fragments.size(), 1u);
  const Fragment whole = plain.fragments[0];
  EXPECT_EQ(FragmentPagesText(whole), "0-95");

  fixtures::RecordingSource recording(*open.file);
  SearchResult free = RunSearch(recording, {0, *fs.sizeField, *fs.clusterField, true});
  ASSERT_EQ(free.fragments.size(), 1u);
  EXPECT_EQ(FragmentPagesText(free.fragments[0]), "48-95");
  EXPECT_EQ(free.fragments[0].firstSector, whole.firstSector + 48 * 16);
  EXPECT_EQ(free.fragments[0].extra, "");
  EXPECT_FALSE(recording.Touched(whole.firstSector * kSectorSize,
                                 (whole.firstSector + 48 * 16) * kSectorSize));
}

TEST(VolumeImageTest, DamagedAllocationMapsStopTheFreeClusterSearch) {
  // An NTFS boot sector whose MFT lies beyond the source.
  fixtures::Bytes img(64 * kSectorSize, 0);
  std::memcpy(img.data() + 3, "NTFS    ", 8);
  fixtures::PutU16(img, 11, 512);
  img[13] = 8;
  fixtures::PutU32(img, 28, 2048);
  fixtures::PutU64(img, 40, 64);
  fixtures::PutU64(img, 48, 1000000);
  fixtures::PutU16(img, 510, 0xAA55);
  fixtures::MemorySource ntfs(img);
  std::atomic<bool> running{true};
  SearchObserver observer;
  RecordingMessages messages;
  EXPECT_FALSE(SearchFragments(ntfs, {0, 64, 8, true}, running, observer, messages).ran);
  EXPECT_EQ(messages.notices, std::vector<EngineNotice>{EngineNotice::kVolumeBitmapUnreadable});
}

// Damaged NTFS run lists found by fuzzing.
TEST(RunListDamageTest, OnlyOffsetsCarryingTheClusterPastSixtyFourBitsRejectTheList) {
  // Run 1: one cluster at 0x7FFFFFFFFFFFFFFF; run 2: one more cluster at
  // +0x10 from there, beyond any signed 64-bit cluster number.
  const std::vector<uint8_t> runs = {0x81, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F,
                                     0x11, 0x01, 0x10, 0x00};
  EXPECT_FALSE(DecodeRunList(runs));
  // Negative offsets within the volume still decode: 0x10 clusters at
  // 0x100, then 8 clusters at 0x100 - 0x10.
  const std::vector<uint8_t> back = {0x21, 0x10, 0x00, 0x01, 0x11, 0x08, 0xF0, 0x00};
  auto decoded = DecodeRunList(back);
  ASSERT_TRUE(decoded);
  ASSERT_EQ(decoded->size(), 2u);
  EXPECT_EQ((*decoded)[1].lcn, 0xF0);
}

}  // namespace
}  // namespace tollamer::tools
