#include "core/station_table.h"

#include "core/station_hosts.h"

namespace sonaro::core {

std::string_view ServerHost(int server) {
  if (server < 1 || server > kServerCount) return {};
  return kStationHosts[size_t(server - 1)];
}

// Appended piece by piece: GCC 12 at -O3 sees a false overlap in "literal" + std::string.
std::string StreamAddress(const StationRow& row, std::string_view host) {
  const std::string_view scheme = row.scheme == Scheme::Mms ? "mms://" : "http://";
  const std::string port = row.port != 0 ? std::to_string(row.port) : std::string();
  const std::string_view path = row.path;
  std::string address;
  address.reserve(scheme.size() + host.size() + 1 + port.size() + path.size());
  address.append(scheme).append(host);
  if (!port.empty()) address.append(1, ':').append(port);
  address.append(path);
  return address;
}

std::string StreamAddress(const StationRow& row) {
  return StreamAddress(row, ServerHost(row.server));
}

}  // namespace sonaro::core
