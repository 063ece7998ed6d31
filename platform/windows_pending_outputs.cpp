// Windows side of pending_outputs.h: the temporaries' wide paths in a fixed
// table, removed by the console control handler on Ctrl-C, Ctrl-Break and
// the console window's close, which then ends the process as the POSIX
// signal handlers do (130 for Ctrl-C and Ctrl-Break, 129 for a close).
#include <array>
#include <atomic>
#include <cstring>

#include "platform/pending_outputs.h"
#include "platform/windows_paths.h"

namespace tollamer::platform {

namespace {

// Room for the outputs of a walk over many tables, which keeps a few
// hundred open at once.
constexpr size_t kSlots = 1024;
constexpr size_t kPathUnits = 4096;
constexpr UINT kExitInterrupt = 130;  // 128 + SIGINT
constexpr UINT kExitClosed = 129;     // 128 + SIGHUP

enum SlotState : int { kFree = 0, kFilling = 1, kReady = 2 };

// The slots' states apart from their paths, so that a removal reads only
// the states' pages and the paths of the slots in use.
struct SlotTable {
  std::array<std::atomic<int>, kSlots> states{};
  wchar_t paths[kSlots][kPathUnits];
};

SlotTable& Table() {
  static SlotTable table;
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
  if (wide.size() >= kPathUnits) return kNoPendingSlot;
  SlotTable& table = Table();
  for (size_t i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!table.states[i].compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(table.paths[i], wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    table.states[i].store(kReady);
    return static_cast<int>(i);
  }
  return kNoPendingSlot;
}

void ReleasePendingOutput(int slot) {
  if (slot < 0 || static_cast<size_t>(slot) >= kSlots) return;
  Table().states[static_cast<size_t>(slot)].store(kFree);
}

void RemovePendingOutputs() noexcept {
  SlotTable& table = Table();
  for (size_t i = 0; i < kSlots; ++i)
    if (table.states[i].load() == kReady) ::DeleteFileW(table.paths[i]);
}

void RemovePendingOutputsOnSignal() {
  Table();  // made before any handler can run
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace tollamer::platform
