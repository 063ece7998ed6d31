// The platform tests' program for Windows. `--hold-for-writing PATH` keeps
// PATH open for writing, as another program would, until it is ended: the
// Wine stage runs tollamer-cli.exe against a file held that way.
// `--write-until-interrupted PATH` writes PATH's temporary and waits: Ctrl-C
// (under Wine, SIGINT) must end it with 130 and leave no temporary behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/file.h"
#include "platform/pending_outputs.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--hold-for-writing") == 0) {
    HANDLE h = ::CreateFileW(std::filesystem::path(argv[2]).wstring().c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    std::printf("held\n");
    std::fflush(stdout);
    ::Sleep(INFINITE);
  }
  if (argc == 3 && std::strcmp(argv[1], "--write-until-interrupted") == 0) {
    tollamer::platform::RemovePendingOutputsOnSignal();
    tollamer::platform::CreateResult out = tollamer::platform::CreateOutputFile(argv[2]);
    const uint8_t bytes[] = {'p', 'a', 'r', 't'};
    if (!out.file || !out.file->Write(bytes)) return 1;
    std::printf("writing\n");
    std::fflush(stdout);
    ::Sleep(30000);
    std::_Exit(2);  // not interrupted: the temporary stays
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
