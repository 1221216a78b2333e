// 我的电台 in the program's windows: the seventh category of the Station panel's tree, its
// right-click menu (删除, 重命名), the 添加电台 window and the import and export menu items.
// The list itself is radio/my_stations.h, worked on off the GUI thread.
#pragma once

#include "ui/event.h"

namespace sonaro::radio {

// At the Station panel's creation: 我的电台 after the built-in items, filled once the list is
// loaded and again on every change. A file found unreadable is told once.
void ShowMyStations();

// The tree's selection at a stored index past the built-in items: a kept station plays, the
// category itself does nothing. Kept items are known by their place, never by their label.
void PlayKeptStationAt(int treeIndex);

// The Main window's menu.
void OnMenuAddStation(const ui::Event& event);
void OnMenuImport(const ui::Event& event);
void OnMenuExport(const ui::Event& event);

// The 添加电台 window: a station is kept only once its stream plays.
void OnAddStationCreated(const ui::Event& event);
void OnAddStationOk(const ui::Event& event);
void OnAddStationCancel(const ui::Event& event);

}  // namespace sonaro::radio
