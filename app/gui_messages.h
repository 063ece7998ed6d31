// Engine messages as message boxes. Callable from any thread: a call from a
// worker waits while the user-interface thread shows the box; only the notice
// that announces a long scan lets the worker go on meanwhile.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
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
  // The work that the notices still up announced has ended: they say so.
  void EndNotices();

 private:
  void ShowNotice(const QString& message);

  QWidget* parent_;
  QList<QPointer<QMessageBox>> notices_;
};

}  // namespace tollamer::app
