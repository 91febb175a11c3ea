// pi-lookup.exe: the desktop program on Windows. It reads no command line,
// environment setting or file of its own; the service's address and the
// profile page are built in.
#include "app/win32/fatal_box.h"
#include "app/win32/main_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  pl::InstallFatalBox();

  pl::MainWindow window(pl::ProgramServices(pl::OpenInBrowser));
  window.ShowCentred();
  return pl::RunMessageLoop(window);
}
