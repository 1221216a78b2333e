// Fuzzes the template cipher and the script-string escaping of Player page addresses.
//
// Input: a key length byte, the key, then the data. The data are deciphered as a block,
// enciphered and deciphered again (which must give them back), and escaped as an address,
// which must leave nothing that ends the script string, the line or the script element when
// the page's GBK decoder reads it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "radio/page_template.h"
#include "radio/template_cipher.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool In(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

// Reads escaped text as the page does (GB18030 decoding as browsers do it, then a
// double-quoted string): false if anything could end the string or the script.
bool StaysInsideTheString(std::string_view text) {
  size_t i = 0;
  bool escaped = false;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      if (escaped) {
        escaped = false;
      } else if (byte == '\\') {
        escaped = true;
      } else if (byte == '"' || byte == '\r' || byte == '\n' || byte == '<') {
        return false;
      }
      ++i;
      continue;
    }
    if (escaped) return false;  // a backslash must escape an ASCII character
    if (byte == 0x80 || byte == 0xFF) {
      ++i;
      continue;
    }
    const auto at = [&](size_t k) {
      return k < text.size() ? static_cast<unsigned char>(text[k]) : 0;
    };
    if (In(at(i + 1), 0x30, 0x39)) {
      if (In(at(i + 2), 0x81, 0xFE) && In(at(i + 3), 0x30, 0x39)) {
        i += 4;
      } else {
        ++i;  // the lead is dropped, what follows is read again
      }
    } else if (In(at(i + 1), 0x40, 0x7E) || In(at(i + 1), 0x80, 0xFE)) {
      i += 2;
    } else {
      i += at(i + 1) == 0xFF ? 2 : 1;
    }
  }
  return !escaped;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sonaro::radio;
  if (size == 0) return 0;
  const size_t keyLength = std::min<size_t>(data[0], size - 1);
  const std::string key(reinterpret_cast<const char*>(data + 1), keyLength);
  const std::string body(reinterpret_cast<const char*>(data + 1 + keyLength), size - 1 - keyLength);

  const std::string plain = DecipherBlock(body, key);
  Check(plain.size() == (body.size() > 8 ? body.size() - 8 : 0));
  const std::string block = EncipherBlock(body, key, 0x3C9E175Au, uint32_t(size));
  Check(block.size() == body.size() + 8);
  Check(DecipherBlock(block, key) == body);
  if (key.empty()) Check(DecipherBlock(block, kDefaultCipherKey) == body);

  Check(StaysInsideTheString(ScriptStringContent(body)));
  const std::string line = PlaylistLine(body);
  Check(line.size() >= 48 && line.substr(line.size() - 6) == "\"));\r\n");
  return 0;
}
