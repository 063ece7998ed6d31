// CoutputDatatDlg: the caption-less wait dialog shown while the all-tables
// scan runs. It has no buttons; the worker closes it.
#pragma once

#include <QDialog>

class QLabel;

namespace tollamer::app {

class CoutputDatatDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kIdText = 1069;
  explicit CoutputDatatDlg(QWidget* parent = nullptr);
  void SetText(const QString& text);
  QString text() const;

 protected:
  void reject() override {}  // Escape does not close it

 private:
  QLabel* label_;
};

}  // namespace tollamer::app
