#include "services/handlers.h"

namespace sonaro::services {

// The card's set-up arrives with the dedication service.
void OnDetailsCreated(const ui::Event&) {}

// Pressing the greeting, title or signature labels does nothing.
void OnDetailsLabelPressed(const ui::Event&) {}

}  // namespace sonaro::services
