// CMySaveFileDlg: asks for the existing folder the scripts go to. OK is
// accepted only when the path names an existing directory; the dialog never
// creates folders.
#pragma once

#include <QDialog>

class QLineEdit;

namespace tollamer::app {

class CMySaveFileDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kIdPath = 1051, kIdBrowse = 1052;

  explicit CMySaveFileDlg(QWidget* parent = nullptr);
  QString path() const { return path_; }
  QLineEdit* pathEdit() const { return edit_; }

  void accept() override;

  // For tests: the browse button's folder choice (empty = closed without one).
  void SetBrowseAnswerForTests(std::function<QString()> answer) { browse_ = std::move(answer); }
  // For tests: how the "路径不存在！" message is shown.
  void SetMessageSinkForTests(std::function<void(const QString&)> sink) { message_ = std::move(sink); }

 private:
  void Browse();

  QLineEdit* edit_;
  QString path_;
  std::function<QString()> browse_;
  std::function<void(const QString&)> message_;
};

}  // namespace tollamer::app
