#include "app/progress_dialog2.h"

#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tollamer::app {

CProgressDLG2::CProgressDLG2(std::atomic<bool>& running, QWidget* parent)
    : QDialog(parent), running_(running) {
  setObjectName("183");
  setWindowTitle("Tollamer");
  setModal(true);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QString::number(kIdProgress));
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(true);
  bar_->setFormat("%p%");
  bar_->setAlignment(Qt::AlignCenter);
  bar_->setMinimumWidth(320);
  stop_ = new QPushButton(QString::fromUtf8("停止"), this);
  stop_->setObjectName(QString::number(kIdStop));
  stop_->setAutoDefault(false);
  stop_->setDefault(false);
  connect(stop_, &QPushButton::clicked, this, &CProgressDLG2::Stop);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(bar_);
  layout->addWidget(stop_, 0, Qt::AlignHCenter);
}

void CProgressDLG2::SetPercent(int percent) {
  if (percent < 0) {
    bar_->setRange(0, 0);
    return;
  }
  if (bar_->maximum() == 0) bar_->setRange(0, 100);
  bar_->setValue(percent);
}

void CProgressDLG2::Finish() { CloseNow(); }

void CProgressDLG2::Stop() {
  stopped_by_user_ = true;
  CloseNow();
}

void CProgressDLG2::CloseNow() {
  running_ = false;
  QDialog::done(QDialog::Accepted);
}

void CProgressDLG2::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: event->accept(); return;
    default: QDialog::keyPressEvent(event);
  }
}

void CProgressDLG2::reject() {}

}  // namespace tollamer::app
