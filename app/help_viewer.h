// CHelpViewer: the help page, shown inside the program (F1). A machine
// without a browser still gets its help.
#pragma once

#include <QDialog>

class QTextBrowser;

namespace tollamer::app {

class CHelpViewer : public QDialog {
  Q_OBJECT
 public:
  explicit CHelpViewer(QWidget* parent = nullptr);
  // Shows the page at `path`, or says that it is missing.
  void ShowPage(const QString& path);

 private:
  QTextBrowser* browser_;
};

}  // namespace tollamer::app
