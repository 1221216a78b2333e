#include "radio/stations.h"

namespace sonaro::radio {

const std::array<Station, core::kStationCount>& Stations() {
  static const std::array<Station, core::kStationCount> stations = [] {
    std::array<Station, core::kStationCount> result;
    for (size_t i = 0; i < core::kStationCount; ++i) {
      const core::StationRow& row = core::kStationTable[i];
      result[i] = Station{core::GbkFromUtf8(row.label), core::GbkFromUtf8(row.displayName),
                          core::GbkFromUtf8(core::StreamAddress(row))};
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
