#include <QWidget>

#include "radio/player.h"
#include "services/board.h"
#include "services/handlers.h"
#include "skin/transparent.h"
#include "ui/docking.h"
#include "ui/ids.h"
#include "ui/picture.h"
#include "ui/window_system.h"

namespace sonaro::services {

void OnDetailsCreated(const ui::Event&) {
  // 1. To the left of the Main window, overlapping it by 9 pixels.
  const int left = ui::GetInt(ids::kMainWindow, ids::kMainWindowUnit, ui::prop::kLeft);
  const int top = ui::GetInt(ids::kMainWindow, ids::kMainWindowUnit, ui::prop::kTop);
  const int width = ui::GetInt(ids::kDetails, ids::kDetailsUnit, ui::prop::kWidth);
  ui::DockWindow(ids::kDetails, ids::kDetailsUnit, left - width + 9, top + 10, ids::kMainWindow,
                 ids::kMainWindowUnit, ui::DockSide::kLeft);
  // 2. The wishes show on the card's paper and cannot be edited.
  const QByteArray picture =
      ui::GetProperty(ids::kDetails, ids::kDetailsUnit, ui::prop::kPicture).toByteArray();
  skin::MakeTransparent(ids::kDetails, ids::details::kWishes, picture, true);
  // 3. The outline: white is outside the card.
  ui::CutOutline(ui::FindWindow(ids::kDetails), ui::DecodePicture(picture));
}

// Pressing the greeting, title or signature labels does nothing.
void OnDetailsLabelPressed(const ui::Event&) {}

void ShowDedication(const DedicationRow& row) {
  using namespace column;
  // 1. One details window, reused while it lives.
  if (!ui::FindWindow(ids::kDetails)) {
    ui::LoadWindow(ids::kDetails, ui::FindWindow(ids::kMainWindow));
  }
  ui::SetProperty(ids::kDetails, ids::kDetailsUnit, ui::prop::kVisible, true);
  // 2. The song replaces whatever was playing, under the name the station box gives it.
  const core::Text whose = row[kDedicator] + core::GbkFromUtf8("点播的歌曲");
  if (radio::PagePlayer* player = radio::Player()) player->Play(row[kAddress], whose);
  // 3. The station box tells whose dedication is playing.
  ui::SetText(ids::kMainWindow, ids::main::kStationBox, whose);
  // 4. The card: signature, greeting, wishes, song title.
  ui::SetText(
      ids::kDetails, ids::details::kSignature,
      core::GbkFromUtf8("你的") + row[kDedicatorTitle] + core::GbkFromUtf8("：") + row[kDedicator]);
  ui::SetText(ids::kDetails, ids::details::kGreeting, row[kRecipientTitle] + row[kRecipient] + ":");
  ui::SetText(ids::kDetails, ids::details::kWishes, row[kWishes]);
  ui::SetText(ids::kDetails, ids::details::kSongTitle, row[kSong]);
}

}  // namespace sonaro::services
