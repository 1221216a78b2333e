#include "core/gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace sonaro::core {

// Opening a converter costs far more than converting a short text: each thread keeps one of
// each. Stateless, so no call sees what an earlier one left behind.
QString FromGbk(std::string_view gbk) {
  thread_local QStringDecoder decoder("GB18030", QStringDecoder::Flag::Stateless);
  if (!decoder.isValid()) return QString::fromLatin1(gbk.data(), qsizetype(gbk.size()));
  return decoder.decode(QByteArrayView(gbk.data(), qsizetype(gbk.size())));
}

Text ToGbk(const QString& text) {
  thread_local QStringEncoder encoder("GB18030", QStringEncoder::Flag::Stateless);
  if (!encoder.isValid()) return text.toLatin1().toStdString();
  QByteArray bytes = encoder.encode(text);
  return Text(bytes.constData(), size_t(bytes.size()));
}

Text GbkFromUtf8(std::string_view utf8) {
  return ToGbk(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
}

std::string Utf8FromGbk(std::string_view gbk) { return FromGbk(gbk).toUtf8().toStdString(); }

Text GbkFromCodePoint(char32_t code) {
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return Text();
  if (code < 0x80) return Text(1, char(code));
  return ToGbk(QString::fromUcs4(&code, 1));
}

}  // namespace sonaro::core
