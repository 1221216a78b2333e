// Handlers of the Main window, its menu and the Station panel's creation.
#pragma once

#include "ui/event.h"

namespace sonaro::app {

void OnMainCreated(const ui::Event& event);
void OnMainMoved(const ui::Event& event);
void OnStationPanelCreated(const ui::Event& event);

void OnStationsToggle(const ui::Event& event);  // diantaidaohang
void OnBoardToggle(const ui::Event& event);     // diange
void OnMinimise(const ui::Event& event);        // zuixiao
void OnMaximise(const ui::Event& event);        // zuida: does nothing
void OnClose(const ui::Event& event);           // 关闭按钮

// What a left click on the tray icon does: the Main window back, raised.
void OnMenuShow(const ui::Event& event);
void OnMenuAbout(const ui::Event& event);
void OnMenuSuggest(const ui::Event& event);  // does nothing
void OnMenuCheckUpdate(const ui::Event& event);
void OnMenuRequest(const ui::Event& event);  // does nothing
void OnMenuExit(const ui::Event& event);

// The animation over the Main window, shown at (M.left + 18, M.top + 175).
void RecreateMainAnimation();
void CloseMainAnimation();

}  // namespace sonaro::app
