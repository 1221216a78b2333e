#include "radio/handlers.h"

namespace sonaro::radio {

// Tuning arrives with the player; until then selecting a station does nothing.
void OnStationSelected(const ui::Event&) {}

// The knob's own drag handling arrives with the system-volume unit.
void OnVolumeKnobDown(const ui::Event&) {}
void OnVolumeKnobUp(const ui::Event&) {}
void OnVolumeKnobMove(const ui::Event&) {}

}  // namespace sonaro::radio
