#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QTransform>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "artgen.h"

namespace artgen {

namespace {

constexpr const char* kSansFamily = "Noto Sans CJK SC";
constexpr const char* kSerifFamily = "Noto Serif CJK SC";

QFont MakeFont(const char* family, int pixelSize, bool bold) {
  QFont font(QString::fromLatin1(family));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setStyleStrategy(QFont::PreferAntialias);
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setKerning(true);
  return font;
}

}  // namespace

QColor NearWhite(int alpha) { return QColor(0xFE, 0xFE, 0xFE, alpha); }

QImage NewCanvas(int width, int height, const QColor& fill) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(fill);
  return image;
}

QFont SansFont(int pixelSize, bool bold) { return MakeFont(kSansFamily, pixelSize, bold); }
QFont SerifFont(int pixelSize, bool bold) { return MakeFont(kSerifFamily, pixelSize, bold); }

void RequireFonts() {
  for (const char* family : {kSansFamily, kSerifFamily}) {
    const QFontInfo info(MakeFont(family, 12, false));
    if (info.family() != QString::fromLatin1(family)) {
      std::fprintf(stderr, "sonaro-artgen: font \"%s\" is not installed (got \"%s\")\n", family,
                   qPrintable(info.family()));
      std::exit(2);
    }
  }
}

void DrawText(QPainter& p, const QRectF& rect, int flags, const QString& text, const QFont& font,
              const QColor& ink, const QColor& shadow, QPointF shadowOffset) {
  p.save();
  p.setFont(font);
  if (shadow.alpha() > 0) {
    p.setPen(shadow);
    p.drawText(rect.translated(shadowOffset), flags, text);
  }
  p.setPen(ink);
  p.drawText(rect, flags, text);
  p.restore();
}

void DrawHaloText(QPainter& p, const QRectF& rect, int flags, const QString& text,
                  const QFont& font, const QColor& ink, const QColor& halo, double radius) {
  // The outline comes from the glyph outlines, stroked, so it is smooth at any radius.
  QPainterPath path;
  const QFontMetricsF metrics(font);
  const QSizeF size = metrics.size(0, text);
  double x = rect.left();
  if (flags & Qt::AlignHCenter) x = rect.center().x() - size.width() / 2;
  if (flags & Qt::AlignRight) x = rect.right() - size.width();
  double top = rect.top();
  if (flags & Qt::AlignVCenter) top = rect.center().y() - size.height() / 2;
  if (flags & Qt::AlignBottom) top = rect.bottom() - size.height();
  path.addText(QPointF(x, top + metrics.ascent()), font, text);

  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QPen pen(halo, radius * 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.strokePath(path, pen);
  p.fillPath(path, ink);
  p.restore();
}

QPainterPath CrescentPath(QPointF centre, double radius, QPointF biteCentre, double biteRadius) {
  QPainterPath disc;
  disc.addEllipse(centre, radius, radius);
  QPainterPath bite;
  bite.addEllipse(biteCentre, biteRadius, biteRadius);
  return disc.subtracted(bite);
}

void DrawSparkle(QPainter& p, QPointF c, double size, const QColor& colour) {
  // A four-pointed star with concave sides.
  QPainterPath star;
  const double s = size;
  const double w = size * 0.22;
  star.moveTo(c.x(), c.y() - s);
  star.quadTo(c.x() + w, c.y() - w, c.x() + s, c.y());
  star.quadTo(c.x() + w, c.y() + w, c.x(), c.y() + s);
  star.quadTo(c.x() - w, c.y() + w, c.x() - s, c.y());
  star.quadTo(c.x() - w, c.y() - w, c.x(), c.y() - s);
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient glow(c, s * 1.6);
  QColor g = colour;
  g.setAlpha(colour.alpha() / 4);
  glow.setColorAt(0, g);
  g.setAlpha(0);
  glow.setColorAt(1, g);
  p.setPen(Qt::NoPen);
  p.setBrush(glow);
  p.drawEllipse(c, s * 1.6, s * 1.6);
  p.fillPath(star, colour);
  p.restore();
}

void DrawEighthNote(QPainter& p, QPointF head, double size, const QColor& colour) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(head);
  const double rx = size / 2;
  const double ry = size * 0.36;
  const double stemX = rx * 0.86;
  const double stemTop = -size * 2.1;
  // Head, tilted like an engraved note head.
  p.save();
  p.rotate(-22);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawEllipse(QPointF(0, 0), rx, ry);
  p.restore();
  QPen stem(colour, std::max(1.0, size * 0.14), Qt::SolidLine, Qt::FlatCap);
  p.setPen(stem);
  p.drawLine(QPointF(stemX, -ry * 0.3), QPointF(stemX, stemTop));
  // Flag.
  QPainterPath flag;
  flag.moveTo(stemX, stemTop);
  flag.cubicTo(stemX + size * 0.2, stemTop + size * 0.5, stemX + size * 0.95, stemTop + size * 0.7,
               stemX + size * 0.55, stemTop + size * 1.45);
  flag.cubicTo(stemX + size * 0.7, stemTop + size * 0.85, stemX + size * 0.3, stemTop + size * 0.7,
               stemX, stemTop + size * 0.55);
  flag.closeSubpath();
  p.setPen(Qt::NoPen);
  p.fillPath(flag, colour);
  p.restore();
}

