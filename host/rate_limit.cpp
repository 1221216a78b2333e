#include "host/rate_limit.h"

#include <algorithm>

namespace sonaro::host {
namespace {
constexpr size_t kMinPruneAbove = 4096;
}

SubmissionLimiter::SubmissionLimiter(SubmissionRules rules)
    : rules_(rules), prune_above_(kMinPruneAbove) {}

SubmissionLimiter::Clock::duration SubmissionLimiter::Memory() const {
  return rules_.cap > 0 ? std::max<Clock::duration>(rules_.interval, rules_.window)
                        : Clock::duration(rules_.interval);
}

std::optional<std::chrono::milliseconds> SubmissionLimiter::Take(const std::string& address,
                                                                 Clock::time_point now) {
  if (rules_.interval.count() <= 0) return std::nullopt;
  std::lock_guard lock(mutex_);
  auto [it, added] = taken_.try_emplace(address);
  std::deque<Clock::time_point>& turns = it->second;
  while (!turns.empty() && now - turns.front() >= Memory()) turns.pop_front();
  Clock::duration wait{};
  if (!turns.empty() && now - turns.back() < rules_.interval) {
    wait = rules_.interval - (now - turns.back());
  }
  if (rules_.cap > 0 && turns.size() >= rules_.cap) {
    // The turn that frees a place is the cap-th last one leaving the window.
    wait = std::max(wait, rules_.window - (now - turns[turns.size() - rules_.cap]));
  }
  if (wait > Clock::duration::zero()) {
    if (turns.empty()) taken_.erase(it);
    return std::chrono::ceil<std::chrono::milliseconds>(wait);
  }
  turns.push_back(now);
  if (rules_.cap > 0 && turns.size() > rules_.cap) turns.pop_front();
  if (added && taken_.size() > prune_above_) Prune(now);
  return std::nullopt;
}

void SubmissionLimiter::GiveBack(const std::string& address, Clock::time_point taken_at) {
  std::lock_guard lock(mutex_);
  auto it = taken_.find(address);
  // Only the latest turn can be given back: an older one was followed by a stored submission.
  if (it == taken_.end() || it->second.empty() || it->second.back() != taken_at) return;
  it->second.pop_back();
  if (it->second.empty()) taken_.erase(it);
}

size_t SubmissionLimiter::Size() const {
  std::lock_guard lock(mutex_);
  return taken_.size();
}

void SubmissionLimiter::Prune(Clock::time_point now) {
  std::erase_if(taken_, [&](const auto& entry) {
    return entry.second.empty() || now - entry.second.back() >= Memory();
  });
  // Pruning again only after the map has doubled keeps the cost per submission constant.
  prune_above_ = std::max(kMinPruneAbove, taken_.size() * 2);
}

}  // namespace sonaro::host
