#include "host/log.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

namespace sonaro::host {

void Log(std::string_view message) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  // One write per line, so lines from several threads do not interleave.
  std::string line = std::string(stamp) + " sonaro-host: " + std::string(message) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

LogBudget::LogBudget(int burst, std::chrono::milliseconds interval)
    : burst_(burst), interval_(interval), tokens_(burst) {}

bool LogBudget::Take(Clock::time_point now, long& left_out) {
  std::lock_guard lock(mutex_);
  if (last_ != Clock::time_point{} && now > last_) {
    tokens_ = std::min<double>(burst_, tokens_ + double((now - last_).count()) /
                                                     double(Clock::duration(interval_).count()));
  }
  last_ = std::max(last_, now);
  if (tokens_ < 1) {
    ++left_out_;
    return false;
  }
  tokens_ -= 1;
  left_out = left_out_;
  left_out_ = 0;
  return true;
}

void Log(LogBudget& budget, std::string_view message) {
  long left_out = 0;
  if (!budget.Take(LogBudget::Clock::now(), left_out)) return;
  if (left_out == 0) return Log(message);
  Log(std::string(message) + " (" + std::to_string(left_out) + " similar lines left out before)");
}

}  // namespace sonaro::host
