// Decoding the program's pictures (PNG, BMP, JPEG, GIF) from bytes. The format is read from
// the first bytes and named to the decoder: left to guess, Qt loads every image-format plugin
// it has (TIFF, WebP, SVG, ... with their libraries) to ask each in turn, which took a tenth of
// start-up.
#pragma once

#include <QByteArray>
#include <QImage>

class QImageReader;

namespace sonaro::ui {

// "png", "bmp", "jpeg" or "gif" by the signature bytes; null for anything else.
const char* PictureFormat(const QByteArray& bytes);

// Has reader decode bytes as the format PictureFormat names, asking no other decoder; other
// formats are guessed from the content.
void NameFormat(QImageReader& reader, const QByteArray& bytes);

// The picture, or a null image.
QImage DecodePicture(const QByteArray& bytes);

}  // namespace sonaro::ui
