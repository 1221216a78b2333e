#include "services/handlers.h"

namespace sonaro::services {

// The board's feed, list and button arrive with the dedication service.
void OnBoardCreated(const ui::Event&) {}
void OnBoardRefresh(const ui::Event&) {}
void OnBoardListClicked(const ui::Event&) {}
void OnBoardRequestClicked(const ui::Event&) {}

}  // namespace sonaro::services
