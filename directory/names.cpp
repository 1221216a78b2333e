#include "directory/names.h"

#include <opencc/opencc.h>

#include <QString>
#include <mutex>

namespace sonaro::directory {

namespace {

struct Converter {
  std::mutex mutex;  // one converter object is not to be used by two threads at once
  opencc_t handle = reinterpret_cast<opencc_t>(-1);
  Converter() { handle = opencc_open(OPENCC_DEFAULT_CONFIG_TRAD_TO_SIMP); }
  ~Converter() {
    if (Opened()) opencc_close(handle);
  }
  bool Opened() const { return handle != reinterpret_cast<opencc_t>(-1); }
};

Converter& TheConverter() {
  static Converter converter;
  return converter;
}

std::string Simplified(std::string_view utf8) {
  Converter& converter = TheConverter();
  if (!converter.Opened() || utf8.empty()) return std::string(utf8);
  std::lock_guard lock(converter.mutex);
  char* converted = opencc_convert_utf8(converter.handle, utf8.data(), utf8.size());
  if (!converted) return std::string(utf8);
  std::string result(converted);
  opencc_convert_utf8_free(converted);
  return result;
}

}  // namespace

bool HasChineseConversion() { return TheConverter().Opened(); }

std::string FoldName(std::string_view utf8) {
  const QString text =
      QString::fromStdString(Simplified(utf8)).normalized(QString::NormalizationForm_KC).toLower();
  QString folded;
  folded.reserve(text.size());
  for (const QChar c : text) {
    if (c.isSpace() || c.isPunct() || c.isSymbol()) continue;
    folded += c;
  }
  return folded.toStdString();
}

}  // namespace sonaro::directory
