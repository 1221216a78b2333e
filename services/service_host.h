// Addresses on the service host, which the build fixes (SONARO_SERVICE_HOST): "host[:port]",
// reached over http as it always was, or "https://host[:port]".
#pragma once

#include <string>
#include <string_view>

namespace sonaro::services {

struct Origin {
  std::string scheme;  // "http" or "https"
  std::string host;    // name or address, optionally with ":port"
};
// A build's host setting: a bare host is http; a scheme given is kept (lower case).
Origin ParseOrigin(std::string_view configured);

// The service host's name, optionally with ":port".
std::string ServiceHost();
// The service host's scheme + "://" + host + path.
std::string ServiceAddress(std::string_view path);
// The dedication page as the browser box is given it: on an http service host without a scheme,
// as a user would type it; on https with its scheme, so that nothing can turn it into http.
std::string DedicationPageAddress(std::string_view path);
// The help page's host (SONARO_HELP_HOST) + path, with its scheme.
std::string HelpAddress(std::string_view path);
// Tests point the program at their own server ("host[:port]" or with a scheme); an empty name
// brings the build's host back.
void OverrideServiceHostForTesting(std::string host);

}  // namespace sonaro::services
