// Fuzzes the parting of a stream's sound from its metadata blocks and the title reading.
//
// Input: two bytes of interval, then the body as a server might send it. However the body is cut
// into pieces, the sound and the titles must come out the same, the sound never holds more than
// the body, and every title is valid UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "media/icy.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool IsUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80    ? 1
                          : lead >= 0xF0 ? 4
                          : lead >= 0xE0 ? 3
                          : lead >= 0xC2 ? 2
                                         : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

struct Result {
  std::string sound;
  std::vector<std::string> titles;
};

Result Read(size_t interval, std::string_view body, size_t piece) {
  sonaro::media::IcyReader reader(interval);
  Result result;
  while (!body.empty()) {
    const size_t count = piece < body.size() ? piece : body.size();
    if (auto title = reader.Feed(body.substr(0, count), result.sound)) {
      Check(IsUtf8(*title));
      result.titles.push_back(*title);
    }
    body.remove_prefix(count);
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t interval = (size_t(data[0]) << 8 | data[1]) % 4097;
  const std::string_view body(reinterpret_cast<const char*>(data) + 2, size - 2);
  const Result whole = Read(interval, body, body.size() + 1);
  Check(whole.sound.size() <= body.size());
  if (interval == 0) Check(whole.sound == body);
  // Pieces of one byte report every title; bigger pieces may fold several blocks into one
  // report (the last title), but the sound is always the same.
  const Result bytewise = Read(interval, body, 1);
  Check(bytewise.sound == whole.sound);
  for (size_t piece : {size_t(7), size_t(4096)})
    Check(Read(interval, body, piece).sound == whole.sound);
  if (!bytewise.titles.empty()) {
    Check(!whole.titles.empty() && whole.titles.back() == bytewise.titles.back());
  }
  if (auto title = sonaro::media::StreamTitle(body)) Check(IsUtf8(*title));
  return 0;
}
