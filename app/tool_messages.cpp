#include "app/tool_messages.h"

#include <QMessageBox>

#include "app/engine_texts.h"

namespace tollamer::app {

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void DeferredMessages::ShowStop(std::string_view text) {
  std::lock_guard<std::mutex> lock(mutex_);
  stops_.emplace_back(text);
}

void DeferredMessages::Notify(EngineNotice notice) { ShowStop(NoticeText(notice)); }

bool DeferredMessages::Ask(EngineQuestion) { return answer_; }

void DeferredMessages::ForwardTo(EngineMessages& target) {
  std::vector<std::string> stops;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stops.swap(stops_);
  }
  for (const std::string& s : stops) target.ShowStop(s);
}

bool DeferredMessages::Empty() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stops_.empty();
}

void ToolMessageBoxes::ShowStop(std::string_view text) {
  QString message = Text(text);
  if (text == NoticeText(EngineNotice::kFileOpenFailed))
    QMessageBox::critical(parent_, QString::fromUtf8("错误！"), message);
  else if (message.contains(QString::fromUtf8("失败")) || message.contains(QString::fromUtf8("错误")) ||
           message.contains("err", Qt::CaseInsensitive) || message.contains(QString::fromUtf8("不能")))
    QMessageBox::warning(parent_, "Tollamer", message);
  else
    QMessageBox::information(parent_, "Tollamer", message);
}

void ToolMessageBoxes::Notify(EngineNotice notice) { ShowStop(NoticeText(notice)); }

bool ToolMessageBoxes::Ask(EngineQuestion question) {
  return QMessageBox::question(parent_, "Tollamer", Text(QuestionText(question)),
                               QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

}  // namespace tollamer::app
