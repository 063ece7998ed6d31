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

constexpr size_t kSlots = 64;
constexpr size_t kPathUnits = 4096;
constexpr UINT kExitInterrupt = 130;  // 128 + SIGINT
constexpr UINT kExitClosed = 129;     // 128 + SIGHUP

enum SlotState : int { kFree = 0, kFilling = 1, kReady = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  wchar_t path[kPathUnits];
};

std::array<Slot, kSlots>& Slots() {
  static std::array<Slot, kSlots> slots;
  return slots;
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
  std::array<Slot, kSlots>& slots = Slots();
  for (size_t i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slots[i].path, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    slots[i].state.store(kReady);
    return static_cast<int>(i);
  }
  return kNoPendingSlot;
}

void ReleasePendingOutput(int slot) {
  if (slot < 0 || static_cast<size_t>(slot) >= kSlots) return;
  Slots()[static_cast<size_t>(slot)].state.store(kFree);
}

void RemovePendingOutputs() noexcept {
  for (Slot& slot : Slots())
    if (slot.state.load() == kReady) ::DeleteFileW(slot.path);
}

void RemovePendingOutputsOnSignal() {
  Slots();  // made before any handler can run
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace tollamer::platform
