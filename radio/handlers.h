// Event handlers of the radio subsystem, bound in the window catalogue.
#pragma once

#include "ui/event.h"

namespace sonaro::radio {

// Station panel's tree: the selection changed.
void OnStationSelected(const ui::Event& event);

// The volume knob's left-button press, release and pointer moves.
void OnVolumeKnobDown(const ui::Event& event);
void OnVolumeKnobUp(const ui::Event& event);
void OnVolumeKnobMove(const ui::Event& event);

}  // namespace sonaro::radio