void DrawBeamedNotes(QPainter& p, QPointF head, double size, const QColor& colour) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(head);
  const double rx = size / 2;
  const double ry = size * 0.36;
  const double gap = size * 1.45;
  const double stemX = rx * 0.86;
  const double top0 = -size * 2.1;
  const double top1 = top0 - size * 0.35;
  for (int i = 0; i < 2; ++i) {
    const double dy = i == 0 ? 0 : -size * 0.35;
    p.save();
    p.translate(gap * i, dy);
    p.rotate(-22);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(0, 0), rx, ry);
    p.restore();
  }
  QPen stem(colour, std::max(1.0, size * 0.14), Qt::SolidLine, Qt::FlatCap);
  p.setPen(stem);
  p.drawLine(QPointF(stemX, -ry * 0.3), QPointF(stemX, top0));
  p.drawLine(QPointF(gap + stemX, -size * 0.35 - ry * 0.3), QPointF(gap + stemX, top1));
  QPainterPath beam;
  const double thick = size * 0.38;
  beam.moveTo(stemX - size * 0.07, top0);
  beam.lineTo(gap + stemX + size * 0.07, top1);
  beam.lineTo(gap + stemX + size * 0.07, top1 + thick);
  beam.lineTo(stemX - size * 0.07, top0 + thick);
  beam.closeSubpath();
  p.setPen(Qt::NoPen);
  p.fillPath(beam, colour);
  p.restore();
}

void DrawBlossom(QPainter& p, QPointF centre, double radius, const QColor& petal,
                 const QColor& heart, double rotationDeg) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(centre);
  p.rotate(rotationDeg);
  QColor edge = petal.darker(118);
  for (int i = 0; i < 5; ++i) {
    p.save();
    p.rotate(72.0 * i);
    QPainterPath leaf;
    // A rounded petal with a small notch at its tip, like a cherry blossom.
    leaf.moveTo(0, 0);
    leaf.cubicTo(-radius * 0.55, -radius * 0.25, -radius * 0.6, -radius * 0.95, -radius * 0.18,
                 -radius);
    leaf.lineTo(0, -radius * 0.86);
    leaf.lineTo(radius * 0.18, -radius);
    leaf.cubicTo(radius * 0.6, -radius * 0.95, radius * 0.55, -radius * 0.25, 0, 0);
    QLinearGradient shade(QPointF(0, 0), QPointF(0, -radius));
    shade.setColorAt(0, edge);
    shade.setColorAt(0.45, petal);
    shade.setColorAt(1, petal.lighter(104));
    p.fillPath(leaf, shade);
    p.restore();
  }
  p.setPen(Qt::NoPen);
  p.setBrush(heart);
  p.drawEllipse(QPointF(0, 0), radius * 0.2, radius * 0.2);
  QColor dot = heart.darker(130);
  p.setBrush(dot);
  for (int i = 0; i < 5; ++i) {
    const double a = (72.0 * i + 36.0) * M_PI / 180.0;
    p.drawEllipse(QPointF(std::sin(a) * radius * 0.34, -std::cos(a) * radius * 0.34),
                  radius * 0.06 + 0.4, radius * 0.06 + 0.4);
  }
  p.restore();
}

