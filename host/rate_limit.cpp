#include "host/rate_limit.h"

#include <algorithm>

namespace sonaro::host {

std::chrono::milliseconds TurnsMemory(const SubmissionRules& rules) {
  return rules.cap > 0 ? std::max(rules.interval, rules.window) : rules.interval;
}

size_t TurnsNeeded(const SubmissionRules& rules) { return std::max<size_t>(rules.cap, 1); }

std::optional<std::chrono::milliseconds> WaitBeforeNext(const SubmissionRules& rules,
                                                        std::span<const std::int64_t> turns,
                                                        std::int64_t now) {
  if (rules.interval.count() <= 0 || turns.empty()) return std::nullopt;
  std::int64_t wait = 0;
  std::int64_t since_last = now - turns.back();
  if (since_last < rules.interval.count()) wait = rules.interval.count() - since_last;
  if (rules.cap > 0 && turns.size() >= rules.cap) {
    // The turn that frees a place is the cap-th last one leaving the window.
    std::int64_t since = now - turns[turns.size() - rules.cap];
    wait = std::max(wait, rules.window.count() - since);
  }
  if (wait <= 0) return std::nullopt;
  // Turns from the future (a wall clock set back) hold an address no longer than the rules do.
  return std::min(std::chrono::milliseconds(wait), TurnsMemory(rules));
}

}  // namespace sonaro::host
