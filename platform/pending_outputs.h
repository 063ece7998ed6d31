// Temporaries of outputs still being written, kept where a signal handler
// can reach them: an interrupted run removes them instead of leaving
// ".part-" files beside its outputs. A fixed table of paths, filled and
// emptied with atomic slot states, so that removal needs no lock and no
// allocation (only unlink, which is async-signal-safe).
#pragma once

#include <string>

namespace tollamer::platform {

inline constexpr int kNoPendingSlot = -1;

// Records `path` as a temporary to remove on interruption. kNoPendingSlot
// when the table is full or the path too long (the temporary is then only
// removed by its writer).
int RegisterPendingOutput(const std::string& path);
// The temporary was renamed into place or removed by its writer.
void ReleasePendingOutput(int slot);
// Unlinks every recorded temporary. Async-signal-safe.
void RemovePendingOutputs() noexcept;

// Installs SIGINT, SIGTERM and SIGHUP handlers that remove the recorded
// temporaries and end the process with 128 + the signal number.
void RemovePendingOutputsOnSignal();

}  // namespace tollamer::platform
