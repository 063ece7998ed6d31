#include "app/find_table_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace tollamer::app {

CFindTableDlg::CFindTableDlg(QTreeWidget* tree, QWidget* parent) : QDialog(parent), tree_(tree) {
  setWindowTitle(QString::fromUtf8("查找"));
  setModal(false);
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QString::number(kIdText));
  auto* next = new QPushButton(QString::fromUtf8("查找下一个"), this);
  next->setObjectName(QString::number(kIdFindNext));
  next->setDefault(true);
  connect(next, &QPushButton::clicked, this, &CFindTableDlg::FindNext);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromUtf8("查找内容:"), this));
  layout->addWidget(edit_, 1);
  layout->addWidget(next);
}

void CFindTableDlg::FindNext() {
  QString text = edit_->text();
  if (current_) {
    QTreeWidgetItem* parent = current_->parent();
    int index = parent ? parent->indexOfChild(current_) : tree_->indexOfTopLevelItem(current_);
    int count = parent ? parent->childCount() : tree_->topLevelItemCount();
    for (int i = index + 1; i < count; ++i) {
      QTreeWidgetItem* sibling = parent ? parent->child(i) : tree_->topLevelItem(i);
      if (sibling->text(0).contains(text, Qt::CaseSensitive)) {
        current_ = sibling;
        break;
      }
    }
    tree_->setCurrentItem(current_);
  }
  if (parentWidget()) parentWidget()->setFocus();
}

}  // namespace tollamer::app
