// Helpers of the skin tests: pictures made on the fly (PNG through Qt, GIF by a small encoder),
// pixel reading and real input through the platform's event path.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <vector>

#include "skin/runtime.h"
#include "skin/testing.h"

namespace sonaro::skin::test {

inline QByteArray Png(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

inline QImage Solid(int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(colour);
  return image;
}

inline QByteArray SolidPng(int width, int height, QColor colour) {
  return Png(Solid(width, height, colour));
}

// A GIF89a of solid frames: frame i is coloured colours[i] (at most 4 frames) and stores
// delays[i] hundredths of a second; with withDelays false the frames carry no graphic control
// extension at all. The LZW stream restarts (clear code) before every pixel so that all codes
// stay 3 bits wide.
inline QByteArray Gif(int width, int height, const std::vector<QRgb>& colours,
                      const std::vector<int>& delays, bool withDelays = true) {
  QByteArray gif("GIF89a");
  auto word = [&gif](int value) {
    gif.append(char(value & 0xFF));
    gif.append(char((value >> 8) & 0xFF));
  };
  word(width);
  word(height);
  gif.append(char(0xF1));  // global table of 4 colours, 8-bit resolution
  gif.append(char(0));
  gif.append(char(0));
  for (int i = 0; i < 4; ++i) {
    const QRgb c = i < int(colours.size()) ? colours[size_t(i)] : qRgb(255, 255, 255);
    gif.append(char(qRed(c)));
    gif.append(char(qGreen(c)));
    gif.append(char(qBlue(c)));
  }
  // Loop for ever.
  gif.append(QByteArray::fromHex("21FF0B4E45545343415045322E300301000000"));
  for (size_t frame = 0; frame < colours.size(); ++frame) {
    if (withDelays) {
      gif.append(QByteArray::fromHex("21F904"));
      gif.append(char(0x04));  // do not dispose
      word(frame < delays.size() ? delays[frame] : 0);
      gif.append(char(0));
      gif.append(char(0));
    }
    gif.append(char(0x2C));
    word(0);
    word(0);
    word(width);
    word(height);
    gif.append(char(0));
    gif.append(char(2));  // LZW minimum code size
    QByteArray data;
    uint32_t bits = 0;
    int count = 0;
    auto code = [&](int value) {
      bits |= uint32_t(value) << count;
      count += 3;
      while (count >= 8) {
        data.append(char(bits & 0xFF));
        bits >>= 8;
        count -= 8;
      }
    };
    for (int pixel = 0; pixel < width * height; ++pixel) {
      code(4);  // clear
      code(int(frame));
    }
    code(5);  // end of information
    if (count > 0) data.append(char(bits & 0xFF));
    for (qsizetype at = 0; at < data.size(); at += 255) {
      const QByteArray block = data.mid(at, 255);
      gif.append(char(block.size()));
      gif.append(block);
    }
    gif.append(char(0));
  }
  gif.append(char(0x3B));
  return gif;
}

// A widget's pixel as premultiplied ARGB, from a rendered picture.
inline QRgb Pixel(const QImage& image, int x, int y) {
  return image.convertToFormat(QImage::Format_ARGB32).pixel(x, y);
}

// What a top-level window shows, rendered through its real paint path.
inline QImage Grab(QWidget* window) { return window->grab().toImage(); }

inline bool ShowAndWait(QWidget* window) {
  window->show();
  return QTest::qWaitForWindowExposed(window);
}

// Real input through the platform (QPA) event path, positions in the top-level window.
inline QWindow* Handle(QWidget* widget) { return widget->window()->windowHandle(); }
inline QPoint At(QWidget* widget, QPoint local) { return widget->mapTo(widget->window(), local); }
inline void MoveTo(QWidget* widget, QPoint local) {
  QTest::mouseMove(Handle(widget), At(widget, local));
}
inline void Press(QWidget* widget, QPoint local) {
  QTest::mousePress(Handle(widget), Qt::LeftButton, {}, At(widget, local));
}
inline void Release(QWidget* widget, QPoint local) {
  QTest::mouseRelease(Handle(widget), Qt::LeftButton, {}, At(widget, local));
}

// Empties the clean-up trace of animation windows.
struct CleanupTraceGuard {
  CleanupTraceGuard() { sonaro::skin::testing::CleanupTrace().clear(); }
};

// A top-level window that paints itself in one colour (what lies behind the skinned controls).
class Backdrop : public QWidget {
 public:
  explicit Backdrop(QColor colour = QColor(0, 0, 255)) : colour_(colour) {}
  void SetColour(QColor colour) {
    colour_ = colour;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), colour_);
  }

 private:
  QColor colour_;
};

}  // namespace sonaro::skin::test
