// The host's log: one line per event on standard error, with the local time.
#pragma once

#include <string_view>

namespace sonaro::host {

void Log(std::string_view message);

}  // namespace sonaro::host
