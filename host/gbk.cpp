#include "host/gbk.h"

#include <iconv.h>

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
// The euro sign in GB18030; the single byte 0x80 means the same in GBK forms.
constexpr std::string_view kGb18030Euro = "\xA2\xE3";

}  // namespace

bool IsGbk(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead <= 0x80) continue;
    if (lead == 0xFF || i + 1 == bytes.size()) return false;
    auto trail = static_cast<unsigned char>(bytes[++i]);
    if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
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
  std::string gb18030;
  gb18030.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto c = static_cast<unsigned char>(bytes[i]);
    if (c == 0x80) {
      gb18030 += kGb18030Euro;
    } else if (c > 0x80) {
      gb18030 += bytes.substr(i, 2);
      ++i;
    } else {
      gb18030 += bytes[i];
    }
  }
  return Convert("UTF-8", "GB18030", gb18030);
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
  return Convert("GB18030", "UTF-8", clean).value_or(std::string());
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
  return std::string(bytes);
}

}  // namespace sonaro::host
