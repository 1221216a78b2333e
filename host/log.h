// The host's log: one line per event on standard error, with the local time.
#pragma once

#include <chrono>
#include <mutex>
#include <string_view>

namespace sonaro::host {

void Log(std::string_view message);

// A budget for lines a flood repeats (refused submissions, failed answers): a burst, then one
// line per interval; the lines left out are counted and the next line that goes out says how
// many. Keeps the log from filling the disk while the host is attacked.
class LogBudget {
 public:
  using Clock = std::chrono::steady_clock;

  LogBudget(int burst, std::chrono::milliseconds interval);

  // Whether a line may go out at now; if so, left_out is set to the lines left out before it.
  bool Take(Clock::time_point now, long& left_out);

 private:
  const int burst_;
  const std::chrono::milliseconds interval_;
  std::mutex mutex_;
  double tokens_;
  Clock::time_point last_{};
  long left_out_ = 0;
};

// Logs message if the budget allows, with the count of lines left out before it.
void Log(LogBudget& budget, std::string_view message);

}  // namespace sonaro::host
