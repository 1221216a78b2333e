// A station's stream opened at the click, while its Player page is written and loaded, so that
// the page's session finds the first bytes already there: the page still starts the stream, it
// only does not wait for the connection. One at a time; one the page does not ask for within
// kPrefetchKept is closed and counts for nothing.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "media/http_source.h"

namespace sonaro::media {

inline constexpr std::chrono::seconds kPrefetchKept{5};

// Opens address (an absolute, encoded http or https address; anything else is ignored) in
// place of the one opened before.
void PrefetchStream(const std::string& address);
// The stream opened for exactly this address, handed over once; null when there is none.
std::unique_ptr<HttpSource> TakePrefetchedStream(const std::string& address);

}  // namespace sonaro::media
