// The one worker thread of a tool dialog: started for one operation and
// ending with it. The work itself posts its results to the dialog (queued
// calls with the dialog as context, so that nothing arrives after the
// dialog is gone); the dialog waits for the thread before it goes.
#pragma once

#include <functional>

class QThread;

namespace tollamer::app {

class ToolWorker {
 public:
  ToolWorker() = default;
  ~ToolWorker() { Wait(); }
  ToolWorker(const ToolWorker&) = delete;
  ToolWorker& operator=(const ToolWorker&) = delete;

  // Starts `work` on a new thread (above normal priority when asked);
  // false (nothing started) while a previous work still runs.
  bool Start(std::function<void()> work, bool above_normal = false);
  bool Running() const;
  // Waits for the thread to end and releases it.
  void Wait();

 private:
  QThread* thread_ = nullptr;
};

}  // namespace tollamer::app
