// How often one address may submit a dedication.
#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace sonaro::host {

// Two rules per address: an interval between two submissions, and a cap on the submissions
// within a longer window, so that no address can fill the whole feed by waiting its turns.
struct SubmissionRules {
  std::chrono::milliseconds interval{10'000};  // 0: no limit at all
  size_t cap = 10;                             // per window; 0: no cap
  std::chrono::milliseconds window{3'600'000};
};

class SubmissionLimiter {
 public:
  using Clock = std::chrono::steady_clock;

  explicit SubmissionLimiter(SubmissionRules rules);

  // Takes address's turn at now. Nothing when the address may submit (the turn is then used
  // up), otherwise how long it still has to wait. Checking and taking are one step, so of two
  // submissions arriving together only one gets through.
  std::optional<std::chrono::milliseconds> Take(const std::string& address, Clock::time_point now);

  // Gives back the turn taken at taken_at, for a submission that could not be stored.
  void GiveBack(const std::string& address, Clock::time_point taken_at);

  // Addresses remembered; old ones are forgotten as new ones come.
  size_t Size() const;

 private:
  void Prune(Clock::time_point now);
  // How long an address's turns matter.
  Clock::duration Memory() const;

  const SubmissionRules rules_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::deque<Clock::time_point>> taken_;  // oldest first
  size_t prune_above_;
};

}  // namespace sonaro::host
