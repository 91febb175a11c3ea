// pi-lookup: the desktop program. It reads no command line, environment
// setting or file of its own; the service's address and the profile page are
// built in.
#include <QApplication>

#include "app/app_config.h"
#include "app/qt/fatal_box.h"
#include "app/qt/main_window.h"
#include "web/fetch_page.h"

int main(int, char** argv) {
  // Qt is handed the program's name only, so that no argument is read.
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QApplication app(qt_argc, qt_argv);
  pl::InstallFatalBox();

  pl::WindowServices services;
  services.fetch = [](const pl::Text& url) { return pl::FetchPage(url); };
  services.base_address = pl::kServiceBaseAddress;
  services.open_address = pl::OpenInBrowser;
  services.profile_address = pl::kProfileAddress;
  pl::MainWindow window(std::move(services));
  window.ShowCentred();
  return app.exec();
}
