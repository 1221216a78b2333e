#include "host/rate_limit.h"

#include <algorithm>

namespace sonaro::host {
namespace {
constexpr size_t kMinPruneAbove = 4096;
}

SubmissionLimiter::SubmissionLimiter(std::chrono::milliseconds interval)
    : interval_(interval), prune_above_(kMinPruneAbove) {}

std::optional<std::chrono::milliseconds> SubmissionLimiter::Take(const std::string& address,
                                                                 Clock::time_point now) {
  if (interval_.count() <= 0) return std::nullopt;
  std::lock_guard lock(mutex_);
  auto it = last_.find(address);
  if (it != last_.end() && now - it->second < interval_) {
    return std::chrono::ceil<std::chrono::milliseconds>(interval_ - (now - it->second));
  }
  if (it != last_.end()) {
    it->second = now;
  } else {
    last_.emplace(address, now);
    if (last_.size() > prune_above_) Prune(now);
  }
  return std::nullopt;
}

void SubmissionLimiter::GiveBack(const std::string& address, Clock::time_point taken_at) {
  std::lock_guard lock(mutex_);
  auto it = last_.find(address);
  // The turn before this one was at least an interval earlier, so forgetting the address
  // restores what the limiter would decide.
  if (it != last_.end() && it->second == taken_at) last_.erase(it);
}

size_t SubmissionLimiter::Size() const {
  std::lock_guard lock(mutex_);
  return last_.size();
}

void SubmissionLimiter::Prune(Clock::time_point now) {
  std::erase_if(last_, [&](const auto& entry) { return now - entry.second >= interval_; });
  // Pruning again only after the map has doubled keeps the cost per submission constant.
  prune_above_ = std::max(kMinPruneAbove, last_.size() * 2);
}

}  // namespace sonaro::host
