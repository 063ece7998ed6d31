// CTollamerApp: starts the desktop program. A file named on the command line
// is opened at start.
#include <QApplication>
#include <QStringList>

#include "app/app_services.h"
#include "app/main_frame.h"
#include "app/standard_texts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tollamer::app::StandardTextsTranslator standard_texts;
  QApplication::installTranslator(&standard_texts);
  QApplication::setOrganizationName("KVT Datarecovery software");
  QApplication::setApplicationName("Tollamer");
  tollamer::app::CMainFrame frame(tollamer::app::DefaultCatalogBuilder(),
                                  tollamer::app::DefaultTableReader());
  frame.show();
  QStringList args = app.arguments();
  if (args.size() > 1) frame.OpenFile(args[1]);
  return app.exec();
}
