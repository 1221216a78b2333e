// The escaping that keeps an address inside the Player page's script string.
#include "radio/page_template.h"

#include <cstdio>
#include <string>

namespace sonaro::radio {

namespace {

bool InRange(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

// Escape for a byte below 0x80 inside a double-quoted script string; empty when the byte can
// stand as it is.
std::string AsciiEscape(unsigned char byte) {
  switch (byte) {
    case '\\':
      return "\\\\";
    case '"':
      return "\\\"";
    case '\'':
      return "\\'";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '<':  // no "</script", "<!--" or "<script" can form inside the string
      return "\\x3C";
    default:
      break;
  }
  if (byte < 0x20 || byte == 0x7F) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02X", unsigned(byte));
    return escape;
  }
  return {};
}

}  // namespace

// Walks the bytes the way the page's GBK (GB18030) decoder does, so that no byte the escaper
// takes for part of a character can be read by the page as a quote or a backslash.
core::Text ScriptStringContent(std::string_view gbk) {
  core::Text out;
  out.reserve(gbk.size() + 8);
  const size_t n = gbk.size();
  size_t i = 0;
  while (i < n) {
    const auto byte = static_cast<unsigned char>(gbk[i]);
    if (byte < 0x80) {
      const std::string escape = AsciiEscape(byte);
      if (escape.empty()) {
        out += char(byte);
      } else {
        out += escape;
      }
      ++i;
      continue;
    }
    if (byte == 0x80) {  // the decoder's euro sign
      out += "\\u20AC";
      ++i;
      continue;
    }
    if (byte == 0xFF) {
      out += "\\uFFFD";
      ++i;
      continue;
    }
    const auto at = [&](size_t k) { return k < n ? static_cast<unsigned char>(gbk[k]) : 0; };
    const unsigned char second = at(i + 1);
    if (InRange(second, 0x30, 0x39)) {
      if (i + 3 < n && InRange(at(i + 2), 0x81, 0xFE) && InRange(at(i + 3), 0x30, 0x39)) {
        const std::string_view sequence = gbk.substr(i, 4);
        const QString decoded = core::FromGbk(sequence);
        if (decoded == QString(QChar(0x2028))) {
          out += "\\u2028";
        } else if (decoded == QString(QChar(0x2029))) {
          out += "\\u2029";
        } else {
          out.append(sequence);
        }
        i += 4;
      } else {
        // A broken four-byte form: the decoder drops the lead byte and reads on after it.
        out += "\\uFFFD";
        ++i;
      }
      continue;
    }
    if (InRange(second, 0x40, 0x7E) || InRange(second, 0x80, 0xFE)) {
      out += char(byte);
      out += char(second);
      i += 2;
      continue;
    }
    // A lead byte without a trail byte. The decoder reads an ASCII byte after it again as
    // itself and swallows 0xFF.
    out += "\\uFFFD";
    i += second == 0xFF ? 2 : 1;
  }
  return out;
}

core::Text PlaylistLine(std::string_view gbkAddress) {
  return "     playlist.appendItem(Player.newMedia(\"" + ScriptStringContent(gbkAddress) +
         "\"));\r\n";
}

}  // namespace sonaro::radio
