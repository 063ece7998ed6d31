#include "app/tool_worker.h"

#include <QThread>

namespace tollamer::app {

bool ToolWorker::Start(std::function<void()> work, bool above_normal) {
  if (Running()) return false;
  Wait();
  thread_ = QThread::create(std::move(work));
  thread_->start(above_normal ? QThread::HighPriority : QThread::InheritPriority);
  return true;
}

bool ToolWorker::Running() const { return thread_ && !thread_->isFinished(); }

void ToolWorker::Wait() {
  if (!thread_) return;
  thread_->wait();
  delete thread_;
  thread_ = nullptr;
}

}  // namespace tollamer::app
