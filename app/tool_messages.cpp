#include "app/tool_messages.h"

#include <QMessageBox>

#include "tools/file_detection.h"

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

bool DeferredMessages::AskOkCancel(std::string_view) { return answer_; }

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
  if (text == tools::kOpenFileErrorMessage)
    QMessageBox::critical(parent_, QString::fromUtf8(tools::kErrorCaption), message);
  else if (message.contains(QString::fromUtf8("失败")) || message.contains(QString::fromUtf8("错误")) ||
           message.contains("err", Qt::CaseInsensitive) || message.contains(QString::fromUtf8("不能")))
    QMessageBox::warning(parent_, "Tollamer", message);
  else
    QMessageBox::information(parent_, "Tollamer", message);
}

bool ToolMessageBoxes::AskOkCancel(std::string_view text) {
  return QMessageBox::question(parent_, "Tollamer", Text(text),
                               QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

}  // namespace tollamer::app
