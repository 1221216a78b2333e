// The Station panel's volume knob: a slider over the volume scale whose position is the system
// volume. Position 40 is silence; the knob's own handlers keep it within 40..107.
#pragma once

namespace sonaro::radio {

// The panel creation's volume part: builds the slider at value 50, places the knob from the
// system volume (or warns that the mixer cannot be opened).
void SetUpVolumeKnob();

// Mixer value for a knob position, and the position the knob shows for a read volume.
long VolumeForKnob(int knobLeft);
int KnobForVolume(long left, long right);

}  // namespace sonaro::radio
