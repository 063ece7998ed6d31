#include "app/output_data_dialog.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tollamer::app {

CoutputDatatDlg::CoutputDatatDlg(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setModal(false);
  label_ = new QLabel(QString::fromUtf8("正在导出数据请稍侯......"), this);
  label_->setObjectName(QString::number(kIdText));
  label_->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
  setFixedSize(280, 140);
}

void CoutputDatatDlg::SetText(const QString& text) { label_->setText(text); }
QString CoutputDatatDlg::text() const { return label_->text(); }

}  // namespace tollamer::app
