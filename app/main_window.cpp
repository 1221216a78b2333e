#include "app/main_window.h"

#include <QWidget>
#include <cmath>

#include "app/program.h"
#include "app/tray.h"
#include "core/gbk.h"
#include "core/service_contract.h"
#include "radio/my_stations_ui.h"
#include "radio/player.h"
#include "radio/volume_knob.h"
#include "services/service_host.h"
#include "ui/docking.h"
#include "ui/facilities.h"
#include "ui/ids.h"
#include "ui/picture.h"
#include "ui/window_system.h"

namespace sonaro::app {

namespace {

using ui::prop::kHeight;
using ui::prop::kLeft;
using ui::prop::kTop;
using ui::prop::kVisible;
using ui::prop::kWidth;

int WindowValue(uint32_t windowId, uint32_t unitId, int number) {
  return ui::GetInt(windowId, unitId, number);
}

// Docked positions are computed in floating point and cut toward zero, and kept on screen.
void Dock(uint32_t windowId, uint32_t unitId, double left, double top, ui::DockSide side) {
  ui::DockWindow(windowId, unitId, left, top, ids::kMainWindow, ids::kMainWindowUnit, side);
}

void Toggle(uint32_t windowId, uint32_t unitId) {
  const bool visible = ui::GetProperty(windowId, unitId, kVisible).toBool();
  ui::SetProperty(windowId, unitId, kVisible, !visible);
}

}  // namespace

void OnMainCreated(const ui::Event& event) {
  QWidget* mainWindow = ui::FindWindow(ids::kMainWindow);
  ProgramState& state = State();
  // Showing the panel below creates this window's native window as the panel's transient
  // parent, and the platform picks the visual then: it must be translucent already, or the
  // skin's per-pixel alpha (step 3) comes out black.
  if (mainWindow) mainWindow->setAttribute(Qt::WA_TranslucentBackground);
  // 1. The Station panel, docked by its own creation handler.
  ui::LoadWindow(ids::kStationPanel, mainWindow);
  // 2. The Dedication board, hidden at once; its creation handler places it.
  ui::LoadWindow(ids::kBoard, mainWindow);
  ui::SetProperty(ids::kBoard, ids::kBoardUnit, kVisible, false);
  // 3. The window is drawn from its skin, with per-pixel alpha.
  state.mainSkin.Attach(mainWindow);
  state.mainSkin.SetBackImageData(ui::PictureBytes("main_skin.png"));
  // 4., 5. The two text boxes.
  state.statusBoxSkin.Bind(ui::ControlWidget(ids::kMainWindow, ids::main::kStatusBox));
  state.statusBoxSkin.SetBackImageData(ui::PictureBytes("status_box.png"));
  state.statusBoxSkin.SetBorderColor(ui::Rgb(32, 124, 207));
  state.statusBoxSkin.SetTextColor(ui::Rgb(0, 255, 0));
  state.stationBoxSkin.Bind(ui::ControlWidget(ids::kMainWindow, ids::main::kStationBox));
  state.stationBoxSkin.SetBackImageData(ui::PictureBytes("station_box.png"));
  state.stationBoxSkin.SetBorderColor(ui::Rgb(28, 110, 194));
  state.stationBoxSkin.SetTextColor(ui::Rgb(255, 255, 255));
  // 6. The five image buttons: normal and over pictures; the normal one stands in for the rest.
  const struct {
    skin::SkinButton& skin;
    uint32_t unit;
    const char* normal;
    const char* over;
  } buttons[] = {
      {state.closeButtonSkin, ids::main::kCloseButton, "close_normal.png", "close_hover.png"},
      {state.minimiseButtonSkin, ids::main::kZuixiao, "minimise_normal.png", "minimise_hover.png"},
      {state.maximiseButtonSkin, ids::main::kZuida, "maximise_normal.png", "maximise_hover.png"},
      {state.panelButtonSkin, ids::main::kDiantaidaohang, "stations_normal.png",
       "stations_hover.png"},
      {state.dedicationButtonSkin, ids::main::kDiange, "request_normal.png", "request_hover.png"},
  };
  for (const auto& button : buttons) {
    button.skin.Bind(ui::ControlWidget(ids::kMainWindow, button.unit));
    button.skin.SetImageData(ui::PictureBytes(button.normal), ui::PictureBytes(button.over));
  }
  // 7. The animation over the window.
  RecreateMainAnimation();
  // 8. From now on the window and its skinned controls are one composed picture.
  state.mainSkin.AdoptControls();
  // 9. The player: a 6 x 3 browser window just outside the client area, playing nothing yet.
  if (radio::PagePlayer* player = radio::Player()) player->Create(mainWindow, -3, -5, 6, 3, {});
  // 10. The tray icon, present from now on.
  TrayAdd(mainWindow, core::GbkFromUtf8("收音机"), &TrayHandler);
  (void)event;
}

void OnMainMoved(const ui::Event&) {
  const double left = WindowValue(ids::kMainWindow, ids::kMainWindowUnit, kLeft);
  const double top = WindowValue(ids::kMainWindow, ids::kMainWindowUnit, kTop);
  State().mainAnimation.Move(int(std::trunc(left + 18)), int(std::trunc(top + 175)));
  const double width = WindowValue(ids::kMainWindow, ids::kMainWindowUnit, kWidth);
  const double height = WindowValue(ids::kMainWindow, ids::kMainWindowUnit, kHeight);
  // Hidden windows move too, so they reappear in their docked place.
  Dock(ids::kStationPanel, ids::kStationPanelUnit, left + width - 11, top + 10,
       ui::DockSide::kRight);
  Dock(ids::kBoard, ids::kBoardUnit, left + 10, top + height - 11, ui::DockSide::kBelow);
  const double detailsWidth = WindowValue(ids::kDetails, ids::kDetailsUnit, kWidth);
  Dock(ids::kDetails, ids::kDetailsUnit, left - detailsWidth + 9, top + 10, ui::DockSide::kLeft);
}

void OnStationPanelCreated(const ui::Event&) {
  QWidget* panel = ui::FindWindow(ids::kStationPanel);
  // 1. The outline: white is outside the panel.
  const QImage picture = ui::DecodePicture(
      ui::GetProperty(ids::kStationPanel, ids::kStationPanelUnit, ui::prop::kPicture)
          .toByteArray());
  ui::CutOutline(panel, picture);
  // 2. The volume knob, its scale and the system volume.
  radio::SetUpVolumeKnob();
  // 3. Dock at the Main window's right edge.
  const double left = WindowValue(ids::kMainWindow, ids::kMainWindowUnit, kLeft);
  const double top = WindowValue(ids::kMainWindow, ids::kMainWindowUnit, kTop);
  const double width = WindowValue(ids::kMainWindow, ids::kMainWindowUnit, kWidth);
  Dock(ids::kStationPanel, ids::kStationPanelUnit, left + width - 11, top + 10,
       ui::DockSide::kRight);
  // 4. The advert box shows the service host's advert page.
  ui::SetText(ids::kStationPanel, ids::panel::kAdvertBox,
              services::ServiceAddress(core::resource::kAdvertPage), ui::prop::kAddress);
  // 5. 我的电台 after the built-in stations, read off the GUI thread.
  radio::ShowMyStations();
}

void OnStationsToggle(const ui::Event&) { Toggle(ids::kStationPanel, ids::kStationPanelUnit); }

void OnBoardToggle(const ui::Event&) {
  if (QWidget* board = ui::FindWindow(ids::kBoard)) board->repaint();
  Toggle(ids::kBoard, ids::kBoardUnit);
}

void OnMinimise(const ui::Event&) { MinimiseToTray(); }

void OnMaximise(const ui::Event&) {}

void OnClose(const ui::Event&) {
  QWidget* mainWindow = ui::FindWindow(ids::kMainWindow);
  ui::DestroyWindowLater(mainWindow);
  // The icon goes before the window does; its later destruction no longer reaches the tray.
  TrayRemove();
  ui::DestroyWindowLater(ui::FindWindow(ids::kMainWindow));
}

void OnMenuShow(const ui::Event&) { RestoreMainWindow(); }

void OnMenuAbout(const ui::Event&) {
  ui::MessageBox(core::GbkFromUtf8("累了以后在写吧！"), ui::kMbOk, core::GbkFromUtf8("Varrowen"));
}

void OnMenuSuggest(const ui::Event&) {}

void OnMenuCheckUpdate(const ui::Event&) {
  ui::LoadWindow(ids::kUpdateWindow, ui::FindWindow(ids::kMainWindow));
}

void OnMenuRequest(const ui::Event&) {}

void RecreateMainAnimation() {
  ProgramState& state = State();
  state.mainAnimation.Create(ui::PictureBytes("animation.gif"), ui::FindWindow(ids::kMainWindow));
  const int left = ui::GetInt(ids::kMainWindow, ids::kMainWindowUnit, kLeft);
  const int top = ui::GetInt(ids::kMainWindow, ids::kMainWindowUnit, kTop);
  state.mainAnimation.Move(left + 18, top + 175);
}

void CloseMainAnimation() { State().mainAnimation.Close(); }

void OnMenuExit(const ui::Event&) { ui::DestroyWindowLater(ui::FindWindow(ids::kMainWindow)); }

}  // namespace sonaro::app
