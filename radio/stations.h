// The built-in stations: the tree items of the Station panel and the Station table.
// Pure data and lookups; no Widgets.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "app/winsys/catalogue_types.h"
#include "services/core/gbk.h"

namespace sonaro::radio {

inline constexpr size_t kTreeItemCount = 119;
inline constexpr size_t kStationCount = 119;
inline constexpr int kServerCount = 50;

enum class Scheme { Mms, Http };

struct StationRow {
  const char* label;        // UTF-8 in the source
  const char* displayName;  // UTF-8 in the source
  Scheme scheme;
  int server;  // server key S1..S50
  int port;    // 0: none in the address
  const char* path;
};

extern const std::array<ui::TreeItem, kTreeItemCount> kTreeItems;
extern const std::array<StationRow, kStationCount> kStationTable;

// The host text behind server key S<server> (1..50), fixed at build time; may carry ":port".
std::string_view ServerHost(int server);

// A row in the program's own text: GBK label and display name, full stream address.
struct Station {
  Text label;
  Text displayName;
  Text address;  // scheme "://" host [":" port] path, in GBK
};

// Builds the stream address of a row with the configured hosts.
Text StreamAddress(const StationRow& row);

// The first row whose label equals the text byte for byte, or null. A category, the empty
// item and the tree items without a row find nothing.
const Station* FindStation(std::string_view gbkLabel);

// All rows converted, in table order.
const std::array<Station, kStationCount>& Stations();

}  // namespace sonaro::radio
