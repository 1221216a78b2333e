#include "skin/image.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QWidget>
#include <algorithm>
#include <cstring>

#include "ui/picture.h"

namespace sonaro::skin {

QRect ChangedArea(const QImage& before, const QImage& after) {
  if (before.isNull() || before.size() != after.size() || before.format() != after.format() ||
      before.depth() != 32) {
    return after.rect();
  }
  const int width = after.width();
  const size_t rowBytes = size_t(width) * 4;
  int top = -1, bottom = -1, left = width, right = -1;
  for (int y = 0; y < after.height(); ++y) {
    const auto* a = reinterpret_cast<const uint32_t*>(before.constScanLine(y));
    const auto* b = reinterpret_cast<const uint32_t*>(after.constScanLine(y));
    if (std::memcmp(a, b, rowBytes) == 0) continue;
    if (top < 0) top = y;
    bottom = y;
    int x = 0;
    while (x < left && a[x] == b[x]) ++x;
    left = std::min(left, x);
    x = width - 1;
    while (x > right && a[x] == b[x]) --x;
    right = std::max(right, x);
  }
  return top < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

QSize FitSize(int imageWidth, int imageHeight, int boxWidth, int boxHeight) {
  int width = imageWidth, height = imageHeight;
  if (imageWidth > boxWidth && imageWidth != 0) {
    width = boxWidth;
    height = int(int64_t(imageHeight) * boxWidth / imageWidth);
  }
  if (height > boxHeight && height != 0) {
    width = int(int64_t(width) * boxHeight / height);
    height = boxHeight;
  }
  return QSize(width, height);
}

namespace {

// Skips a chain of data sub-blocks; returns the offset after the terminator, or -1.
qsizetype SkipSubBlocks(const QByteArray& bytes, qsizetype at) {
  while (at < bytes.size()) {
    const int length = uchar(bytes[at]);
    ++at;
    if (length == 0) return at;
    at += length;
  }
  return -1;
}

}  // namespace

std::vector<int> GifFrameDelays(const QByteArray& bytes) {
  std::vector<int> delays;
  if (bytes.size() < 13 || !(bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))) {
    return delays;
  }
  qsizetype at = 13;
  const int screenFlags = uchar(bytes[10]);
  if (screenFlags & 0x80) at += 3 * (1 << ((screenFlags & 7) + 1));
  int pendingDelay = 0;
  while (at < bytes.size()) {
    const int block = uchar(bytes[at]);
    if (block == 0x3B) break;  // trailer
    if (block == 0x21) {       // extension
      if (at + 1 >= bytes.size()) break;
      const int label = uchar(bytes[at + 1]);
      if (label == 0xF9 && at + 7 < bytes.size() && uchar(bytes[at + 2]) >= 4) {
        pendingDelay = uchar(bytes[at + 4]) | (uchar(bytes[at + 5]) << 8);
      }
      at = SkipSubBlocks(bytes, at + 2);
      if (at < 0) break;
    } else if (block == 0x2C) {  // image descriptor
      if (at + 10 > bytes.size()) break;
      const int flags = uchar(bytes[at + 9]);
      at += 10;
      if (flags & 0x80) at += 3 * (1 << ((flags & 7) + 1));
      at += 1;  // LZW minimum code size
      at = SkipSubBlocks(bytes, at);
      delays.push_back(pendingDelay);
      pendingDelay = 0;
      if (at < 0) break;
    } else {
      break;  // not a GIF block: stop where the structure ends
    }
  }
  return delays;
}

Image* Image::Decode(const QByteArray& bytes, bool allFrames) {
  if (bytes.isEmpty()) return nullptr;
  QByteArray copy = bytes;  // the image keeps its own block, as a memory stream does
  QBuffer buffer(&copy);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  ui::NameFormat(reader, copy);
  std::vector<QImage> frames;
  std::vector<int> readerDelays;
  do {
    QImage frame = reader.read();
    if (frame.isNull()) break;
    // Premultiplied ARGB for blending; pictures without alpha stay opaque RGB (drawn as copies).
    frames.push_back(frame.convertToFormat(
        frame.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32));
    readerDelays.push_back(reader.nextImageDelay() / 10);
  } while (allFrames && reader.canRead());
  if (frames.empty()) return nullptr;

  auto* image = new Image;
  image->size_ = frames.front().size();
  if (allFrames) {
    image->frameCount_ = int(frames.size());
  } else {
    image->frameCount_ = std::max(1, reader.imageCount());
  }
  image->frames_ = std::move(frames);
  if (image->frameCount_ > 1) {
    std::vector<int> delays = GifFrameDelays(copy);
    if (delays.empty() && allFrames) delays = readerDelays;  // other animated formats
    delays.resize(size_t(image->frameCount_), 0);
    image->delays_ = std::move(delays);
  }
  return image;
}

bool Image::SelectFrame(int index) {
  if (index < 0 || size_t(index) >= frames_.size()) return false;
  selected_ = index;
  return true;
}

Image* LoadImageFromBytes(const QByteArray& bytes) { return Image::Decode(bytes, false); }

void DisposeImage(Image* image) { delete image; }

void DrawByBackType(QPainter& painter, const QRect& box, const Image& image, int backType) {
  const QImage& frame = image.Frame();
  const int w = box.width(), h = box.height();
  if (backType == 1) {
    if (frame.size() == box.size()) {
      painter.drawImage(box.topLeft(), frame);
    } else {
      painter.save();
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(box, frame);
      painter.restore();
    }
  } else if (backType == 2) {
    const QSize fit = FitSize(image.Width(), image.Height(), w, h);
    const QRect target(box.x() + (w - fit.width()) / 2, box.y() + (h - fit.height()) / 2,
                       fit.width(), fit.height());
    if (fit == frame.size()) {
      painter.drawImage(target.topLeft(), frame);
    } else {
      painter.save();
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(target, frame);
      painter.restore();
    }
  } else if (image.Width() - w > 0 || image.Height() - h > 0) {
    // Larger than the control in either direction: only its top-left w x h part, unscaled.
    painter.drawImage(box.topLeft(), frame, QRect(0, 0, w, h).intersected(frame.rect()));
  } else {
    painter.drawImage(box.topLeft(), frame);
  }
}

QString ControlText(const QWidget* control) {
  if (!control) return {};
  if (auto* edit = qobject_cast<const QLineEdit*>(control)) return edit->text();
  if (auto* text = qobject_cast<const QPlainTextEdit*>(control)) return text->toPlainText();
  if (auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
  if (auto* label = qobject_cast<const QLabel*>(control)) return label->text();
  return control->windowTitle();
}

}  // namespace sonaro::skin
