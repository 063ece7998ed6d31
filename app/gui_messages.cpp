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

void GuiMessages::Notify(EngineNotice notice) {
  QString message = QString::fromUtf8(NoticeText(notice));
  if (notice == EngineNotice::kSystemIndexDamaged) {
    // It announces a long scan: the worker goes on with it while the box
    // is up, instead of waiting for OK.
    QMetaObject::invokeMethod(this, [this, message] { ShowNotice(message); }, Qt::QueuedConnection);
    return;
  }
  OnUiThread(this, [&] { QMessageBox::warning(parent_, "Tollamer", message); });
}

void GuiMessages::ShowNotice(const QString& message) {
  auto* box = new QMessageBox(QMessageBox::Information, "Tollamer", message, QMessageBox::Ok, parent_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
  notices_.append(box);
}

void GuiMessages::EndNotices() {
  for (const QPointer<QMessageBox>& box : notices_)
    if (box) box->setText(box->text() + QString::fromUtf8("\n扫描已完成。"));
  notices_.clear();
}

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
