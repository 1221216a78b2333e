#include "services/handlers.h"

namespace sonaro::services {

// The update check runs in the Update window's creation event; it arrives with the network
// facilities.
void OnUpdateWindowCreated(const ui::Event&) {}

}  // namespace sonaro::services
