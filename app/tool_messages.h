// Messages of the tool dialogs. A tool worker never shows a box itself: it
// records what the engine had to say (DeferredMessages), and the dialog
// hands it on from the user-interface thread once the worker has ended, so
// that the dialog can always wait for its worker without a deadlock.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/pagestore/engine_messages.h"

class QWidget;

namespace tollamer::app {

// Records stopping messages from any thread; questions get `answer`.
class DeferredMessages final : public EngineMessages {
 public:
  explicit DeferredMessages(bool answer = true) : answer_(answer) {}
  void ShowStop(std::string_view text) override;
  void Notify(EngineNotice notice) override;
  bool Ask(EngineQuestion question) override;
  // Shows everything recorded on `target` (in order) and forgets it.
  void ForwardTo(EngineMessages& target);
  bool Empty() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> stops_;
  bool answer_;
};

// Message boxes of the tools, on the user-interface thread only. "打开文件出错"
// is captioned "错误！" with the error icon; other failures get a warning box,
// reports (a conversion that went through) an information box.
class ToolMessageBoxes final : public EngineMessages {
 public:
  explicit ToolMessageBoxes(QWidget* parent) : parent_(parent) {}
  void ShowStop(std::string_view text) override;
  void Notify(EngineNotice notice) override;
  bool Ask(EngineQuestion question) override;

 private:
  QWidget* parent_;
};

}  // namespace tollamer::app
