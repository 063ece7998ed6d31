// What only the Windows file services do: sharing modes that refuse writers
// both ways, paths past MAX_PATH under \\?\, and names in any script.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/block_devices.h"
#include "platform/file.h"
#include "tests/test_support.h"

namespace tollamer::platform {
namespace {

using tollamer::testing::TempDir;

HANDLE OpenForWriting(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

// A file another opener holds for writing is in use for the exclusive open
// and still readable by the shared one; while the exclusive open holds it,
// no writer gets in.
TEST(WindowsSharingTest, WritersAndTheExclusiveOpenExcludeEachOther) {
  TempDir dir;
  const std::string path = dir.Write("held.mdf", fixtures::Bytes(100, 7));
  const std::wstring wide = std::filesystem::path(path).wstring();
  HANDLE writer = OpenForWriting(wide);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  OpenResult refused = OpenReadOnlyExclusive(path);
  EXPECT_EQ(refused.file, nullptr);
  EXPECT_EQ(refused.error, OpenError::kInUse);
  OpenResult shared = OpenSharedReadOnly(path);
  ASSERT_NE(shared.file, nullptr);
  EXPECT_EQ(shared.file->Length(), 100u);
  shared.file.reset();
  ::CloseHandle(writer);

  OpenResult held = OpenReadOnlyExclusive(path);
  ASSERT_NE(held.file, nullptr) << held.message;
  EXPECT_EQ(OpenForWriting(wide), INVALID_HANDLE_VALUE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  uint8_t byte = 0;
  EXPECT_EQ(held.file->ReadAt(99, {&byte, 1}), 1u) << "the lock lies beyond every read";
  EXPECT_EQ(byte, 7);
}

// Outputs and inputs far past MAX_PATH, and names in Chinese and Arabic:
// written, renamed into place, opened, and known as the same file by two
// spellings of the path.
TEST(WindowsPathTest, LongAndNonLatinPathsWorkThroughout) {
  TempDir dir;
  std::string folder = dir.path().string();
  std::wstring deep = L"\\\\?\\" + dir.path().wstring();
  for (int i = 0; i < 6; ++i) {
    const std::string part(50, static_cast<char>('a' + i));
    folder += "\\" + part;
    deep += L"\\" + std::wstring(part.begin(), part.end());
    ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr));
  }
  for (const std::string& name : {std::string("plain.mdf"), std::string("表 ملف.mdf")}) {
    const std::string path = folder + "\\" + name;
    ASSERT_GT(path.size(), 300u);
    CreateResult out = CreateOutputFile(path);
    ASSERT_NE(out.file, nullptr) << out.message;
    const uint8_t text[] = {'m', 'd', 'f'};
    ASSERT_TRUE(out.file->Write(text));
    ASSERT_TRUE(out.file->Commit()) << out.file->Error();
    OpenResult in = OpenReadOnlyExclusive(path);
    ASSERT_NE(in.file, nullptr) << in.message;
    EXPECT_EQ(in.file->Length(), 3u);
    std::string other = path;
    for (char& c : other)
      if (c == '\\') c = '/';
    EXPECT_TRUE(OutputIsInput(path, other));
    EXPECT_TRUE(IsOpenInput(other));
  }
}

// The drive letters are listed, each with a size.
TEST(WindowsDevicesTest, DriveLettersAreListed) {
  size_t letters = 0;
  for (const DiskEntry& disk : SystemBlockDevices()->ListDisks()) {
    for (const PartitionEntry& part : disk.partitions) letters += part.name.size() == 2;
    if (disk.volume) ++letters;
  }
  EXPECT_GT(letters, 0u);
}

}  // namespace
}  // namespace tollamer::platform
