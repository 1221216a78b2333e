// One program per page folder: two would overwrite each other's Player page, which has a fixed
// name there.
#pragma once

#include <functional>
#include <string>

namespace sonaro::app {

// Claims folder (ending in "/") for this process until it ends, and from then on runs show on
// the GUI thread whenever another start asks for the program. Gives false when another process
// holds the folder: that one has been asked to show itself, and this one should end. Without a
// folder there is nothing to share, so the claim succeeds.
bool ClaimSingleInstance(const std::string& folder, std::function<void()> show);

}  // namespace sonaro::app
