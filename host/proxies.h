// Which peers may tell the host a client's address (X-Forwarded-For): the reverse proxies the
// operator names. A header from anyone else is the client's own claim and is ignored.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonaro::host {

class AddressRange {
 public:
  // "192.0.2.7", "10.0.0.0/24", "::1", "2001:db8::/32" (brackets allowed around IPv6). Null on
  // anything else, or on host bits set beyond the prefix.
  static std::optional<AddressRange> Parse(std::string_view text);
  // An IPv4-mapped IPv6 peer (::ffff:10.0.0.1) matches its IPv4 range.
  bool Contains(std::string_view address) const;
  std::string Label() const;

 private:
  bool v6_ = false;
  std::array<uint8_t, 16> bytes_{};
  int bits_ = 0;
};

// A proxy on this machine: 127.0.0.0/8 and ::1.
std::vector<AddressRange> LoopbackProxies();

}  // namespace sonaro::host
