#include "radio/template_cipher.h"

#include <array>

namespace sonaro::radio {

static_assert(kTemplateKey.size() == 23);
static_assert(kDefaultCipherKey.size() == 51);

namespace {

// The byte stream XOR-ed onto the data: it depends only on the 8 header bytes and the key.
class KeyStream {
 public:
  KeyStream(const std::array<uint8_t, 8>& header, std::string_view key) {
    const uint32_t a = uint32_t(header[0]) | uint32_t(header[1]) << 8 | uint32_t(header[2]) << 16 |
                       uint32_t(header[3]) << 24;
    const uint32_t b = uint32_t(header[4]) | uint32_t(header[5]) << 8 | uint32_t(header[6]) << 16 |
                       uint32_t(header[7]) << 24;
    const uint8_t s = uint8_t(~(a ^ b) & 0xFF);
    for (size_t j = 0; j < 4; ++j) {
      p_[j] = header[4 + j];
      q_[j] = uint8_t(p_[j] ^ s);
    }
    // Every key byte is changed with the counter's byte of P; XOR-ing all changed bytes into
    // each data byte comes to XOR-ing their combined value once.
    for (char k : key) c_ ^= uint8_t(uint8_t(k) ^ p_[Advance()]);
  }

  uint8_t Next() { return uint8_t(q_[Advance()] ^ c_); }

 private:
  // The counter runs 1, 2, 3, 4, 1, ... (here 0-based) and advances before each use.
  size_t Advance() {
    j_ = j_ % 4 + 1;
    return j_ - 1;
  }

  std::array<uint8_t, 4> p_{};
  std::array<uint8_t, 4> q_{};
  uint8_t c_ = 0;
  size_t j_ = 0;
};

std::string_view EffectiveKey(std::string_view key) {
  return key.empty() ? kDefaultCipherKey : key;
}

}  // namespace

std::string DecipherBlock(std::string_view block, std::string_view key) {
  key = EffectiveKey(key);
  if (block.size() <= 8 || key.empty()) return {};
  std::array<uint8_t, 8> header{};
  for (size_t i = 0; i < 8; ++i) header[i] = uint8_t(block[i]);
  KeyStream stream(header, key);
  std::string out(block.size() - 8, '\0');
  for (size_t i = 8; i < block.size(); ++i) out[i - 8] = char(uint8_t(block[i]) ^ stream.Next());
  return out;
}

std::string EncipherBlock(std::string_view text, std::string_view key, uint32_t a, uint32_t b) {
  key = EffectiveKey(key);
  std::array<uint8_t, 8> header{};
  for (size_t i = 0; i < 4; ++i) {
    header[i] = uint8_t(a >> (8 * i));
    header[4 + i] = uint8_t(b >> (8 * i));
  }
  KeyStream stream(header, key);
  std::string out(header.begin(), header.end());
  for (char t : text) out += char(uint8_t(t) ^ stream.Next());
  return out;
}

}  // namespace sonaro::radio
