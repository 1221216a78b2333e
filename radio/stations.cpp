#include "radio/stations.h"

#include "radio/station_hosts.h"

namespace sonaro::radio {

std::string_view ServerHost(int server) {
  if (server < 1 || server > kServerCount) return {};
  return kStationHosts[size_t(server - 1)];
}

Text StreamAddress(const StationRow& row) {
  Text address = row.scheme == Scheme::Mms ? "mms://" : "http://";
  address += ServerHost(row.server);
  if (row.port != 0) address += ":" + std::to_string(row.port);
  address += GbkFromUtf8(row.path);
  return address;
}

const std::array<Station, kStationCount>& Stations() {
  static const std::array<Station, kStationCount> stations = [] {
    std::array<Station, kStationCount> result;
    for (size_t i = 0; i < kStationCount; ++i) {
      const StationRow& row = kStationTable[i];
      result[i] = Station{GbkFromUtf8(row.label), GbkFromUtf8(row.displayName), StreamAddress(row)};
    }
    return result;
  }();
  return stations;
}

const Station* FindStation(std::string_view gbkLabel) {
  for (const Station& station : Stations()) {
    if (station.label == gbkLabel) return &station;
  }
  return nullptr;
}

}  // namespace sonaro::radio
