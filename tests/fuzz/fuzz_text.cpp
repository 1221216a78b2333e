// Fuzzes the GBK text operations, TextBetween and the update page reader.
//
// Input: text, then optionally 0xFF and a sought text, 0xFF and a replacement (0xFF never occurs
// in GBK). Without a sought text the input is read as an update page.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/text.h"
#include "core/update_page.h"

namespace {

using namespace sonaro;

void Check(bool ok) {
  if (!ok) std::abort();
}

bool StartsCharacter(std::string_view text, size_t pos) {
  size_t i = 0;
  while (i < pos) i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
  return i == pos;
}

void Operations(std::string_view text, std::string_view sought, std::string_view other) {
  std::ptrdiff_t found = core::TextFind(text, sought);
  if (found == -1) {
    // Nothing at any character start.
    if (!sought.empty() && text.size() <= 4096) {
      for (size_t i = 0; i < text.size();
           i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1) {
        Check(text.compare(i, sought.size(), sought) != 0);
      }
    }
  } else {
    Check(found >= 1 && size_t(found) - 1 + sought.size() <= text.size());
    Check(text.substr(size_t(found) - 1, sought.size()) == sought);
    if (text.size() <= 4096) Check(StartsCharacter(text, size_t(found) - 1));
  }

  std::ptrdiff_t start = other.empty() ? 1 : static_cast<signed char>(other[0]);
  std::ptrdiff_t count = other.size() < 2 ? 3 : static_cast<signed char>(other[1]);
  core::Text middle = core::TextMiddle(text, start, count);
  Check(middle.size() <= text.size());
  if (!middle.empty()) Check(text.substr(size_t(start) - 1, middle.size()) == middle);

  // Replacing a text by itself changes nothing; replacing it by something else keeps the rest.
  Check(core::TextReplaceAll(text, sought, sought) == text);
  core::Text replaced = core::TextReplaceAll(text, sought, other);
  if (found == -1) Check(replaced == text);

  // Joining the pieces again gives the text, less a separator that ended it.
  std::vector<core::Text> pieces = core::TextSplit(text, sought);
  if (!sought.empty()) {
    core::Text joined;
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (i) joined += sought;
      joined += pieces[i];
    }
    Check(joined == text || joined + core::Text(sought) == text);
  }

  core::Text between = core::TextBetween(text, sought, other);
  if (!between.empty()) {
    std::ptrdiff_t p = core::TextFind(text, sought);
    Check(p != -1);
    Check(text.substr(size_t(p) - 1 + sought.size(), between.size()) == between);
  }

  Check(!std::isnan(core::TextToNumber(text)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t first = input.find('\xFF');
  if (first == std::string_view::npos) {
    core::Text page = core::TextFromBytes(input);
    Check(page.size() <= input.size() && page.find('\0') == core::Text::npos);
    core::UpdatePage fields = core::ReadUpdatePage(page);
    // Every field comes from inside the page.
    for (const core::Text* field : {&fields.latest, &fields.address, &fields.mode}) {
      Check(field->empty() || page.find(*field) != core::Text::npos);
    }
    Check(fields.notes.size() <= page.size());
    core::IsNewerVersion(fields.latest, "2.0");
    core::Text name = core::DownloadFileName(fields.address);
    Check(name.find('/') == core::Text::npos || core::TextFind(name, "/") == -1);
    Operations(page, "////", "</p>");
    return 0;
  }
  std::string_view text = input.substr(0, first);
  std::string_view rest = input.substr(first + 1);
  size_t second = rest.find('\xFF');
  std::string_view sought = rest.substr(0, second);
  std::string_view other = second == std::string_view::npos ? "" : rest.substr(second + 1);
  Operations(text, sought, other);
  return 0;
}
