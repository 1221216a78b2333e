#include "ui/picture.h"

#include <QBuffer>
#include <QImageReader>

namespace sonaro::ui {

const char* PictureFormat(const QByteArray& bytes) {
  if (bytes.startsWith("\x89PNG\r\n\x1a\n")) return "png";
  if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) return "gif";
  if (bytes.startsWith("\xff\xd8\xff")) return "jpeg";
  if (bytes.startsWith("BM") && bytes.size() >= 14) return "bmp";
  return nullptr;
}

void NameFormat(QImageReader& reader, const QByteArray& bytes) {
  if (const char* format = PictureFormat(bytes)) {
    reader.setFormat(format);
    reader.setAutoDetectImageFormat(false);  // only that format's decoder is asked
  } else {
    reader.setDecideFormatFromContent(true);
  }
}

QImage DecodePicture(const QByteArray& bytes) {
  QByteArray copy = bytes;
  QBuffer buffer(&copy);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  NameFormat(reader, bytes);
  return reader.read();
}

}  // namespace sonaro::ui
