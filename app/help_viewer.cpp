#include "app/help_viewer.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace tollamer::app {

CHelpViewer::CHelpViewer(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8("帮助"));
  browser_ = new QTextBrowser(this);
  browser_->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  resize(760, 560);
}

void CHelpViewer::ShowPage(const QString& path) {
  if (!QFileInfo(path).isFile()) {
    QMessageBox::warning(parentWidget(), "Tollamer", QString::fromUtf8("帮助文件不存在：") + path);
    return;
  }
  browser_->setSource(QUrl::fromLocalFile(path));
  show();
  raise();
  activateWindow();
}

}  // namespace tollamer::app
