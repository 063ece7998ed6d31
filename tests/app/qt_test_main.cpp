// GoogleTest main for the desktop program's tests: one QApplication on the
// offscreen platform for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setOrganizationName("KVT Datarecovery software-tests");
  return RUN_ALL_TESTS();
}
