#include "platform/pending_outputs.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>

namespace tollamer::platform {

namespace {

constexpr size_t kSlots = 64;
constexpr size_t kPathBytes = 4096;

enum SlotState : int { kFree = 0, kFilling = 1, kReady = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  char path[kPathBytes];
};

std::array<Slot, kSlots>& Slots() {
  static std::array<Slot, kSlots> slots;
  return slots;
}

extern "C" void OnInterrupt(int signal_number) {
  RemovePendingOutputs();
  ::_exit(128 + signal_number);
}

}  // namespace

int RegisterPendingOutput(const std::string& path) {
  if (path.size() >= kPathBytes) return kNoPendingSlot;
  std::array<Slot, kSlots>& slots = Slots();
  for (size_t i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
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
    if (slot.state.load() == kReady) ::unlink(slot.path);
}

void RemovePendingOutputsOnSignal() {
  Slots();  // made before any handler can run
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
}

}  // namespace tollamer::platform
