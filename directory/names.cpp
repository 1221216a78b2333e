#include "directory/names.h"

#include <opencc/opencc.h>

#include <QString>
#include <algorithm>
#include <mutex>

namespace sonaro::directory {

namespace {

struct Converter {
  std::mutex mutex;  // one converter object is not to be used by two threads at once
  opencc_t handle = reinterpret_cast<opencc_t>(-1);
  explicit Converter(const char* config) { handle = opencc_open(config); }
  ~Converter() {
    if (Opened()) opencc_close(handle);
  }
  bool Opened() const { return handle != reinterpret_cast<opencc_t>(-1); }
};

Converter& ToSimplified() {
  static Converter converter(OPENCC_DEFAULT_CONFIG_TRAD_TO_SIMP);
  return converter;
}

Converter& ToTraditional() {
  static Converter converter(OPENCC_DEFAULT_CONFIG_SIMP_TO_TRAD);
  return converter;
}

std::string Converted(Converter& converter, std::string_view utf8) {
  if (!converter.Opened() || utf8.empty()) return std::string(utf8);
  std::lock_guard lock(converter.mutex);
  char* converted = opencc_convert_utf8(converter.handle, utf8.data(), utf8.size());
  if (!converted) return std::string(utf8);
  std::string result(converted);
  opencc_convert_utf8_free(converted);
  return result;
}

}  // namespace

bool HasChineseConversion() { return ToSimplified().Opened() && ToTraditional().Opened(); }

std::vector<std::string> ChineseVariants(std::string_view utf8) {
  std::vector<std::string> variants{std::string(utf8)};
  for (Converter* converter : {&ToSimplified(), &ToTraditional()}) {
    std::string variant = Converted(*converter, utf8);
    if (std::find(variants.begin(), variants.end(), variant) == variants.end())
      variants.push_back(std::move(variant));
  }
  return variants;
}

std::string FoldName(std::string_view utf8) {
  const QString text = QString::fromStdString(Converted(ToSimplified(), utf8))
                           .normalized(QString::NormalizationForm_KC)
                           .toLower();
  QString folded;
  folded.reserve(text.size());
  for (const QChar c : text) {
    if (c.isSpace() || c.isPunct() || c.isSymbol()) continue;
    folded += c;
  }
  return folded.toStdString();
}

}  // namespace sonaro::directory
