#include "radio/handlers.h"

#include "core/stages.h"
#include "radio/directory_tuning.h"
#include "radio/my_stations_ui.h"
#include "radio/player.h"
#include "radio/stations.h"
#include "ui/ids.h"
#include "ui/window_system.h"

namespace sonaro::radio {

// The first row whose label is the selected item's text, byte for byte: its name into the
// station box first (it shows while the stream connects), then the stream to the player.
// A category, the empty item or an item without a row changes nothing. Items past the built-in
// ones are 我的电台's, known by their place (a kept station may bear a built-in label).
void OnStationSelected(const ui::Event&) {
  const int index = ui::GetInt(ids::kStationPanel, ids::panel::kTree, ui::prop::kSelectedItem);
  if (index >= int(kTreeItemCount)) return PlayKeptStationAt(index);
  const std::string text = ui::TreeItemText(ids::kStationPanel, ids::panel::kTree, index);
  const Station* station = FindStation(text);
  if (!station) return;
  core::NoteStage("click");
  ui::SetText(ids::kMainWindow, ids::main::kStationBox, station->displayName);
  if (StationsFromDirectory()) {
    TuneFromDirectory(size_t(station - Stations().data()), *station);
    return;
  }
  if (PagePlayer* player = Player()) player->Play(station->address, station->displayName);
}

// The volume knob's handlers are in volume_knob.cpp.

}  // namespace sonaro::radio
