// The fixed table behind pending_outputs.h on each platform: a slot per
// temporary being written, its state apart from its path, so that a
// removal (in a signal or console handler: no lock, no allocation) reads
// only the states' pages and the paths of the slots in use.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>

#include "platform/pending_outputs.h"

namespace tollamer::platform {

// `Char` paths of fewer than kPathUnits units, terminator included.
template <typename Char, size_t kPathUnits>
class PendingSlots {
 public:
  // Room for the outputs of a walk over many tables, which keeps a few
  // hundred open at once.
  static constexpr size_t kSlots = 1024;

  // A slot holding the `length` units at `path`, or kNoPendingSlot when the
  // path is too long or every slot is taken.
  int Take(const Char* path, size_t length) {
    if (length >= kPathUnits) return kNoPendingSlot;
    for (size_t i = 0; i < kSlots; ++i) {
      int expected = kFree;
      if (!states_[i].compare_exchange_strong(expected, kFilling)) continue;
      std::memcpy(paths_[i], path, length * sizeof(Char));
      paths_[i][length] = Char{0};
      states_[i].store(kReady);
      return static_cast<int>(i);
    }
    return kNoPendingSlot;
  }

  void Free(int slot) {
    if (slot >= 0 && static_cast<size_t>(slot) < kSlots) states_[static_cast<size_t>(slot)].store(kFree);
  }

  // remove(path) for every slot in use.
  template <typename Remove>
  void ForEachReady(Remove&& remove) noexcept {
    for (size_t i = 0; i < kSlots; ++i)
      if (states_[i].load() == kReady) remove(paths_[i]);
  }

 private:
  enum State : int { kFree = 0, kFilling = 1, kReady = 2 };
  std::array<std::atomic<int>, kSlots> states_{};
  Char paths_[kSlots][kPathUnits];
};

}  // namespace tollamer::platform
