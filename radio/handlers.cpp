#include "radio/handlers.h"

namespace sonaro::radio {

// Tuning arrives with the player; until then selecting a station does nothing.
void OnStationSelected(const ui::Event&) {}

// The volume knob's handlers are in volume_knob.cpp.

}  // namespace sonaro::radio
