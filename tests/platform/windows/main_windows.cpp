// The platform tests' program for Windows. `--hold-for-writing PATH` keeps
// PATH open for writing, as another program would, until it is ended: the
// Wine stage runs tollamer-cli.exe against a file held that way.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--hold-for-writing") == 0) {
    HANDLE h = ::CreateFileW(std::filesystem::path(argv[2]).wstring().c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    std::printf("held\n");
    std::fflush(stdout);
    ::Sleep(INFINITE);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
