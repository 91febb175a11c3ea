// The main of the window tests: one QApplication for every test, on the
// offscreen platform unless the environment names another.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  // Death tests start the test program again rather than forking a process
  // that holds Qt's threads.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
