// Fuzzes XmlDoc: loading any bytes, then reading by the path language as the board does.
//
// Input: a document, then optionally 0xFF and one more path to read.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/xmldoc.h"

namespace {

using namespace sonaro;

void Check(bool ok) {
  if (!ok) std::abort();
}

const char* const kFields[] = {"chenghu", "diangezhe", "beichenghu", "beidiangezhe",
                               "geming",  "gequdizhi", "zhufuyu",    ""};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t split = input.rfind('\xFF');
  std::string_view bytes = split == std::string_view::npos ? input : input.substr(0, split);
  std::string_view extra = split == std::string_view::npos ? "" : input.substr(split + 1);

  core::XmlDoc doc;
  bool loaded = doc.Load(bytes);
  Check(loaded == doc.IsLoaded());
  if (!loaded) {
    Check(doc.ChildCount("@1/") == 0 && doc.Value("@1/").empty() && doc.Value(extra).empty());
    return 0;
  }
  std::ptrdiff_t n = doc.ChildCount("@1/");
  Check(n >= 0);
  Check(doc.ChildCount("@1/@0") == 0 && doc.Value("@1/@0").empty());
  Check(doc.Value("@1/@" + std::to_string(n + 1)).empty());

  // Reading the records forwards and then backwards gives the same texts: the lookup caches
  // must not mix up parents.
  std::ptrdiff_t shown = n < 64 ? n : 64;
  std::vector<core::Text> forwards;
  for (std::ptrdiff_t i = 1; i <= shown; ++i) {
    for (const char* field : kFields) {
      forwards.push_back(doc.Value("@1/@" + std::to_string(i) + "/" + field));
    }
    doc.ChildCount("@1/@" + std::to_string(i) + "/");
  }
  size_t k = forwards.size();
  for (std::ptrdiff_t i = shown; i >= 1; --i) {
    for (size_t f = std::size(kFields); f-- > 0;) {
      Check(doc.Value("@1/@" + std::to_string(i) + "/" + kFields[f]) == forwards[--k]);
    }
  }
  core::Text whole = doc.Value("@1/");
  Check(whole == doc.Value("@1"));
  core::Text once = doc.Value(extra);
  doc.ChildCount(extra);
  Check(doc.Value(extra) == once);

  // Loading the same bytes again gives the same document.
  core::XmlDoc again;
  Check(again.Load(bytes) && again.Value("@1/") == whole);
  doc.Release();
  Check(!doc.IsLoaded() && doc.Value("@1/").empty());
  return 0;
}
