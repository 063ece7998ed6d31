#include "platform/pending_outputs.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>

namespace tollamer::platform {

namespace {

// Room for the outputs of a walk over many tables, which keeps a few
// hundred open at once.
constexpr size_t kSlots = 1024;
constexpr size_t kPathBytes = 4096;

enum SlotState : int { kFree = 0, kFilling = 1, kReady = 2 };

// The slots' states apart from their paths, so that a removal reads only
// the states' pages and the paths of the slots in use.
struct SlotTable {
  std::array<std::atomic<int>, kSlots> states{};
  char paths[kSlots][kPathBytes];
};

SlotTable& Table() {
  static SlotTable table;
  return table;
}

extern "C" void OnInterrupt(int signal_number) {
  RemovePendingOutputs();
  ::_exit(128 + signal_number);
}

}  // namespace

int RegisterPendingOutput(const std::string& path) {
  if (path.size() >= kPathBytes) return kNoPendingSlot;
  SlotTable& table = Table();
  for (size_t i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!table.states[i].compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(table.paths[i], path.c_str(), path.size() + 1);
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
    if (table.states[i].load() == kReady) ::unlink(table.paths[i]);
}

void RemovePendingOutputsOnSignal() {
  Table();  // made before any handler can run
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
}

}  // namespace tollamer::platform
