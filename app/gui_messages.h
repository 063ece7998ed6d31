// Engine messages as message boxes. Callable from any thread: a call from a
// worker waits while the user-interface thread shows the box.
#pragma once

#include <QObject>
#include <QWidget>

#include "engine/pagestore/engine_messages.h"

namespace tollamer::app {

class GuiMessages final : public QObject, public EngineMessages {
  Q_OBJECT
 public:
  explicit GuiMessages(QWidget* parent_window) : parent_(parent_window) {}
  void ShowStop(std::string_view text) override;
  void Notify(EngineNotice notice) override;
  bool Ask(EngineQuestion question) override;

 private:
  QWidget* parent_;
};

}  // namespace tollamer::app
