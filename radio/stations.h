// The built-in stations as the player sees them: the Station panel's tree items and the station
// table's rows in the program's own text (GBK). No Widgets.
#pragma once

#include <array>
#include <string_view>

#include "core/gbk.h"
#include "core/station_table.h"
#include "ui/catalogue_types.h"

namespace sonaro::radio {

inline constexpr size_t kTreeItemCount = 119;

extern const std::array<ui::TreeItem, kTreeItemCount> kTreeItems;

// A row in the program's own text: GBK label and display name, full stream address.
struct Station {
  core::Text label;
  core::Text displayName;
  core::Text address;  // scheme "://" host [":" port] path, in GBK
};

// The first row whose label equals the text byte for byte, or null. A category, the empty
// item and the tree items without a row find nothing.
const Station* FindStation(std::string_view gbkLabel);

// All rows converted, in table order.
const std::array<Station, core::kStationCount>& Stations();

}  // namespace sonaro::radio
