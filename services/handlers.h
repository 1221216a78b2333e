// Event handlers of the online services, bound in the window catalogue.
#pragma once

#include "ui/event.h"

namespace sonaro::services {

// Dedication board.
void OnBoardCreated(const ui::Event& event);
void OnBoardRefresh(const ui::Event& event);      // its timer, every 10 s
void OnBoardListClicked(const ui::Event& event);  // a left click in the list
void OnBoardRequestClicked(const ui::Event& event);

// Dedication details.
void OnDetailsCreated(const ui::Event& event);
void OnDetailsLabelPressed(const ui::Event& event);  // does nothing by design

// Request form.
void OnRequestFormCreated(const ui::Event& event);
void OnRequestSubmit(const ui::Event& event);
void OnRequestClose(const ui::Event& event);
void OnRequestHelp(const ui::Event& event);
void OnRequestNotePressed(const ui::Event& event);  // does nothing by design

// Update window.
void OnUpdateWindowCreated(const ui::Event& event);

}  // namespace sonaro::services
