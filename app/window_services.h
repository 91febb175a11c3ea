// window_services.h: what a window back end is handed from outside, the same
// for every toolkit.
//
//   pl::MainWindow window(pl::ProgramServices(pl::OpenInBrowser));
//
// Tests build their own WindowServices with a canned fetch and base address.
#pragma once

#include <functional>

#include "app/lookup.h"
#include "text/text.h"

namespace pl {

struct WindowServices {
  FetchFunction fetch;
  Text base_address;
  std::function<void(const Text&)> open_address;  // 按钮3; its failure is silent
  Text profile_address;
};

// The program's own services: FetchPage, the service's base address and the
// profile page built in at configure time, and the back end's way to open an
// address in the browser.
WindowServices ProgramServices(std::function<void(const Text&)> open_address);

}  // namespace pl
