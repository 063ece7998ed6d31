// CFindTableDlg: the modeless "查找" dialog. Find next walks the siblings
// after the current item and selects the first whose text contains the
// search text (case-sensitive); it does not descend or wrap around.
#pragma once

#include <QDialog>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace tollamer::app {

class CFindTableDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kIdText = 1070, kIdFindNext = 1071;

  CFindTableDlg(QTreeWidget* tree, QWidget* parent = nullptr);
  // The item the next search starts after (may be null: nothing is found).
  void SetStartItem(QTreeWidgetItem* item) { current_ = item; }
  QLineEdit* textEdit() const { return edit_; }
  void FindNext();

 private:
  QTreeWidget* tree_;
  QTreeWidgetItem* current_ = nullptr;
  QLineEdit* edit_;
};

}  // namespace tollamer::app
