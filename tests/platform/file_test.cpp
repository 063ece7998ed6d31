#include "platform/file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "platform/block_devices.h"
#include "platform/pending_outputs.h"
#include "tests/test_support.h"

namespace tollamer::platform {
namespace {

using tollamer::testing::TempDir;

// Each way an open fails is told apart, for both open functions; a file
// held by another exclusive opener is "in use" only for the exclusive open.
TEST(ReadOnlyFileTest, OpenFailuresSayWhatHappened) {
  TempDir dir;
  std::string held = dir.Write("held.mdf", fixtures::Bytes(100, 7));
  std::filesystem::create_directory(dir.File("folder"));
  OpenResult holder = OpenReadOnlyExclusive(held);
  ASSERT_NE(holder.file, nullptr);
  const struct {
    std::string path;
    OpenError exclusive, shared;
  } cases[] = {
      {dir.File("absent.mdf"), OpenError::kNotFound, OpenError::kNotFound},
      {dir.File("absent/x.mdf"), OpenError::kNotFound, OpenError::kNotFound},
      {dir.File("folder"), OpenError::kNotRegularFile, OpenError::kNotRegularFile},
      {held, OpenError::kInUse, OpenError::kNone},
  };
  for (const auto& c : cases) {
    OpenResult r = OpenReadOnlyExclusive(c.path);
    EXPECT_EQ(r.file == nullptr, c.exclusive != OpenError::kNone) << c.path;
    EXPECT_EQ(r.error, c.exclusive) << c.path;
    EXPECT_EQ(r.message.empty(), c.exclusive == OpenError::kNone) << c.path;
    EXPECT_EQ(OpenSharedReadOnly(c.path).error, c.shared) << c.path;
  }
  if (testing::ModeDeniesReading()) {
    std::string locked = dir.Write("locked.mdf", fixtures::Bytes(10, 1));
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    EXPECT_EQ(OpenReadOnlyExclusive(locked).error, OpenError::kAccessDenied);
  }
  holder.file.reset();
  EXPECT_NE(OpenReadOnlyExclusive(held).file, nullptr) << "the lock ends with the file";
}

// An output that reaches the input, by any path, is the input; a file open
// as an input is never replaced by an output of this process.
TEST(OutputFileTest, OutputsThatReachTheInputAreRefused) {
  TempDir dir;
  std::string input = dir.Write("in.mdf", fixtures::Bytes{'d', 'b'});
  std::filesystem::create_hard_link(input, dir.File("hard.mdf"));
  // A symbolic link where the runtime makes one (MinGW's does not).
  std::error_code no_link;
  std::filesystem::create_symlink(input, dir.File("soft.mdf"), no_link);
  const std::string soft = no_link ? dir.File("hard.mdf") : dir.File("soft.mdf");
  std::filesystem::create_directory(dir.File("sub"));
  for (const std::string& same : {input, dir.File("hard.mdf"), soft,
                                  dir.File("sub/../in.mdf")})
    EXPECT_TRUE(OutputIsInput(input, same)) << same;
  EXPECT_TRUE(OutputIsInput(soft, input));
  EXPECT_FALSE(OutputIsInput(input, dir.File("other.mdf")));
  EXPECT_FALSE(OutputIsInput(dir.File("absent.mdf"), dir.File("absent.mdf")));

  {
    OpenResult open = OpenReadOnlyExclusive(input);
    ASSERT_NE(open.file, nullptr);
    EXPECT_TRUE(IsOpenInput(dir.File("hard.mdf")));
    CreateResult c = CreateOutputFile(soft);
    EXPECT_EQ(c.file, nullptr);
    EXPECT_EQ(c.message, kOutputIsInputText);
  }
  EXPECT_FALSE(IsOpenInput(input));
  EXPECT_NE(CreateOutputFile(dir.File("other.mdf")).file, nullptr);
  EXPECT_EQ(std::filesystem::file_size(input), 2u);
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

// An output appears under its name only when committed, with no temporary
// left, whole when its write-back was started while it was written; an
// abandoned one leaves the old file as it was; one that cannot be created
// says why.
TEST(OutputFileTest, AppearsOnlyWhenCommittedAndLeavesNothingOtherwise) {
  TempDir dir;
  const std::string path = dir.File("out.sql");
  const std::string old = dir.Write("old.sql", fixtures::Bytes{'o', 'l', 'd'});
  const std::vector<uint8_t> block(3 << 19, 'x');  // past a write-back step
  for (const std::string& target : {path, old}) {
    CreateResult c = CreateOutputFile(target);
    ASSERT_NE(c.file, nullptr) << c.message;
    const uint8_t text[] = {'n', 'e', 'w', '!'};
    ASSERT_TRUE(c.file->Write(text));
    ASSERT_TRUE(c.file->Write(block));
    c.file->StartWriteBack();
    ASSERT_TRUE(c.file->Write(text));
    EXPECT_EQ(std::filesystem::exists(target), target == old);
    if (target == path) {
      ASSERT_TRUE(c.file->Commit());
    }
  }
  EXPECT_EQ(std::filesystem::file_size(path), 8u + block.size());
  std::ifstream back(path, std::ios::binary);
  const std::string got((std::istreambuf_iterator<char>(back)), {});
  EXPECT_EQ(got.substr(0, 5) + got.substr(got.size() - 5), "new!xxnew!");
  EXPECT_EQ(std::filesystem::file_size(old), 3u);
  size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
  EXPECT_EQ(entries, 2u) << "no temporary file is left behind";
  CreateResult bad = CreateOutputFile(dir.File("no/such/folder/out.sql"));
  EXPECT_EQ(bad.file, nullptr);
  EXPECT_FALSE(bad.message.empty());

  // An interruption can remove the temporaries of as many outputs as a walk
  // over hundreds of tables keeps open: each is given a slot.
  std::vector<int> slots;
  for (int i = 0; i < 600; ++i) slots.push_back(RegisterPendingOutput(dir.File(std::to_string(i))));
  EXPECT_EQ(std::count(slots.begin(), slots.end(), kNoPendingSlot), 0);
  for (int slot : slots) ReleasePendingOutput(slot);
}

// A large output (past the part kept in the page cache while written),
// written in pieces and whole, empty pieces among them, reads back whole.
TEST(OutputFileTest, ALargeOutputWrittenInPiecesReadsBackWhole) {
  TempDir dir;
  const std::string path = dir.File("big.sql");
  CreateResult c = CreateOutputFile(path);
  ASSERT_NE(c.file, nullptr) << c.message;
  std::vector<uint8_t> block((1 << 20) + 13);
  std::vector<uint8_t> expected;
  for (uint8_t round = 0; round < 40; ++round) {
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + round);
    const std::span<const uint8_t> whole(block);
    const std::span<const uint8_t> pieces[] = {whole.first(5), {}, whole.subspan(5, 1000),
                                               whole.subspan(1005)};
    ASSERT_TRUE(round % 2 ? c.file->Write(whole) : c.file->WritePieces(pieces));
    expected.insert(expected.end(), block.begin(), block.end());
  }
  ASSERT_TRUE(c.file->Commit()) << c.file->Error();
  OpenResult r = OpenReadOnlyExclusive(path);
  ASSERT_NE(r.file, nullptr);
  std::vector<uint8_t> back(expected.size() + 1);
  EXPECT_EQ(r.file->ReadAt(0, back), expected.size());
  back.pop_back();
  EXPECT_TRUE(back == expected);
}

}  // namespace
}  // namespace tollamer::platform
