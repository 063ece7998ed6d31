// Windows side of console.h: the wide command line, the console's UTF-8
// output code page, binary standard streams.
#include "platform/console.h"
#include "platform/windows_paths.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

namespace tollamer::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  ::SetConsoleOutputCP(CP_UTF8);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(Utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return args;
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

size_t StandardErrorColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return static_cast<size_t>(info.srWindow.Right - info.srWindow.Left + 1);
}

uint64_t ProcessId() { return ::GetCurrentProcessId(); }

std::optional<FileIdentity> StandardOutputIdentity() {
  return IdentityOfHandle(::GetStdHandle(STD_OUTPUT_HANDLE));
}

std::optional<std::tm> LocalTimeOf(std::time_t t) {
  std::tm local{};
  if (::localtime_s(&local, &t) != 0) return std::nullopt;
  return local;
}

}  // namespace tollamer::platform
