// pi-lookup.exe: the desktop program on Windows. It reads no command line,
// environment setting or file of its own; the service's address and the
// profile page are built in.
#include "app/app_config.h"
#include "app/win32/fatal_box.h"
#include "app/win32/main_window.h"
#include "web/fetch_page.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  pl::InstallFatalBox();

  pl::WindowServices services;
  services.fetch = [](const pl::Text& url) { return pl::FetchPage(url); };
  services.base_address = pl::kServiceBaseAddress;
  services.open_address = pl::OpenInBrowser;
  services.profile_address = pl::kProfileAddress;
  pl::MainWindow window(std::move(services));
  window.ShowCentred();
  return pl::RunMessageLoop(window);
}
