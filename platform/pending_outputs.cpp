#include "platform/pending_outputs.h"

#include <signal.h>
#include <unistd.h>

#include "platform/pending_slots.h"

namespace tollamer::platform {

namespace {

using Slots = PendingSlots<char, 4096>;

Slots& Table() {
  static Slots table;
  return table;
}

extern "C" void OnInterrupt(int signal_number) {
  RemovePendingOutputs();
  ::_exit(128 + signal_number);
}

}  // namespace

int RegisterPendingOutput(const std::string& path) { return Table().Take(path.c_str(), path.size()); }

void ReleasePendingOutput(int slot) { Table().Free(slot); }

void RemovePendingOutputs() noexcept {
  Table().ForEachReady([](const char* path) { ::unlink(path); });
}

void RemovePendingOutputsOnSignal() {
  Table();  // made before any handler can run
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
}

}  // namespace tollamer::platform
