#include "app/save_folder_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace tollamer::app {

CMySaveFileDlg::CMySaveFileDlg(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QString::number(kIdPath));
  edit_->setMinimumWidth(320);
  auto* browse = new QPushButton(">", this);
  browse->setObjectName(QString::number(kIdBrowse));
  browse->setFlat(true);
  auto* ok = new QPushButton(QString::fromUtf8("确定"), this);
  ok->setObjectName("1");
  ok->setDefault(true);
  auto* cancel = new QPushButton(QString::fromUtf8("取消"), this);
  cancel->setObjectName("2");
  connect(browse, &QPushButton::clicked, this, &CMySaveFileDlg::Browse);
  connect(ok, &QPushButton::clicked, this, &CMySaveFileDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CMySaveFileDlg::reject);

  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QString::fromUtf8("输出路径:"), this));
  row->addWidget(edit_, 1);
  row->addWidget(browse);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addLayout(buttons);
}

void CMySaveFileDlg::accept() {
  path_ = edit_->text();
  if (!path_.isEmpty() && QFileInfo(path_).isDir()) {
    QDialog::accept();
    return;
  }
  QString text = QString::fromUtf8("路径不存在！");
  if (message_)
    message_(text);
  else
    QMessageBox::warning(this, "Tollamer", text);
}

void CMySaveFileDlg::Browse() {
  QString chosen = browse_ ? browse_()
                           : QFileDialog::getExistingDirectory(
                                 this, QString::fromUtf8("请选择存储路径"), QString(),
                                 QFileDialog::ShowDirsOnly);
  // A folder chosen through the browser never ends in a separator; closing
  // the browser without a choice empties the field.
  while (chosen.size() > 1 && (chosen.endsWith('/') || chosen.endsWith('\\'))) chosen.chop(1);
  edit_->setText(QDir::toNativeSeparators(chosen));
}

}  // namespace tollamer::app
