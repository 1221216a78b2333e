// Addresses on the service host, which the build fixes (SONARO_SERVICE_HOST).
#pragma once

#include <string>
#include <string_view>

namespace sonaro::services {

// The service host's name, optionally with ":port".
std::string ServiceHost();
// "http://" + the service host + path.
std::string ServiceAddress(std::string_view path);
// "http://" + the help page's host (SONARO_HELP_HOST) + path.
std::string HelpAddress(std::string_view path);
// Tests point the program at their own server; an empty name brings the build's host back.
void OverrideServiceHostForTesting(std::string host);

}  // namespace sonaro::services
