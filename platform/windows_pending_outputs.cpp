// Windows side of pending_outputs.h: the temporaries' wide paths in a fixed
// table, removed by the console control handler on Ctrl-C, Ctrl-Break and
// the console window's close, which then ends the process as the POSIX
// signal handlers do (130 for Ctrl-C and Ctrl-Break, 129 for a close).
#include "platform/pending_outputs.h"
#include "platform/pending_slots.h"
#include "platform/windows_paths.h"

namespace tollamer::platform {

namespace {

constexpr UINT kExitInterrupt = 130;  // 128 + SIGINT
constexpr UINT kExitClosed = 129;     // 128 + SIGHUP

using Slots = PendingSlots<wchar_t, 4096>;

Slots& Table() {
  static Slots table;
  return table;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      RemovePendingOutputs();
      ::ExitProcess(kExitInterrupt);
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      RemovePendingOutputs();
      ::ExitProcess(kExitClosed);
    default:
      return FALSE;
  }
}

}  // namespace

int RegisterPendingOutput(const std::string& path) {
  const std::wstring wide = WidePath(path);
  return Table().Take(wide.c_str(), wide.size());
}

void ReleasePendingOutput(int slot) { Table().Free(slot); }

void RemovePendingOutputs() noexcept {
  Table().ForEachReady([](const wchar_t* path) { ::DeleteFileW(path); });
}

void RemovePendingOutputsOnSignal() {
  Table();  // made before any handler can run
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace tollamer::platform
