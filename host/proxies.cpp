#include "host/proxies.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>
#include <cstring>

namespace sonaro::host {

namespace {

struct Numeric {
  bool v6 = false;
  std::array<uint8_t, 16> bytes{};
};

std::optional<Numeric> ParseNumeric(std::string_view text) {
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    text = text.substr(1, text.size() - 2);
  }
  const std::string plain(text.substr(0, text.find('%')));  // fe80::1%eth0
  Numeric n;
  in_addr v4{};
  in6_addr v6{};
  if (::inet_pton(AF_INET, plain.c_str(), &v4) == 1) {
    std::memcpy(n.bytes.data(), &v4, 4);
    return n;
  }
  if (::inet_pton(AF_INET6, plain.c_str(), &v6) != 1) return std::nullopt;
  if (IN6_IS_ADDR_V4MAPPED(&v6)) {
    std::memcpy(n.bytes.data(), &v6.s6_addr[12], 4);
    return n;
  }
  n.v6 = true;
  std::memcpy(n.bytes.data(), &v6, 16);
  return n;
}

bool SamePrefix(const std::array<uint8_t, 16>& a, const std::array<uint8_t, 16>& b, int bits) {
  for (int i = 0; bits > 0; ++i, bits -= 8) {
    const uint8_t mask = bits >= 8 ? 0xff : static_cast<uint8_t>(0xff << (8 - bits));
    if ((a[i] & mask) != (b[i] & mask)) return false;
  }
  return true;
}

}  // namespace

std::optional<AddressRange> AddressRange::Parse(std::string_view text) {
  const size_t slash = text.find('/');
  const std::optional<Numeric> base = ParseNumeric(text.substr(0, slash));
  if (!base) return std::nullopt;
  AddressRange range;
  range.v6_ = base->v6;
  range.bytes_ = base->bytes;
  const int width = base->v6 ? 128 : 32;
  range.bits_ = width;
  if (slash != std::string_view::npos) {
    const std::string_view digits = text.substr(slash + 1);
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), range.bits_);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty() ||
        range.bits_ < 0 || range.bits_ > width) {
      return std::nullopt;
    }
  }
  // 10.0.0.1/8 is a typo for one of two things; take neither.
  std::array<uint8_t, 16> masked = range.bytes_;
  for (int bit = range.bits_; bit < width; ++bit) {
    masked[bit / 8] &= static_cast<uint8_t>(~(0x80u >> (bit % 8)));
  }
  if (masked != range.bytes_) return std::nullopt;
  return range;
}

bool AddressRange::Contains(std::string_view address) const {
  const std::optional<Numeric> peer = ParseNumeric(address);
  return peer && peer->v6 == v6_ && SamePrefix(peer->bytes, bytes_, bits_);
}

std::string AddressRange::Label() const {
  char text[INET6_ADDRSTRLEN] = {};
  ::inet_ntop(v6_ ? AF_INET6 : AF_INET, bytes_.data(), text, sizeof text);
  return std::string(text) + "/" + std::to_string(bits_);
}

std::vector<AddressRange> LoopbackProxies() {
  return {*AddressRange::Parse("127.0.0.0/8"), *AddressRange::Parse("::1")};
}

}  // namespace sonaro::host
