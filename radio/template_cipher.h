// The cipher that keeps the Player page template in the program in enciphered form.
// Pure bytes in, bytes out; no Qt.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sonaro::radio {

// The key the template block is made and read with (23 bytes).
inline constexpr std::string_view kTemplateKey = "Sonaro-qvpl-page-key-07";

// Used in place of an empty key (51 bytes).
inline constexpr std::string_view kDefaultCipherKey =
    "Sonaro default key: for blocks enciphered keylessly";

// Deciphers a block: 8 header bytes, then the data. A block of 8 bytes or less gives nothing;
// an empty key is replaced by kDefaultCipherKey. The result has the block's size less 8.
std::string DecipherBlock(std::string_view block, std::string_view key);

// Makes a block that DecipherBlock turns back into text with the same key; a and b fill the
// header (any values will do, fixed ones keep builds reproducible).
std::string EncipherBlock(std::string_view text, std::string_view key, uint32_t a, uint32_t b);

}  // namespace sonaro::radio
