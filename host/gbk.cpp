#include "host/gbk.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <stdexcept>
#include <string>

namespace sonaro::host {
namespace {

// One conversion through iconv; nothing when the input holds a sequence the source encoding
// does not have or the target cannot express. Descriptors are not shared between threads, so
// each call opens its own; conversions happen per submission, not per request.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }
  std::string out;
  out.resize(in.size() * 2 + 16);
  char* in_ptr = const_cast<char*>(in.data());
  size_t in_left = in.size();
  size_t used = 0;
  bool ok = true;
  for (;;) {
    char* out_ptr = out.data() + used;
    size_t out_left = out.size() - used;
    size_t result = in_left > 0 ? iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left)
                                : iconv(cd, nullptr, nullptr, &out_ptr, &out_left);
    used = out.size() - out_left;
    if (result != static_cast<size_t>(-1)) {
      if (in_left == 0) break;
      continue;
    }
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    ok = false;  // EILSEQ or EINVAL: a byte sequence that is not in the source encoding
    break;
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(used);
  return out;
}

// The length of the well-formed UTF-8 character at the start of s, or 0.
size_t Utf8CharLength(std::string_view s) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char b = byte(0);
  if (b < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    if (b == 0xE0) low = 0xA0;   // overlong
    if (b == 0xED) high = 0x9F;  // surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    if (b == 0xF0) low = 0x90;   // overlong
    if (b == 0xF4) high = 0x8F;  // past U+10FFFF
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Which two-byte codes GBK has: 21,791 of the 23,940 that fit its lead and trail ranges. The
// C library's GBK converter and Python's gbk codec agree on exactly this set; the user-defined
// areas and the codes GB18030 added later (the euro sign among them) are not in it.
class GbkCodes {
 public:
  GbkCodes() {
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        const char code[2] = {char(lead), char(trail)};
        if (trail != 0x7F && Convert("UTF-8", "GBK", std::string_view(code, 2))) {
          has_[Index(lead, trail)] = true;
        }
      }
    }
  }
  // Whether the two bytes at the start of s are a GBK character.
  bool Has(std::string_view s) const {
    if (s.size() < 2) return false;
    const auto lead = static_cast<unsigned char>(s[0]), trail = static_cast<unsigned char>(s[1]);
    return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE &&
           has_[Index(lead, trail)];
  }

 private:
  static size_t Index(int lead, int trail) {
    return size_t(lead - 0x81) * 191 + size_t(trail - 0x40);
  }
  std::array<bool, 126 * 191> has_{};
};

const GbkCodes& Codes() {
  static const GbkCodes codes;
  return codes;
}

// GB18030 bytes with every character GBK lacks (its two-byte extensions and all four-byte
// forms) replaced by "?": what a reader of GBK can read.
std::string GbkPart(std::string_view gb18030) {
  std::string out;
  out.reserve(gb18030.size());
  while (!gb18030.empty()) {
    const auto lead = static_cast<unsigned char>(gb18030[0]);
    size_t length = 1;
    if (lead < 0x80) {
      out += gb18030[0];
    } else if (Codes().Has(gb18030)) {
      out += gb18030.substr(0, 2);
      length = 2;
    } else {
      out += '?';
      // A four-byte form, a two-byte code GBK lacks, or a byte that starts neither.
      const auto second = gb18030.size() >= 2 ? static_cast<unsigned char>(gb18030[1]) : 0;
      const bool fourBytes = gb18030.size() >= 4 && second >= '0' && second <= '9';
      const bool pair = lead > 0x80 && lead < 0xFF && second >= 0x40 && second <= 0xFE;
      length = fourBytes ? 4 : pair ? 2 : 1;
    }
    gb18030.remove_prefix(length);
  }
  return out;
}

}  // namespace

bool IsGbk(std::string_view bytes) {
  while (!bytes.empty()) {
    if (static_cast<unsigned char>(bytes[0]) < 0x80) {
      bytes.remove_prefix(1);
    } else if (Codes().Has(bytes)) {
      bytes.remove_prefix(2);
    } else {
      return false;
    }
  }
  return true;
}

bool IsUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    size_t length = Utf8CharLength(bytes);
    if (length == 0) return false;
    bytes.remove_prefix(length);
  }
  return true;
}

std::optional<std::string> Utf8FromGbk(std::string_view bytes) {
  if (!IsGbk(bytes)) return std::nullopt;
  return Convert("UTF-8", "GBK", bytes);
}

std::string GbkFromUtf8(std::string_view utf8) {
  std::string clean;
  clean.reserve(utf8.size());
  while (!utf8.empty()) {
    size_t length = Utf8CharLength(utf8);
    if (length == 0) {
      clean += '?';
      length = 1;
    } else {
      clean += utf8.substr(0, length);
    }
    utf8.remove_prefix(length);
  }
  // GB18030 has a code for every Unicode character, so well-formed input always converts.
  return GbkPart(Convert("GB18030", "UTF-8", clean).value_or(std::string()));
}

std::string_view CutToGbkBytes(std::string_view utf8, size_t gbk_bytes) {
  size_t at = 0;
  size_t counted = 0;
  while (at < utf8.size()) {
    size_t length = Utf8CharLength(utf8.substr(at));
    const size_t cost = length > 1 ? 2 : 1;
    if (counted + cost > gbk_bytes) break;
    counted += cost;
    at += std::max<size_t>(length, 1);
  }
  return utf8.substr(0, at);
}

std::optional<std::string> StrictGbkFromUtf8(std::string_view utf8) {
  if (!IsUtf8(utf8)) return std::nullopt;
  std::optional<std::string> out = Convert("GB18030", "UTF-8", utf8);
  if (!out || !IsGbk(*out)) return std::nullopt;
  return out;
}

std::string GbkFromOperatorFile(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
  if (IsUtf8(bytes)) return GbkFromUtf8(bytes);
  return GbkPart(bytes);
}

}  // namespace sonaro::host
