#include "tools/backup_conversion.h"

#include <gtest/gtest.h>

#include "engine/pagestore/page_store.h"
#include "engine/pagestore/server_version.h"
#include "tests/fixtures/tools_fixtures.h"
#include "tests/test_support.h"

namespace tollamer::tools {
namespace {

using namespace page_layout;
using fixtures::Bytes;
using fixtures::FormatVersion;
using testing::TempDir;

// An output that keeps the bytes in memory, or fails from a given write on.
class MemoryOutput final : public platform::OutputFile {
 public:
  explicit MemoryOutput(int fail_at_write = -1) : fail_at_(fail_at_write) {}
  bool Write(std::span<const uint8_t> b) override { return WriteAt(bytes.size(), b); }
  bool WriteAt(uint64_t offset, std::span<const uint8_t> b) override {
    if (writes++ == fail_at_) {
      error_ = "disk full";
      return false;
    }
    if (bytes.size() < offset + b.size()) bytes.resize(offset + b.size(), 0);
    std::copy(b.begin(), b.end(), bytes.begin() + offset);
    return true;
  }
  bool Commit() override { return true; }
  const std::string& Error() const override { return error_; }
  Bytes bytes;
  int writes = 0;

 private:
  int fail_at_;
  std::string error_;
};

ConversionResult Convert(const Bytes& backup, MemoryOutput& out) {
  fixtures::MemorySource source(backup);
  std::atomic<bool> running{true};
  ConversionObserver observer;
  return ConvertBackup(source, out, running, observer);
}

TEST(BackupConversionTest, PagesAreWrittenAtTheirOwnNumbers) {
  fixtures::FileBuilder db = fixtures::BuildCarvableDatabase(FormatVersion::kSql2008, 40);
  Bytes backup = db.BackupImage(0x1E00);
  backup.resize(backup.size() + 3000, 0xEE);  // tape trailer
  MemoryOutput out;
  ConversionResult r = Convert(backup, out);
  EXPECT_TRUE(r.completed);
  EXPECT_EQ(r.pagesWritten, 44u) << "the first four pages come again at the end";
  EXPECT_EQ(r.incompletePages, 0u);
  EXPECT_EQ(r.highestPage, 39u);
  EXPECT_EQ(out.bytes, db.Image());
}

TEST(BackupConversionTest, OrderDuplicatesOffGridStartsAndNonPageStartsFollowTheSectorWalk) {
  Bytes page5 = fixtures::NumberedPages(5, 1);
  Bytes page2 = fixtures::NumberedPages(2, 1);
  Bytes page2b = page2;
  page2b[200] = 0xAB;  // a later copy of page 2
  Bytes backup(3 * kSectorSize, 0x11);  // 3 sectors: not a multiple of 16
  for (const Bytes* p : {&page5, &page2, &page2b}) backup.insert(backup.end(), p->begin(), p->end());
  MemoryOutput out;
  EXPECT_EQ(Convert(backup, out).pagesWritten, 3u);
  ASSERT_EQ(out.bytes.size(), 6 * kPageSize);
  EXPECT_TRUE(std::equal(page5.begin(), page5.end(), out.bytes.begin() + 5 * kPageSize));
  EXPECT_TRUE(std::equal(page2b.begin(), page2b.end(), out.bytes.begin() + 2 * kPageSize));
  EXPECT_EQ(out.bytes[0], 0);  // pages not in the backup stay zero

  // Sort pages, damaged headers and another file's pages are no page starts.
  Bytes others;
  for (int variant = 0; variant < 4; ++variant) {
    Bytes p = fixtures::NumberedPages(1, 1);
    if (variant == 0) p[kType] = 7;
    if (variant == 1) p[kType] = 6;
    if (variant == 2) p[0x4A] = 1;     // reserved byte
    if (variant == 3) p[kFileId] = 3;  // a secondary file
    others.insert(others.end(), p.begin(), p.end());
  }
  MemoryOutput none;
  EXPECT_EQ(Convert(others, none).pagesWritten, 0u);
  EXPECT_TRUE(none.bytes.empty());
}

TEST(BackupConversionTest, APageCutByTheEndIsWrittenAsFarAsItGoesAndCounted) {
  Bytes backup = fixtures::NumberedPages(0, 1);
  Bytes last = fixtures::NumberedPages(3, 1);
  backup.insert(backup.end(), last.begin(), last.begin() + 5 * kSectorSize + 100);
  MemoryOutput out;
  ConversionResult r = Convert(backup, out);
  EXPECT_TRUE(r.completed);
  EXPECT_EQ(r.pagesWritten, 2u);
  EXPECT_EQ(r.incompletePages, 1u);
  // Five whole sectors of page 3 (a trailing part-sector is not a sector).
  EXPECT_EQ(out.bytes.size(), 3 * kPageSize + 5 * kSectorSize);
}

// A failed write, a backup that does not open, an output that cannot be
// made, a file without a single page, a backup named as its own output:
// each is reported, nothing is written and the input is untouched.
TEST(BackupConversionTest, FailuresAreReportedAndLeaveNoOutput) {
  MemoryOutput out(1);
  ConversionResult r = Convert(fixtures::NumberedPages(0, 3), out);
  EXPECT_FALSE(r.completed);
  EXPECT_EQ(r.error, "disk full");

  TempDir dir;
  std::atomic<bool> running{true};
  ConversionObserver observer;
  const std::string bak = dir.Write("a.bak", fixtures::NumberedPages(0, 2));
  const std::string pageless = dir.Write("short.bak", Bytes(300, 1));
  const auto before = testing::FileSnapshot::Of(pageless);
  const struct {
    std::string in, out;
    EngineNotice said;
  } cases[] = {{dir.File("missing.bak"), dir.File("out.mdf"), EngineNotice::kBackupOpenFailed},
               {bak, dir.File("no/such/dir/out.mdf"), EngineNotice::kDataFileCreateFailed},
               {pageless, dir.File("out.mdf"), EngineNotice::kNoPagesInBackup},
               {pageless, pageless, EngineNotice::kOutputIsInput}};
  for (const auto& c : cases) {
    RecordingMessages messages;
    EXPECT_FALSE(ConvertBackupFile(c.in, c.out, running, observer, messages).completed) << c.out;
    EXPECT_EQ(messages.notices, std::vector<EngineNotice>{c.said}) << c.out;
  }
  EXPECT_TRUE(testing::FileSnapshot::Of(pageless) == before);
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.mdf")));
}

TEST(BackupConversionTest, RealSql2008R2BackupBecomesAnOpenableDataFile) {
  TOLLAMER_REQUIRE_REAL_FILE(bak, "entrepot-sql2008r2.bak");
  TempDir dir;
  RecordingMessages messages;
  std::atomic<bool> running{true};
  ConversionObserver observer;
  std::string mdf = dir.File("entrepot.mdf");
  ConversionResult r = ConvertBackupFile(bak, mdf, running, observer, messages);
  ASSERT_TRUE(r.completed) << r.error;
  EXPECT_EQ(r.pagesWritten, 231u);
  EXPECT_EQ(r.highestPage, 263u);
  EXPECT_EQ(r.incompletePages, 0u);

  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(mdf));
  EXPECT_EQ(store.Kind(), FileKind::kData);
  EXPECT_EQ(store.PageCount(), 264u);
  for (uint64_t n : {0u, 1u, 2u, 9u, 100u, 263u}) {
    auto header = store.ReadHeader(n);
    ASSERT_TRUE(header) << n;
    EXPECT_EQ(header->pageId, n);
  }
  EXPECT_EQ(DetectServerVersion(store).dbiVersion, std::optional<uint16_t>(661));
}

}  // namespace
}  // namespace tollamer::tools
