// POSIX side of console.h: argv as given, isatty(3) and TIOCGWINSZ.
#include "platform/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace tollamer::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

size_t StandardErrorColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

uint64_t ProcessId() { return static_cast<uint64_t>(::getpid()); }

std::optional<FileIdentity> StandardOutputIdentity() {
  return IdentityOfDescriptor(STDOUT_FILENO);
}

std::optional<std::tm> LocalTimeOf(std::time_t t) {
  std::tm local{};
  if (!::localtime_r(&t, &local)) return std::nullopt;
  return local;
}

}  // namespace tollamer::platform
