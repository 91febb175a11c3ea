#include "app/window_services.h"

#include <utility>

#include "app/app_config.h"
#include "web/fetch_page.h"

namespace pl {

WindowServices ProgramServices(std::function<void(const Text&)> open_address) {
  WindowServices services;
  services.fetch = [](const Text& url) { return FetchPage(url); };
  services.base_address = kServiceBaseAddress;
  services.open_address = std::move(open_address);
  services.profile_address = kProfileAddress;
  return services;
}

}  // namespace pl