void DrawLeaf(QPainter& p, QPointF base, double length, double angleDeg, const QColor& colour) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(base);
  p.rotate(angleDeg);
  QPainterPath leaf;
  const double w = length * 0.36;
  leaf.moveTo(0, 0);
  leaf.cubicTo(length * 0.3, -w, length * 0.75, -w * 0.8, length, 0);
  leaf.cubicTo(length * 0.75, w * 0.8, length * 0.3, w, 0, 0);
  QLinearGradient shade(QPointF(0, -w), QPointF(0, w));
  shade.setColorAt(0, colour.lighter(120));
  shade.setColorAt(1, colour.darker(115));
  p.fillPath(leaf, shade);
  QPen vein(colour.darker(135), std::max(0.6, length * 0.04));
  p.setPen(vein);
  p.drawLine(QPointF(length * 0.05, 0), QPointF(length * 0.85, 0));
  p.restore();
}

void DrawHeart(QPainter& p, QPointF c, double size, const QColor& colour) {
  QPainterPath heart;
  const double s = size / 2;
  heart.moveTo(c.x(), c.y() + s * 0.95);
  heart.cubicTo(c.x() - s * 1.3, c.y() + s * 0.1, c.x() - s * 0.95, c.y() - s * 1.05, c.x(),
                c.y() - s * 0.45);
  heart.cubicTo(c.x() + s * 0.95, c.y() - s * 1.05, c.x() + s * 1.3, c.y() + s * 0.1, c.x(),
                c.y() + s * 0.95);
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.fillPath(heart, colour);
  p.restore();
}

void DrawSpeakerIcon(QPainter& p, const QRectF& box, const QColor& body, const QColor& waves) {
  // A loudspeaker facing right with three sound waves, fitted into `box`.
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const double h = box.height();
  const double x = box.left();
  const double cy = box.center().y();
  QPainterPath cone;
  cone.moveTo(x, cy - h * 0.17);
  cone.lineTo(x + h * 0.24, cy - h * 0.17);
  cone.lineTo(x + h * 0.52, cy - h * 0.42);
  cone.lineTo(x + h * 0.52, cy + h * 0.42);
  cone.lineTo(x + h * 0.24, cy + h * 0.17);
  cone.lineTo(x, cy + h * 0.17);
  cone.closeSubpath();
  p.fillPath(cone, body);
  QPen pen(waves, h * 0.08, Qt::SolidLine, Qt::RoundCap);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  for (int i = 0; i < 3; ++i) {
    const double r = h * (0.2 + 0.16 * i);
    const QRectF arc(x + h * 0.5 - r, cy - r, 2 * r, 2 * r);
    p.drawArc(arc, -40 * 16, 80 * 16);
  }
  p.restore();
}

QImage Straight(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32); }

void ClampWhite(QImage& image) {
  const bool alpha = image.hasAlphaChannel();
  if (alpha && image.format() != QImage::Format_ARGB32)
    image = image.convertToFormat(QImage::Format_ARGB32);
  else if (!alpha && image.format() != QImage::Format_RGB32)
    image = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if ((row[x] & 0xFFFFFF) == kPureWhite && (!alpha || qAlpha(row[x]) > 0))
        row[x] = (row[x] & 0xFF000000u) | kNearWhite;
    }
  }
}

QImage CutWindowOutline(const QImage& art, const QPainterPath& outline) {
  QImage out = art.convertToFormat(QImage::Format_RGB32);
  ClampWhite(out);
  for (int y = 0; y < out.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      if (!outline.contains(QPointF(x + 0.5, y + 0.5))) row[x] = 0xFF000000u | kPureWhite;
    }
  }
  return out;
}

QPainterPath RoundedOutline(QSizeF size, double radius) {
  QPainterPath path;
  path.addRoundedRect(QRectF(QPointF(0, 0), size), radius, radius);
  return path;
}

}  // namespace artgen
