// The work log bar docked at the bottom of the main frame: a read-only,
// fixed-pitch view of the engine's work log. Changes reach it from any
// thread and are applied on the user-interface thread in order.
#pragma once

#include <QDockWidget>

#include "output/work_log.h"

class QPlainTextEdit;

namespace tollamer::app {

class CLogBar : public QDockWidget {
  Q_OBJECT
 public:
  static constexpr int kIdBar = 124;

  CLogBar(WorkLog& log, QWidget* parent = nullptr);
  ~CLogBar() override;
  QPlainTextEdit* edit() const { return edit_; }

 private slots:
  void Apply(int kind, const QString& text);

 private:
  WorkLog& log_;
  QPlainTextEdit* edit_;
};

}  // namespace tollamer::app
