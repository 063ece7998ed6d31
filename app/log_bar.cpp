#include "app/log_bar.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace tollamer::app {

CLogBar::CLogBar(WorkLog& log, QWidget* parent) : QDockWidget("Tollamer", parent), log_(log) {
  setObjectName(QString::number(kIdBar));
  setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetClosable);
  edit_ = new QPlainTextEdit(this);
  edit_->setReadOnly(true);
  QFont font("NSimSun", 9);
  font.setStyleHint(QFont::TypeWriter);
  font.setFamilies({"新宋体", "NSimSun", "Noto Sans Mono CJK SC", "monospace"});
  edit_->setFont(font);
  setWidget(edit_);
  edit_->setPlainText(QString::fromStdString(log_.Text()).replace("\r\n", "\n"));
  log_.SetObserver([this](const WorkLogChange& change) {
    QMetaObject::invokeMethod(this, "Apply", Qt::QueuedConnection,
                              Q_ARG(int, static_cast<int>(change.kind)),
                              Q_ARG(QString, QString::fromStdString(change.text)));
  });
}

CLogBar::~CLogBar() { log_.SetObserver({}); }

void CLogBar::Apply(int kind, const QString& text) {
  QString shown = QString(text).replace("\r\n", "\n");
  if (kind == static_cast<int>(WorkLogChange::Kind::kReplaced)) {
    edit_->setPlainText(shown);
  } else {
    QTextCursor cursor = edit_->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
    edit_->setTextCursor(cursor);
  }
  edit_->ensureCursorVisible();
}

}  // namespace tollamer::app
