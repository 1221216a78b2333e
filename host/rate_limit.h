// How often one address may submit a dedication.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace sonaro::host {

class SubmissionLimiter {
 public:
  using Clock = std::chrono::steady_clock;

  // One submission per interval and address; an interval of 0 lets everything through.
  explicit SubmissionLimiter(std::chrono::milliseconds interval);

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

  const std::chrono::milliseconds interval_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Clock::time_point> last_;
  size_t prune_above_;
};

}  // namespace sonaro::host
