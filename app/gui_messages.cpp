#include "app/gui_messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "app/engine_texts.h"

namespace tollamer::app {

namespace {

// Runs `f` on the user-interface thread and waits for it.
template <typename F>
void OnUiThread(QObject* context, F f) {
  if (QThread::currentThread() == context->thread())
    f();
  else
    QMetaObject::invokeMethod(context, f, Qt::BlockingQueuedConnection);
}

}  // namespace

void GuiMessages::ShowStop(std::string_view text) {
  QString message = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
  OnUiThread(this, [&] { QMessageBox::warning(parent_, "Tollamer", message); });
}

void GuiMessages::Notify(EngineNotice notice) { ShowStop(NoticeText(notice)); }

bool GuiMessages::Ask(EngineQuestion question) {
  QString message = QString::fromUtf8(QuestionText(question));
  bool ok = false;
  OnUiThread(this, [&] {
    ok = QMessageBox::question(parent_, "Tollamer", message,
                               QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
  });
  return ok;
}

}  // namespace tollamer::app
