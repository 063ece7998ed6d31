#include "app/data_transfer_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tollamer::app {

namespace {
QString U(const char* s) { return QString::fromUtf8(s); }
}  // namespace

CDataTransferDlg::CDataTransferDlg(bool import, QWidget* parent) : QDialog(parent), import_(import) {
  setWindowTitle(import ? U("把表导入数据库") : U("导出表数据"));
  first_ = new QRadioButton(import ? U("SQLite 数据库文件") : U("CSV 文件"), this);
  second_ = new QRadioButton(import ? U("PostgreSQL 数据库") : U("SQL 脚本 (INSERT)"), this);
  first_->setChecked(true);
  path_ = new QLineEdit(this);
  path_->setMinimumWidth(320);
  connection_ = new QLineEdit(this);
  connection_->setPlaceholderText("postgresql://user@localhost/dbname");
  connection_->setVisible(import);
  auto* browse = new QPushButton(">", this);
  connect(browse, &QPushButton::clicked, this, &CDataTransferDlg::Browse);
  auto* ok = new QPushButton(U("确定"), this);
  ok->setDefault(true);
  auto* cancel = new QPushButton(U("取消"), this);
  connect(ok, &QPushButton::clicked, this, &CDataTransferDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CDataTransferDlg::reject);

  auto* path_row = new QHBoxLayout;
  path_row->addWidget(path_, 1);
  path_row->addWidget(browse);
  auto* form = new QFormLayout;
  form->addRow(first_);
  form->addRow(import ? U("数据库文件:") : U("输出路径:"), path_row);
  form->addRow(second_);
  if (import) form->addRow(U("连接字符串:"), connection_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
}

void CDataTransferDlg::Browse() {
  QString chosen = import_ ? QFileDialog::getSaveFileName(this, U("数据库文件"), path_->text(),
                                                          "SQLite (*.sqlite *.db);;All Files (*)")
                           : QFileDialog::getExistingDirectory(this, U("请选择存储路径"));
  if (!chosen.isEmpty()) path_->setText(chosen);
}

void CDataTransferDlg::accept() {
  DataTransferChoice c;
  c.import = import_;
  if (!import_) {
    c.format = first_->isChecked() ? DataFormat::kCsv : DataFormat::kSql;
    if (!QFileInfo(path_->text()).isDir()) {
      QMessageBox::warning(this, "Tollamer", U("路径不存在！"));
      return;
    }
    c.folder = path_->text().toStdString();
  } else if (first_->isChecked()) {
    if (path_->text().isEmpty()) return;
    c.target = "sqlite:" + path_->text().toStdString();
  } else {
    if (connection_->text().isEmpty()) return;
    c.target = connection_->text().toStdString();
  }
  choice_ = c;
  QDialog::accept();
}

}  // namespace tollamer::app
