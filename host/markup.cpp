#include "host/markup.h"

namespace sonaro::host {

namespace {

// & < > and " as references in both languages; they differ only in the apostrophe and in
// what XML 1.0 cannot carry.
std::string Escape(std::string_view text, const char* apostrophe, bool xml) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += apostrophe;
        break;
      case '\r':
        if (xml) {
          out += "&#13;";
          break;
        }
        [[fallthrough]];
      default:
        if (!xml || c == '\t' || c == '\n' || static_cast<unsigned char>(c) >= 0x20) out += c;
    }
  }
  return out;
}

}  // namespace

std::string EscapeHtml(std::string_view text) { return Escape(text, "&#39;", false); }

std::string EscapeXml(std::string_view text) { return Escape(text, "&apos;", true); }

}  // namespace sonaro::host
