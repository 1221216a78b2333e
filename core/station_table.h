// The built-in stations' table: labels, display names and where each stream is. Plain C++ with
// no Qt, so the demo stream service serves exactly the addresses the player builds.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace sonaro::core {

inline constexpr size_t kStationCount = 119;
inline constexpr int kServerCount = 50;

enum class Scheme { Mms, Http };

struct StationRow {
  const char* label;        // UTF-8
  const char* displayName;  // UTF-8
  Scheme scheme;
  int server;  // server key S1..S50
  int port;    // 0: none in the address
  const char* path;
};

extern const std::array<StationRow, kStationCount> kStationTable;

// The host text behind server key S<server> (1..50), fixed at build time; may carry ":port".
// Empty for a key out of range.
std::string_view ServerHost(int server);

// The row's stream address in UTF-8: scheme "://" host [":" port] path.
std::string StreamAddress(const StationRow& row, std::string_view host);

// The same with the configured host of the row's server key.
std::string StreamAddress(const StationRow& row);

}  // namespace sonaro::core
