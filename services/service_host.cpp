#include "services/service_host.h"

#include "sonaro_config.h"

namespace sonaro::services {

namespace {
std::string& Override() {
  static std::string host;
  return host;
}
}  // namespace

std::string ServiceHost() { return Override().empty() ? config::kServiceHost : Override(); }

std::string ServiceAddress(std::string_view path) {
  return "http://" + ServiceHost() + std::string(path);
}

std::string HelpAddress(std::string_view path) {
  return std::string("http://") + config::kHelpHost + std::string(path);
}

void OverrideServiceHostForTesting(std::string host) { Override() = std::move(host); }

}  // namespace sonaro::services
