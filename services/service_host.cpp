#include "services/service_host.h"

#include <cctype>

#include "sonaro_config.h"

namespace sonaro::services {

namespace {
std::string& Override() {
  static std::string host;
  return host;
}

Origin Service() { return ParseOrigin(Override().empty() ? config::kServiceHost : Override()); }
}  // namespace

Origin ParseOrigin(std::string_view configured) {
  Origin origin{"http", std::string(configured)};
  const size_t separator = configured.find("://");
  if (separator != std::string_view::npos) {
    origin.scheme.clear();
    for (char c : configured.substr(0, separator)) {
      origin.scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    origin.host = configured.substr(separator + 3);
  }
  while (!origin.host.empty() && origin.host.back() == '/') origin.host.pop_back();
  return origin;
}

std::string ServiceHost() { return Service().host; }

std::string ServiceAddress(std::string_view path) {
  const Origin origin = Service();
  return origin.scheme + "://" + origin.host + std::string(path);
}

std::string DedicationPageAddress(std::string_view path) {
  const std::string configured = Override().empty() ? config::kServiceHost : Override();
  if (configured.find("://") == std::string::npos) return ServiceHost() + std::string(path);
  return ServiceAddress(path);
}

std::string HelpAddress(std::string_view path) {
  const Origin origin = ParseOrigin(config::kHelpHost);
  return origin.scheme + "://" + origin.host + std::string(path);
}

void OverrideServiceHostForTesting(std::string host) { Override() = std::move(host); }

}  // namespace sonaro::services
