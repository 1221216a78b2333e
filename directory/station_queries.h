// What each row of the built-in list is called in the public directory today: the name it
// broadcasts under (with its city, for the rows the tree names only by programme), its country
// or region and its language. Rows whose station is off the air have none: nothing is guessed
// for them.
#pragma once

#include <cstddef>

#include "directory/stations.h"

namespace sonaro::directory {

// The query of the row at index (0-based, as in the station table); null for a station off
// the air or an index out of range.
const StationQuery* QueryForRow(size_t index);

}  // namespace sonaro::directory
