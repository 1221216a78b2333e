#include "core/text.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

namespace sonaro::core {
namespace {

constexpr size_t kNone = std::string_view::npos;

bool IsLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Whether pos starts a character, given that known <= pos does. Walking back from pos over bytes
// of 0x80 and above: the byte before such a run is below 0x80 and so ends a character (it is
// either a one-byte character or a trail byte), or the run reaches known. Either way the run
// begins at a character start and consists of two-byte characters, so pos starts one exactly
// when the run has even length. Each call only looks at bytes after known.
bool StartsCharacter(std::string_view text, size_t known, size_t pos) {
  size_t i = pos;
  // Eight bytes at a time through long runs of Chinese text.
  while (i - known >= 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i - 8, 8);
    if ((word & 0x8080808080808080ULL) != 0x8080808080808080ULL) break;
    i -= 8;
  }
  while (i > known && IsLeadByte(text[i - 1])) --i;
  return (pos - i) % 2 == 0;
}

// 0-based index of the first occurrence of sought at a character start at or after from, or
// kNone. known <= from must be a character start.
size_t FindFrom(std::string_view text, std::string_view sought, size_t from, size_t known) {
  if (sought.empty()) return kNone;
  while (true) {
    size_t hit = text.find(sought, from);
    if (hit == kNone) return kNone;
    if (StartsCharacter(text, known, hit)) return hit;
    // hit is the trail byte of a character that began just before it.
    known = hit + 1;
    from = hit + 1;
  }
}

}  // namespace

Text TextFromBytes(std::string_view bytes) {
  size_t zero = bytes.find('\0');
  return Text(zero == kNone ? bytes : bytes.substr(0, zero));
}

std::ptrdiff_t TextLength(std::string_view text) { return std::ptrdiff_t(text.size()); }

std::ptrdiff_t TextFind(std::string_view text, std::string_view sought) {
  size_t hit = FindFrom(text, sought, 0, 0);
  return hit == kNone ? -1 : std::ptrdiff_t(hit) + 1;
}

Text TextMiddle(std::string_view text, std::ptrdiff_t start, std::ptrdiff_t count) {
  auto length = std::ptrdiff_t(text.size());
  if (start < 1 || start > length || count <= 0) return Text();
  return Text(text.substr(size_t(start - 1), size_t(std::min(count, length - start + 1))));
}

Text TextReplaceAll(std::string_view text, std::string_view sought, std::string_view replacement) {
  Text out;
  size_t pos = 0;
  size_t known = 0;
  for (size_t hit; (hit = FindFrom(text, sought, pos, known)) != kNone;) {
    out.append(text, pos, hit - pos);
    out.append(replacement);
    known = hit;
    pos = hit + sought.size();
  }
  out.append(text, pos);
  return out;
}

std::vector<Text> TextSplit(std::string_view text, std::string_view separator) {
  std::vector<Text> pieces;
  if (text.empty()) return pieces;
  size_t pos = 0;
  size_t known = 0;
  for (size_t hit; (hit = FindFrom(text, separator, pos, known)) != kNone;) {
    pieces.emplace_back(text.substr(pos, hit - pos));
    known = hit;
    pos = hit + separator.size();
  }
  if (pos < text.size()) pieces.emplace_back(text.substr(pos));
  return pieces;
}

double TextToNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' ||
                             text[i] == '\n' || text[i] == '\v' || text[i] == '\f')) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  size_t begin = i;
  auto digits = [&] {
    size_t n = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++n;
    return n;
  };
  size_t count = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    count += digits();
  }
  if (count == 0) return 0.0;
  double value = 0.0;
  auto [end, error] =
      std::from_chars(text.data() + begin, text.data() + i, value, std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) {
    // Hundreds of digits: either beyond any double or too close to zero for one.
    size_t point = text.find('.', begin);
    std::string_view whole = text.substr(begin, (point < i ? point : i) - begin);
    value = whole.find_first_not_of('0') == kNone ? 0.0 : std::numeric_limits<double>::infinity();
  }
  (void)end;
  return negative ? -value : value;
}

Text TextBetween(std::string_view text, std::string_view start, std::string_view end) {
  std::ptrdiff_t p = TextFind(text, start);
  if (p == -1) return Text();
  std::string_view rest = text.substr(size_t(p - 1) + start.size());
  std::ptrdiff_t q = TextFind(rest, end);
  return TextMiddle(rest, 1, q - 1);
}

}  // namespace sonaro::core
