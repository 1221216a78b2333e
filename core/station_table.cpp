#include "core/station_table.h"

#include "core/station_hosts.h"

namespace sonaro::core {

std::string_view ServerHost(int server) {
  if (server < 1 || server > kServerCount) return {};
  return kStationHosts[size_t(server - 1)];
}

std::string StreamAddress(const StationRow& row, std::string_view host) {
  std::string address = row.scheme == Scheme::Mms ? "mms://" : "http://";
  address += host;
  if (row.port != 0) address += ":" + std::to_string(row.port);
  address += row.path;
  return address;
}

std::string StreamAddress(const StationRow& row) {
  return StreamAddress(row, ServerHost(row.server));
}

}  // namespace sonaro::core
