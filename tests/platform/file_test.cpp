#include "platform/file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_support.h"

namespace tollamer::platform {
namespace {

using tollamer::testing::TempDir;

TEST(ReadOnlyFileTest, MissingFileIsReportedAsNotFound) {
  TempDir dir;
  OpenResult r = OpenReadOnlyExclusive(dir.File("absent.mdf"));
  EXPECT_EQ(r.file, nullptr);
  EXPECT_EQ(r.error, OpenError::kNotFound);
  EXPECT_FALSE(r.message.empty());
}

TEST(ReadOnlyFileTest, FileHeldByAnotherOpenerIsInUse) {
  TempDir dir;
  std::string path = dir.Write("db.mdf", fixtures::Bytes(100, 7));
  OpenResult first = OpenReadOnlyExclusive(path);
  ASSERT_NE(first.file, nullptr);
  OpenResult second = OpenReadOnlyExclusive(path);
  EXPECT_EQ(second.file, nullptr);
  EXPECT_EQ(second.error, OpenError::kInUse);
  first.file.reset();
  EXPECT_NE(OpenReadOnlyExclusive(path).file, nullptr) << "the lock ends with the file";
}

TEST(ReadOnlyFileTest, PositionedReadsStopAtTheEnd) {
  TempDir dir;
  fixtures::Bytes bytes(100);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  OpenResult r = OpenReadOnlyExclusive(dir.Write("f", bytes));
  ASSERT_NE(r.file, nullptr);
  EXPECT_EQ(r.file->Length(), 100u);
  uint8_t buf[10];
  EXPECT_EQ(r.file->ReadAt(95, buf), 5u);
  EXPECT_EQ(buf[0], 95);
  EXPECT_EQ(r.file->ReadAt(100, buf), 0u);
  EXPECT_EQ(r.file->ReadAt(~0ull - 4, buf), 0u);
}

TEST(OutputFileTest, AppearsUnderItsNameOnlyWhenCommitted) {
  TempDir dir;
  std::string path = dir.File("out.sql");
  {
    CreateResult c = CreateOutputFile(path);
    ASSERT_NE(c.file, nullptr) << c.message;
    const uint8_t text[] = {'a', 'b'};
    ASSERT_TRUE(c.file->Write(text));
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_TRUE(c.file->Commit());
  }
  EXPECT_EQ(std::filesystem::file_size(path), 2u);
  size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
  EXPECT_EQ(entries, 1u) << "no temporary file is left behind";
}

TEST(OutputFileTest, AbandonedWriteLeavesNothingAndOldFileStays) {
  TempDir dir;
  std::string path = dir.Write("out.sql", fixtures::Bytes{'o', 'l', 'd'});
  {
    CreateResult c = CreateOutputFile(path);
    ASSERT_NE(c.file, nullptr);
    const uint8_t text[] = {'n', 'e', 'w', '!'};
    c.file->Write(text);
  }
  EXPECT_EQ(std::filesystem::file_size(path), 3u);
  size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
  EXPECT_EQ(entries, 1u);
}

TEST(OutputFileTest, UncreatableFileIsReported) {
  TempDir dir;
  CreateResult c = CreateOutputFile(dir.File("no/such/folder/out.sql"));
  EXPECT_EQ(c.file, nullptr);
  EXPECT_FALSE(c.message.empty());
}

}  // namespace
}  // namespace tollamer::platform
