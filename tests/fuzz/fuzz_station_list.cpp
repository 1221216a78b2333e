// Fuzzes the reader of the listener's M3U and PLS files.
//
// Input: a file as a user might import it. The reader must not crash, must keep to its cap,
// give only stream addresses with names fit for one line, count every entry once, and give
// back the same list from what the writer makes of it.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "collection/station_list.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sonaro::collection;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const ReadResult read = ReadStationList(bytes);
  Check(read.stations.size() <= kMaxKeptStations);
  for (const KeptStation& station : read.stations) {
    Check(!station.name.empty() && station.name.size() <= kMaxNameBytes);
    Check(station.name.find_first_of("\r\n\t") == std::string::npos);
    Check(StreamAddress(station.address) == station.address);
  }
  // Kept stations are left out as duplicates.
  const ReadResult again = ReadStationList(bytes, read.stations);
  Check(again.stations.empty());

  for (ListFileType type : {ListFileType::kM3u, ListFileType::kPls}) {
    const ReadResult back = ReadStationList(WriteStationList(read.stations, type));
    Check(back.stations == read.stations);
  }
  return 0;
}
