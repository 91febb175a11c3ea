// pi-lookup: the desktop program. It reads no command line, environment
// setting or file of its own; the service's address and the profile page are
// built in.
#include <QApplication>

#include "app/qt/fatal_box.h"
#include "app/qt/main_window.h"

int main(int, char** argv) {
  // Qt is handed the program's name only, so that no argument is read.
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QApplication app(qt_argc, qt_argv);
  pl::InstallFatalBox();

  pl::MainWindow window(pl::ProgramServices(pl::OpenInBrowser));
  window.ShowCentred();
  return app.exec();
}
