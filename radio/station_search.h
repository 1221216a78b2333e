// The 搜索电台 window: finds stations in the public directory by name or tag, a page at a time,
// plays one the way a station of the list plays and keeps one in 我的电台.
//
// The search runs off the GUI thread; a new search abandons the one still running (its fetch
// ends and its answer is dropped). The window is made on first use, hidden by 关闭 and shown
// again by the menu.
#pragma once

#include "ui/event.h"

namespace sonaro::radio {

// The menu's 搜索电台…: shows the window (made the first time), raised, typing in its box.
void OnSearchMenu(const ui::Event& event);

void OnSearchWindowCreated(const ui::Event& event);
void OnSearchRequested(const ui::Event& event);        // 搜索, or Enter in the box
void OnSearchPrevious(const ui::Event& event);         // 上一页
void OnSearchNext(const ui::Event& event);             // 下一页
void OnSearchResultActivated(const ui::Event& event);  // a result double-clicked: plays it
void OnSearchKeep(const ui::Event& event);             // 收藏
void OnSearchClose(const ui::Event& event);            // 关闭: hides the window

}  // namespace sonaro::radio
