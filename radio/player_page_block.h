// The Player page template as the build enciphered it (tools/encipher_template.cpp).
#pragma once

#include <cstddef>

namespace sonaro::radio {
extern const unsigned char kPlayerPageBlock[];
extern const size_t kPlayerPageBlockSize;
}  // namespace sonaro::radio
