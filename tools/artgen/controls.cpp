// Control pictures: window keys, the Main window's and the board's buttons, the volume knob and
// scale, the program icon and the cursor.
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "artgen.h"

namespace artgen {

namespace {

struct KeyColours {
  QColor top, bottom, edge;
};

const KeyColours kGreyKey{QColor(88, 92, 100), QColor(42, 44, 50), QColor(18, 20, 24)};
const KeyColours kLightGreyKey{QColor(124, 132, 146), QColor(70, 76, 88), QColor(24, 28, 34)};
const KeyColours kRedKey{QColor(242, 98, 86), QColor(194, 34, 30), QColor(110, 14, 14)};
const QColor kRedArrow(236, 38, 38);

// Starts `p` on a new picture of a rounded key filling it, highlighted along its top edge.
void BeginKey(QPainter& p, QImage& image, QSize size, const KeyColours& colours) {
  image = NewCanvas(size.width(), size.height());
  p.begin(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF body(0.5, 0.5, size.width() - 1, size.height() - 1);
  QLinearGradient fill(body.topLeft(), body.bottomLeft());
  fill.setColorAt(0, colours.top);
  fill.setColorAt(1, colours.bottom);
  p.setPen(QPen(colours.edge, 1));
  p.setBrush(fill);
  p.drawRoundedRect(body, 3.5, 3.5);
  p.setPen(QPen(QColor(220, 230, 244, 70), 1));
  p.drawLine(QPointF(3.5, 1.5), QPointF(size.width() - 3.5, 1.5));
}

QImage Finish(QPainter& p, QImage& image) {
  p.end();
  QImage out = Straight(image);
  ClampWhite(out);
  return out;
}

QPainterPath HalfDisc(QPointF centre, double radius, double startDeg) {
  QPainterPath path;
  const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
  path.moveTo(centre);
  path.arcTo(box, startDeg, -180);
  path.closeSubpath();
  return path;
}

void FillHalfDisc(QPainter& p, const QPainterPath& disc) {
  const QRectF box = disc.boundingRect();
  QRadialGradient fill(box.center() - QPointF(box.width() * 0.2, box.height() * 0.25),
                       std::max(box.width(), box.height()));
  fill.setColorAt(0, QColor(120, 206, 255));
  fill.setColorAt(0.6, QColor(20, 128, 232));
  fill.setColorAt(1, QColor(4, 84, 186));
  p.fillPath(disc, fill);
  p.strokePath(disc, QPen(QColor(200, 232, 255, 210), 1));
}

}  // namespace

QImage CloseKey(bool hover) {
  QImage image;
  QPainter p;
  BeginKey(p, image, mainlayout::kClose.size(), hover ? kRedKey : kGreyKey);
  p.setPen(QPen(NearWhite(), 1.8, Qt::SolidLine, Qt::RoundCap));
  const QPointF c(14, 9);
  p.drawLine(c + QPointF(-4, -3.6), c + QPointF(4, 3.6));
  p.drawLine(c + QPointF(-4, 3.6), c + QPointF(4, -3.6));
  return Finish(p, image);
}

QImage MinimiseKey(bool hover) {
  QImage image;
  QPainter p;
  BeginKey(p, image, mainlayout::kMinimise.size(), hover ? kLightGreyKey : kGreyKey);
  p.setPen(Qt::NoPen);
  p.setBrush(NearWhite());
  p.drawRoundedRect(QRectF(5, 10.5, 9, 2.2), 0.8, 0.8);
  return Finish(p, image);
}

QImage MaximiseKey(bool hover) {
  const KeyColours& colours = hover ? kLightGreyKey : kGreyKey;
  QImage image;
  QPainter p;
  BeginKey(p, image, mainlayout::kMaximise.size(), colours);
  // Restore symbol: two overlapping window outlines.
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(NearWhite(), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRect(7, 4, 7, 6));
  const QColor behind = QColor((colours.top.red() + colours.bottom.red()) / 2,
                               (colours.top.green() + colours.bottom.green()) / 2,
                               (colours.top.blue() + colours.bottom.blue()) / 2);
  p.fillRect(QRect(5, 7, 7, 6), behind);
  p.drawRect(QRect(4, 7, 7, 6));
  p.fillRect(QRect(5, 8, 6, 5), behind);
  p.drawLine(5, 8, 10, 8);
  return Finish(p, image);
}

QImage StationsButton(bool hover) {
  // Only the top 24 rows are drawn: the request button below overlaps the rest.
  QImage image = NewCanvas(mainlayout::kStations.width(), mainlayout::kStations.height());
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  DrawText(p, QRectF(0, 0, 67, 23), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("电台列表"),
           SansFont(14, true), NearWhite(), QColor(4, 36, 96, 180));
  const QPainterPath disc = HalfDisc(QPointF(71, 11.5), 11, 90);
  FillHalfDisc(p, disc);
  QPainterPath arrow;
  arrow.moveTo(73, 6.5);
  arrow.lineTo(80, 11.5);
  arrow.lineTo(73, 16.5);
  arrow.closeSubpath();
  p.fillPath(arrow, hover ? kRedArrow : NearWhite());
  p.end();
  QImage out = Straight(image);
  ClampWhite(out);
  return out;
}

QImage RequestButton(bool hover) {
  QImage image = NewCanvas(mainlayout::kRequest.width(), mainlayout::kRequest.height());
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  DrawText(p, QRectF(0, 0, 91, 19), Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("我要点歌"),
           SansFont(14, true), NearWhite(), QColor(4, 36, 96, 180));
  const QPainterPath disc = HalfDisc(QPointF(45.5, 20.5), 11.5, 0);
  FillHalfDisc(p, disc);
  QPainterPath arrow;
  arrow.moveTo(40, 22.5);
  arrow.lineTo(51, 22.5);
  arrow.lineTo(45.5, 29.5);
  arrow.closeSubpath();
  p.fillPath(arrow, hover ? kRedArrow : NearWhite());
  p.end();
  QImage out = Straight(image);
  ClampWhite(out);
  return out;
}

QImage BoardButton(bool hover) {
  QImage image = NewCanvas(117, 24);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF pill(0.5, 0.5, 116, 23);
  QLinearGradient fill(pill.topLeft(), pill.bottomLeft());
  if (hover) {
    fill.setColorAt(0, QColor(255, 196, 110));
    fill.setColorAt(0.5, QColor(255, 150, 60));
    fill.setColorAt(1, QColor(244, 112, 36));
  } else {
    fill.setColorAt(0, QColor(255, 170, 80));
    fill.setColorAt(0.5, QColor(246, 126, 40));
    fill.setColorAt(1, QColor(214, 86, 20));
  }
  p.setPen(QPen(hover ? QColor(196, 84, 16) : QColor(160, 64, 12), 1));
  p.setBrush(fill);
  p.drawRoundedRect(pill, 11.5, 11.5);
  // Gloss over the upper half.
  QPainterPath gloss;
  gloss.addRoundedRect(QRectF(3, 2, 111, 9), 4.5, 4.5);
  QLinearGradient shine(QPointF(0, 2), QPointF(0, 11));
  shine.setColorAt(0, QColor(255, 246, 226, hover ? 150 : 120));
  shine.setColorAt(1, QColor(255, 246, 226, 0));
  p.fillPath(gloss, shine);
  DrawEighthNote(p, QPointF(27, 16), 6, NearWhite());
  DrawText(p, QRectF(32, 0, 76, 24), Qt::AlignCenter, QStringLiteral("我要点歌"),
           SansFont(13, true), NearWhite(), QColor(140, 50, 0, 170));
  p.end();
  QImage out = Straight(image);
  ClampWhite(out);
  return out;
}

QImage VolumeKnob() {
  QImage image = NewCanvas(33, 35, QColor(kStripBlack));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient blue(QPointF(12, 12), 26);
  blue.setColorAt(0, QColor(130, 204, 255));
  blue.setColorAt(0.5, QColor(30, 136, 246));
  blue.setColorAt(1, QColor(0, 78, 190));
  QPainterPath paw;
  // Main pad: a rounded, slightly triangular cushion.
  QPainterPath pad;
  pad.moveTo(16.5, 17.5);
  pad.cubicTo(22, 17.5, 27.5, 24, 26.5, 28.5);
  pad.cubicTo(25.8, 32.5, 21, 31.5, 16.5, 31.5);
  pad.cubicTo(12, 31.5, 7.2, 32.5, 6.5, 28.5);
  pad.cubicTo(5.5, 24, 11, 17.5, 16.5, 17.5);
  paw.addPath(pad);
  const struct {
    double x, y, rx, ry, angle;
  } toes[] = {{6.2, 15.5, 3.3, 4.3, -28},
              {12.6, 9.2, 3.5, 4.6, -8},
              {20.4, 9.2, 3.5, 4.6, 8},
              {26.8, 15.5, 3.3, 4.3, 28}};
  for (const auto& t : toes) {
    QPainterPath toe;
    toe.addEllipse(QPointF(0, 0), t.rx, t.ry);
    QTransform place;
    place.translate(t.x, t.y);
    place.rotate(t.angle);
    paw.addPath(place.map(toe));
  }
  p.fillPath(paw, blue);
  p.strokePath(paw, QPen(QColor(0, 44, 120), 0.8));
  // Small highlights give the pads some volume.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(230, 246, 255, 150));
  p.drawEllipse(QPointF(13.5, 21.5), 3.2, 1.6);
  for (const auto& t : toes) p.drawEllipse(QPointF(t.x - 0.8, t.y - 1.6), 1.1, 1.5);
  p.end();
  return image.convertToFormat(QImage::Format_RGB32);
}

QImage VolumeScale() {
  QImage image = NewCanvas(88, 24, QColor(kStripBlack));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const struct {
    double x, r;
  } dots[] = {{6.5, 2.4}, {19.5, 3.4}, {35, 4.6}, {53.5, 5.9}, {75.5, 7.6}};
  p.setPen(Qt::NoPen);
  for (const auto& d : dots) {
    const QPointF c(d.x, 12);
    QRadialGradient glow(c, d.r * 1.7);
    glow.setColorAt(0.55, QColor(220, 20, 30, 90));
    glow.setColorAt(1, QColor(220, 20, 30, 0));
    p.setBrush(glow);
    p.drawEllipse(c, d.r * 1.7, d.r * 1.7);
    QRadialGradient ball(c - QPointF(d.r * 0.35, d.r * 0.4), d.r * 1.2);
    ball.setColorAt(0, QColor(255, 150, 140));
    ball.setColorAt(0.45, QColor(234, 34, 40));
    ball.setColorAt(1, QColor(150, 8, 16));
    p.setBrush(ball);
    p.drawEllipse(c, d.r, d.r);
  }
  p.end();
  return image.convertToFormat(QImage::Format_RGB32);
}

QImage ProgramIcon(int size) {
  QImage image = NewCanvas(size, size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);  // drawn on a 64-pixel grid
  // Antenna and a crescent moon above the set.
  p.setPen(QPen(QColor(60, 70, 84), 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(44, 23), QPointF(55, 7));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(236, 60, 60));
  p.drawEllipse(QPointF(55, 7), 2.6, 2.6);
  const QPainterPath moon = CrescentPath(QPointF(16, 12), 10, QPointF(21, 8), 9);
  QRadialGradient moonLight(QPointF(11, 16), 12);
  moonLight.setColorAt(0, QColor(255, 246, 200));
  moonLight.setColorAt(1, QColor(244, 206, 110));
  p.fillPath(moon, moonLight);
  p.strokePath(moon, QPen(QColor(180, 140, 50), 0.8));

  // Body.
  const QRectF body(4.5, 22.5, 55, 37);
  QLinearGradient blue(body.topLeft(), body.bottomLeft());
  blue.setColorAt(0, QColor(84, 176, 246));
  blue.setColorAt(1, QColor(18, 88, 182));
  p.setPen(QPen(QColor(8, 42, 100), 1.4));
  p.setBrush(blue);
  p.drawRoundedRect(body, 8, 8);
  p.setPen(QPen(QColor(200, 234, 255, 140), 1));
  p.drawLine(QPointF(11, 25.5), QPointF(53, 25.5));

  // Speaker grille.
  const QPointF grille(21, 42);
  p.setPen(QPen(QColor(8, 42, 100), 1));
  p.setBrush(QColor(14, 52, 112));
  p.drawEllipse(grille, 11.5, 11.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(150, 210, 255, 190));
  for (int gy = -8; gy <= 8; gy += 4)
    for (int gx = -8; gx <= 8; gx += 4)
      if (gx * gx + gy * gy <= 81) p.drawEllipse(grille + QPointF(gx, gy), 1.1, 1.1);

  // Tuning dial with its needle, and two knobs.
  const QRectF dial(37, 31, 18, 11);
  p.setPen(QPen(QColor(120, 90, 30), 0.8));
  p.setBrush(QColor(252, 236, 176));
  p.drawRoundedRect(dial, 2, 2);
  p.setPen(QPen(QColor(140, 110, 50), 0.7));
  for (int i = 0; i < 6; ++i) {
    const double x = dial.left() + 2.5 + i * 2.6;
    p.drawLine(QPointF(x, dial.top() + 1.5), QPointF(x, dial.top() + (i % 2 ? 3.5 : 4.8)));
  }
  p.setPen(QPen(QColor(220, 30, 30), 1.3));
  p.drawLine(QPointF(47.5, dial.top() + 1.2), QPointF(47.5, dial.bottom() - 1.2));
  for (double x : {41.0, 51.0}) {
    QRadialGradient knob(QPointF(x - 1, 48), 4.5);
    knob.setColorAt(0, QColor(250, 250, 246));
    knob.setColorAt(1, QColor(150, 160, 176));
    p.setPen(QPen(QColor(40, 50, 66), 0.8));
    p.setBrush(knob);
    p.drawEllipse(QPointF(x, 49.5), 3.8, 3.8);
  }
  p.end();
  QImage out = Straight(image);
  ClampWhite(out);
  return out;
}

QImage CursorImage() {
  // A pointing hand; the tip of the index finger is the hotspot (9, 5).
  QImage image = NewCanvas(32, 32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath hand;
  hand.addRoundedRect(QRectF(6.5, 3.0, 5.5, 14), 2.75, 2.75);  // index finger
  const double knuckles[][2] = {{11.5, 10.5}, {15.2, 11.5}, {18.9, 12.5}};
  for (const auto& k : knuckles) hand.addRoundedRect(QRectF(k[0], k[1], 4.2, 8), 2.1, 2.1);
  hand.addRoundedRect(QRectF(6.5, 14, 16.6, 13.5), 4.5, 4.5);  // palm
  QPainterPath thumb;
  thumb.addRoundedRect(QRectF(-2.4, -6.5, 4.8, 11), 2.4, 2.4);
  QTransform thumbPlace;
  thumbPlace.translate(5.6, 19.5);
  thumbPlace.rotate(-38);
  hand.addPath(thumbPlace.map(thumb));
  hand.setFillRule(Qt::WindingFill);
  hand = hand.simplified();
  p.fillPath(hand, NearWhite());
  p.strokePath(hand, QPen(QColor(0, 0, 0), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  // Creases between the folded fingers.
  p.setPen(QPen(QColor(70, 70, 70), 0.9));
  p.drawLine(QPointF(15.3, 13), QPointF(15.3, 17));
  p.drawLine(QPointF(19.0, 14), QPointF(19.0, 18));
  p.end();
  QImage out = Straight(image);
  ClampWhite(out);
  return out;
}

QImage SearchKey(const QString& caption, QSize size, KeyLook look) {
  QImage image = NewCanvas(size.width(), size.height());
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF pill(0.5, 0.5, size.width() - 1, size.height() - 1);
  const double radius = pill.height() / 2;
  QLinearGradient fill(pill.topLeft(), pill.bottomLeft());
  QColor edge, ink(NearWhite()), shade(8, 52, 120, 170);
  switch (look) {
    case KeyLook::kNormal:
      fill.setColorAt(0, QColor(124, 192, 255));
      fill.setColorAt(1, QColor(40, 112, 210));
      edge = QColor(20, 70, 150);
      break;
    case KeyLook::kHover:
      fill.setColorAt(0, QColor(154, 210, 255));
      fill.setColorAt(1, QColor(60, 138, 232));
      edge = QColor(28, 84, 170);
      break;
    case KeyLook::kDisabled:
      fill.setColorAt(0, QColor(150, 164, 182));
      fill.setColorAt(1, QColor(110, 122, 140));
      edge = QColor(80, 90, 106);
      ink = QColor(214, 220, 228);
      shade = Qt::transparent;
      break;
  }
  p.setPen(QPen(edge, 1));
  p.setBrush(fill);
  p.drawRoundedRect(pill, radius, radius);
  QPainterPath gloss;
  gloss.addRoundedRect(QRectF(3, 2, size.width() - 6, size.height() * 0.4), 4, 4);
  QLinearGradient shine(QPointF(0, 2), QPointF(0, 2 + size.height() * 0.4));
  shine.setColorAt(0, QColor(236, 246, 255, look == KeyLook::kDisabled ? 60 : 120));
  shine.setColorAt(1, QColor(236, 246, 255, 0));
  p.fillPath(gloss, shine);
  DrawText(p, QRectF(0, 0, size.width(), size.height()), Qt::AlignCenter, caption,
           SansFont(13, true), ink, shade);
  p.end();
  QImage out = Straight(image);
  ClampWhite(out);
  return out;
}

}  // namespace artgen
