#include "host/rate_limit.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>

namespace sonaro::host {

std::string ClientKey(std::string_view address) {
  std::string text(address);
  if (!text.empty() && text.front() == '[' && text.back() == ']')
    text = text.substr(1, text.size() - 2);
  const size_t zone = text.find('%');  // fe80::1%eth0
  if (zone != std::string::npos) text.resize(zone);
  in6_addr v6{};
  if (text.find(':') == std::string::npos || ::inet_pton(AF_INET6, text.c_str(), &v6) != 1)
    return std::string(address);
  if (IN6_IS_ADDR_V4MAPPED(&v6)) {
    char v4[INET_ADDRSTRLEN];
    return ::inet_ntop(AF_INET, &v6.s6_addr[12], v4, sizeof v4) ? v4 : std::string(address);
  }
  for (int i = 8; i < 16; ++i) v6.s6_addr[i] = 0;
  char prefix[INET6_ADDRSTRLEN];
  if (!::inet_ntop(AF_INET6, &v6, prefix, sizeof prefix)) return std::string(address);
  return std::string(prefix) + "/64";
}

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
