#include "radio/volume_knob.h"

#include <cmath>

#include "radio/handlers.h"
#include "radio/volume.h"
#include "skin/slider_bar.h"
#include "ui/facilities.h"
#include "ui/ids.h"
#include "ui/window_system.h"

namespace sonaro::radio {

namespace {

constexpr int kSilent = 40;     // knob left at volume 0
constexpr int kLoudest = 107;   // the knob's own handlers stop here
constexpr int kFarRight = 184;  // pointer this far right of the knob changes nothing

bool g_dragging = false;
int g_pressX = 0;

void WarnNoMixer() {
  ui::MessageBox(core::GbkFromUtf8("系统音量打开失败!,您可能听不到声音!"), ui::kMbIconWarning);
}

int KnobLeft() { return ui::GetInt(ids::kStationPanel, ids::panel::kVolumeKnob, ui::prop::kLeft); }
void SetKnobLeft(int left) {
  ui::SetInt(ids::kStationPanel, ids::panel::kVolumeKnob, ui::prop::kLeft, left);
}

// The slider's own events play no part in the volume.
void Ignore(QWidget*, const QMouseEvent*) {}

}  // namespace

long VolumeForKnob(int knobLeft) { return std::lround((knobLeft - kSilent) * 963.75); }

int KnobForVolume(long left, long right) {
  return kSilent + int(std::floor(double(left + right) / 1927.5));
}

void SetUpVolumeKnob() {
  const skin::ControlRef knob{ids::kStationPanel, ids::panel::kVolumeKnob};
  const skin::ControlRef track{ids::kStationPanel, ids::panel::kVolumeTrack};
  const skin::ControlRef fill{ids::kStationPanel, ids::panel::kVolumeFill};
  skin::SliderBar::Build(knob, track, fill, 1, 100, 50, false);
  skin::SliderBar::SetSliderHandlers(
      {&Ignore, &Ignore, &Ignore, &Ignore, &Ignore, &Ignore, &Ignore});

  std::unique_ptr<SystemVolume> volume = MakeSystemVolume();
  if (!volume->Open()) {
    WarnNoMixer();
  } else {
    long left = 0, right = 0;
    if (volume->Read(left, right)) SetKnobLeft(KnobForVolume(left, right));
  }
  volume->Close();  // in either case
}

void OnVolumeKnobDown(const ui::Event& event) {
  // The knob already holds the pointer for the press.
  g_dragging = true;
  g_pressX = event.x;
}

void OnVolumeKnobUp(const ui::Event&) { g_dragging = false; }

void OnVolumeKnobMove(const ui::Event& event) {
  if (!g_dragging || event.x >= kFarRight) return;
  const int left = KnobLeft();
  if (g_pressX > event.x && left >= kSilent + 1) {
    SetKnobLeft(left - 1);
  } else if (event.x > 10 && g_pressX < event.x && left < kLoudest) {
    SetKnobLeft(left + 1);
  }
  // Further moves may be handled in here; each opens and closes the mixer on its own.
  ui::LetPendingMessagesRun();
  std::unique_ptr<SystemVolume> volume = MakeSystemVolume();
  if (!volume->Open()) {
    WarnNoMixer();
    return;
  }
  const long value = VolumeForKnob(KnobLeft());
  volume->Write(value, value);
  volume->Close();
}

}  // namespace sonaro::radio
