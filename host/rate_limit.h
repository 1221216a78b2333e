// How often one address may submit a dedication. The store keeps the turns (the times of an
// address's stored dedications), so that every host sharing it applies the same rules.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sonaro::host {

// Two rules per address: an interval between two submissions, and a cap on the submissions
// within a longer window, so that no address can fill the whole feed by waiting its turns.
struct SubmissionRules {
  std::chrono::milliseconds interval{10'000};  // 0: no limit at all
  size_t cap = 10;                             // per window; 0: no cap
  std::chrono::milliseconds window{3'600'000};
};

// The client an address stands for, in every per-address limit (connections, submissions): an
// IPv6 address is its /64 ("2001:db8:1:2::/64"), as one client owns a whole /64 and may take a
// new address per request; an IPv4 one (also mapped into IPv6) is itself; anything else is
// kept as it is.
std::string ClientKey(std::string_view address);

// How far back an address's turns matter.
std::chrono::milliseconds TurnsMemory(const SubmissionRules& rules);

// How many of an address's most recent turns the rules look at.
size_t TurnsNeeded(const SubmissionRules& rules);

// How long an address still has to wait at now, given its most recent turns (milliseconds
// since the epoch, oldest first, at least the last TurnsNeeded within TurnsMemory); nothing
// when it may submit now.
std::optional<std::chrono::milliseconds> WaitBeforeNext(const SubmissionRules& rules,
                                                        std::span<const std::int64_t> turns,
                                                        std::int64_t now);

}  // namespace sonaro::host
