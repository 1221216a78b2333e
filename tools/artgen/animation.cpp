// The Main window's animation: a small radio display with an LED equaliser and notes drifting
// by. Five frames make one loop, so every motion here is periodic over five frames.
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "artgen.h"

namespace artgen {

namespace {

constexpr int kFrames = 5;
constexpr int kBars = 20;
constexpr double kBarWidth = 7;
constexpr double kBarGap = 3;
constexpr double kBarsBottom = 92;
constexpr int kSegments = 10;
constexpr double kSegmentPitch = 4;

double Phase(int frame) { return 2 * M_PI * double(frame) / kFrames; }

// Level of bar `i` in `frame`, 0..1; low bands run a little higher, as in music.
double Level(int i, int frame) {
  const double f = Phase(frame);
  const double v = 0.5 + 0.26 * std::sin(f + i * 0.74) + 0.17 * std::sin(2 * f + i * 1.93 + 1.0) +
                   0.14 * std::cos(double(i) / kBars * M_PI) + 0.06 * std::sin(i * 2.7);
  return std::clamp(v, 0.12, 1.0);
}

// Peak marker: falls slowly after a high level, over the frames before this one.
double Peak(int i, int frame) {
  double peak = 0;
  for (int back = 0; back < kFrames; ++back)
    peak = std::max(peak, Level(i, (frame - back + kFrames) % kFrames) - 0.07 * back);
  return peak;
}

QColor SegmentColour(double height) {
  // Green at the bottom, through yellow, to red at the top.
  const QColor green(64, 230, 120), yellow(250, 222, 64), red(250, 72, 60);
  auto mix = [](const QColor& a, const QColor& b, double t) {
    return QColor(int(a.red() + (b.red() - a.red()) * t),
                  int(a.green() + (b.green() - a.green()) * t),
                  int(a.blue() + (b.blue() - a.blue()) * t));
  };
  if (height < 0.55) return mix(green, yellow, height / 0.55);
  return mix(yellow, red, (height - 0.55) / 0.45);
}

double EdgeFade(double x, double width) {
  const double fade = 26;
  const double t = std::clamp(std::min(x - 6, width - 6 - x) / fade, 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// One lane of notes moving right by a fifth of their spacing per frame, bobbing as they go.
void DrawNoteLane(QPainter& p, int frame, double spacing, double start, double baseY, double size,
                  const QColor& colour, bool beamed, double width) {
  const double step = spacing / kFrames;
  for (int k = -1; k * spacing + start < width + spacing; ++k) {
    const double x = start + k * spacing + step * frame;
    const double fade = EdgeFade(x + size, width);
    if (fade <= 0) continue;
    const double y = baseY + 3.0 * std::sin(2 * M_PI * (x - start) / spacing);
    QColor glow = colour;
    glow.setAlpha(int(60 * fade));
    p.save();
    p.setPen(Qt::NoPen);
    QRadialGradient halo(QPointF(x + size * 0.6, y - size), size * 1.8);
    halo.setColorAt(0, glow);
    glow.setAlpha(0);
    halo.setColorAt(1, glow);
    p.setBrush(halo);
    p.drawEllipse(QPointF(x + size * 0.6, y - size), size * 1.8, size * 1.8);
    p.restore();
    QColor ink = colour;
    ink.setAlpha(int(255 * fade));
    if (beamed)
      DrawBeamedNotes(p, QPointF(x, y), size, ink);
    else
      DrawEighthNote(p, QPointF(x, y), size, ink);
  }
}

QImage Frame(const QImage& backdrop, int frame) {
  const int w = backdrop.width();
  const int h = backdrop.height();
  QImage image = backdrop.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF display(0.5, 0.5, w - 1, h - 1);
  QPainterPath screen;
  screen.addRoundedRect(display, 9, 9);
  QLinearGradient glass(display.topLeft(), display.bottomLeft());
  glass.setColorAt(0, QColor(6, 20, 50));
  glass.setColorAt(1, QColor(12, 38, 84));
  p.fillPath(screen, glass);
  p.setClipPath(screen);
  p.setPen(QPen(QColor(70, 130, 210, 26), 1));
  for (double y = 6.5; y < h; y += 6) p.drawLine(QPointF(0, y), QPointF(w, y));

  // ON AIR lamp, pulsing once per loop.
  const double pulse = 0.55 + 0.45 * std::cos(Phase(frame));
  QRadialGradient lamp(QPointF(13, 11), 7);
  lamp.setColorAt(0, QColor(255, 110, 90, int(255 * pulse)));
  lamp.setColorAt(0.45, QColor(236, 40, 40, int(200 * pulse + 40)));
  lamp.setColorAt(1, QColor(236, 40, 40, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(lamp);
  p.drawEllipse(QPointF(13, 11), 7, 7);
  p.setBrush(QColor(255, 120, 100, int(120 + 135 * pulse)));
  p.drawEllipse(QPointF(13, 11), 2.6, 2.6);
  DrawText(p, QRectF(21, 4, 60, 14), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ON AIR"),
           SansFont(9, true), QColor(250, 120, 110, int(150 + 100 * pulse)));
  DrawText(p, QRectF(w - 80, 4, 70, 14), Qt::AlignRight | Qt::AlignVCenter,
           QStringLiteral("Sonaro FM"), SansFont(9, true), QColor(110, 176, 240));

  DrawNoteLane(p, frame, 70, 4, 42, 8, QColor(255, 222, 110), false, w);
  DrawNoteLane(p, frame, 70, 39, 47, 6.5, QColor(140, 222, 255), true, w);

  // LED equaliser.
  const double left = (w - (kBars * kBarWidth + (kBars - 1) * kBarGap)) / 2;
  p.setPen(Qt::NoPen);
  for (int i = 0; i < kBars; ++i) {
    const double x = left + i * (kBarWidth + kBarGap);
    const int lit = int(std::lround(Level(i, frame) * kSegments));
    for (int s = 0; s < kSegments; ++s) {
      const QRectF seg(x, kBarsBottom - (s + 1) * kSegmentPitch + 1, kBarWidth, kSegmentPitch - 1);
      if (s < lit) {
        p.setBrush(SegmentColour(double(s) / (kSegments - 1)));
      } else {
        p.setBrush(QColor(40, 80, 130, 70));
      }
      p.drawRect(seg);
    }
    const int peak = std::clamp(int(std::lround(Peak(i, frame) * kSegments)), lit, kSegments);
    if (peak > lit) {
      p.setBrush(QColor(236, 244, 254));
      p.drawRect(QRectF(x, kBarsBottom - peak * kSegmentPitch + 1, kBarWidth, 1.6));
    }
  }
  // Floor line and a faint reflection of the bars' glow.
  QLinearGradient floor(QPointF(0, kBarsBottom + 1), QPointF(0, h));
  floor.setColorAt(0, QColor(90, 200, 160, 70));
  floor.setColorAt(1, QColor(90, 200, 160, 0));
  p.fillRect(QRectF(left, kBarsBottom + 1, w - 2 * left, h - kBarsBottom - 1), floor);

  // Glass sheen and the rim.
  p.setClipping(false);
  QPainterPath sheen;
  sheen.addRoundedRect(QRectF(3, 2, w - 6, 18), 8, 8);
  QLinearGradient shine(QPointF(0, 2), QPointF(0, 20));
  shine.setColorAt(0, QColor(200, 228, 255, 34));
  shine.setColorAt(1, QColor(200, 228, 255, 0));
  p.fillPath(sheen, shine);
  p.setPen(QPen(QColor(110, 176, 240, 170), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(display, 9, 9);
  p.end();
  return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

std::vector<QImage> AnimationFrames(const QImage& skin) {
  // The frames are opaque; their corners repeat the skin behind the animation window, so the
  // rounded display blends into the panel wherever the window is shown.
  const QImage backdrop = skin.copy(mainlayout::kAnimation);
  std::vector<QImage> frames;
  for (int f = 0; f < kFrames; ++f) frames.push_back(Frame(backdrop, f));
  return frames;
}

}  // namespace artgen
