// Window pictures: the Main skin and its JPEG, the box patches, and the four window bitmaps.
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <tuple>

#include "artgen.h"

namespace artgen {

namespace {

// Night sky of the Main panel, top to bottom.
const QColor kSkyTop(66, 158, 234);
const QColor kSkyMiddle(36, 122, 208);
const QColor kSkyBottom(16, 82, 166);
// The two text boxes sit in flat, slightly sunken patches of the panel.
const QColor kStationPatch(20, 88, 170);
const QColor kStatusPatch(16, 76, 154);
const QColor kCatBlack(14, 14, 20);
const QColor kMoonLight(254, 244, 196);
const QColor kMoonShade(240, 212, 128);

// Small deterministic generator for scattered details (star dust, grass).
class Lcg {
 public:
  explicit Lcg(unsigned seed) : state_(seed) {}
  double Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return double(state_ >> 8) / double(1u << 24);
  }

 private:
  unsigned state_;
};

void SoftShadow(QPainter& p, const QRectF& rect, double radius, int spread, int alpha) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  for (int i = spread; i >= 1; --i) {
    p.setBrush(QColor(0, 0, 0, alpha / spread));
    p.drawRoundedRect(rect.adjusted(-i, -i, i, i), radius + i, radius + i);
  }
  p.restore();
}

void DrawFishingCat(QPainter& p) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  // Rod: from the cat's paws up over the sky, tapering toward the tip.
  const QPointF butt(124, 127), tip(208, 62);
  {
    const QPointF d = tip - butt;
    const double len = std::hypot(d.x(), d.y());
    const QPointF n(-d.y() / len, d.x() / len);
    QPainterPath rod;
    rod.moveTo(butt + n * 1.3);
    rod.lineTo(tip + n * 0.45);
    rod.lineTo(tip - n * 0.45);
    rod.lineTo(butt - n * 1.3);
    rod.closeSubpath();
    p.fillPath(rod, QColor(58, 36, 24));
  }
  // Line, hanging straight down, with a note caught on its hook.
  p.setPen(QPen(QColor(226, 238, 250, 210), 0.9));
  p.drawLine(tip, QPointF(tip.x(), 143));
  DrawEighthNote(p, QPointF(tip.x() - 3.9, 161), 9, QColor(252, 222, 112));

  QPainterPath cat;
  // Body, sitting in the moon's bowl.
  cat.addEllipse(QPointF(113, 123), 11.5, 14.5);
  // Head, turned toward the line.
  cat.addEllipse(QPointF(121, 101.5), 9.5, 9.0);
  QPainterPath ears;
  ears.moveTo(113.2, 97);
  ears.lineTo(114.2, 84.5);
  ears.lineTo(120.5, 93);
  ears.closeSubpath();
  ears.moveTo(123.5, 92.5);
  ears.lineTo(130.5, 85);
  ears.lineTo(130.5, 98);
  ears.closeSubpath();
  cat = cat.united(ears);
  // Front leg reaching out to the rod.
  QPainterPathStroker arm;
  arm.setWidth(5.2);
  arm.setCapStyle(Qt::RoundCap);
  QPainterPath armLine;
  armLine.moveTo(116, 114);
  armLine.quadTo(124, 117, 129, 121.5);
  cat = cat.united(arm.createStroke(armLine));
  // Back paw resting on the rim.
  QPainterPath paw;
  paw.addEllipse(QPointF(121, 135), 5, 3);
  cat = cat.united(paw);
  // Tail, hanging over the moon's edge.
  QPainterPathStroker tailStroke;
  tailStroke.setWidth(4.2);
  tailStroke.setCapStyle(Qt::RoundCap);
  QPainterPath tail;
  tail.moveTo(104, 133);
  tail.cubicTo(94, 140, 90, 152, 96, 160);
  tail.quadTo(99, 164, 103, 162);
  cat = cat.united(tailStroke.createStroke(tail));
  cat.setFillRule(Qt::WindingFill);
  p.fillPath(cat.simplified(), kCatBlack);
  // Eye glint and a faint rim light from the moon.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(250, 214, 84));
  p.drawEllipse(QPointF(125.5, 100), 1.7, 1.4);
  p.setBrush(kCatBlack);
  p.drawEllipse(QPointF(125.9, 100), 0.5, 1.2);
  p.restore();
}

void DrawMoon(QPainter& p) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF centre(96, 96);
  QRadialGradient glow(centre, 104);
  glow.setColorAt(0, QColor(255, 242, 196, 90));
  glow.setColorAt(0.55, QColor(255, 242, 196, 36));
  glow.setColorAt(1, QColor(255, 242, 196, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(glow);
  p.drawEllipse(centre, 104, 104);

  const QPainterPath crescent = CrescentPath(centre, 60, QPointF(118, 78), 58);
  QRadialGradient light(QPointF(70, 118), 72);
  light.setColorAt(0, kMoonLight);
  light.setColorAt(0.7, QColor(250, 232, 166));
  light.setColorAt(1, kMoonShade);
  p.fillPath(crescent, light);
  // Craters, only where the crescent is.
  p.setClipPath(crescent);
  p.setBrush(QColor(226, 196, 112, 110));
  p.drawEllipse(QPointF(58, 112), 5.5, 5);
  p.drawEllipse(QPointF(72, 138), 3.8, 3.4);
  p.drawEllipse(QPointF(50, 86), 3, 3);
  p.drawEllipse(QPointF(92, 148), 2.6, 2.2);
  p.setClipping(false);
  p.setPen(QPen(QColor(255, 250, 226, 150), 1));
  p.setBrush(Qt::NoBrush);
  p.drawPath(crescent);
  p.restore();
}

void DrawStars(QPainter& p, const QPainterPath& sky) {
  p.save();
  p.setClipPath(sky);
  const struct {
    double x, y, size;
  } sparkles[] = {{178, 34, 4.5},  {190, 104, 2.6}, {34, 34, 3.2},  {262, 36, 3.0},
                  {172, 128, 2.4}, {28, 176, 2.2},  {232, 62, 2.0}, {156, 54, 2.2}};
  for (const auto& s : sparkles) DrawSparkle(p, QPointF(s.x, s.y), s.size, QColor(255, 248, 214));
  // Star dust: fixed scatter over the upper sky, kept clear of the moon and the texts.
  Lcg random(20240611u);
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 70; ++i) {
    const QPointF at(18 + random.Next() * 364, 18 + random.Next() * 150);
    const double alpha = 70 + random.Next() * 130;
    const double r = 0.5 + random.Next() * 0.7;
    if (QLineF(at, QPointF(96, 96)).length() < 70) continue;
    if (QRectF(226, 48, 150, 130).contains(at)) continue;
    if (at.y() < 46 && at.x() > 296) continue;
    p.setBrush(QColor(255, 250, 230, int(alpha)));
    p.drawEllipse(at, r, r);
  }
  p.restore();
}

QPainterPath MainPanelPath() {
  using namespace mainlayout;
  QPainterPath panel;
  panel.addRoundedRect(
      QRectF(kPanelInset, kPanelInset, 400 - 2 * kPanelInset, 300 - 2 * kPanelInset), 12, 12);
  return panel;
}

}  // namespace

QImage MainSkin() {
  using namespace mainlayout;
  QImage image = NewCanvas(400, 300);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);

  // Semi-transparent dark frame around the panel.
  QPainterPath frame;
  frame.addRoundedRect(QRectF(kMargin, kMargin, 400 - 2 * kMargin, 300 - 2 * kMargin), 18, 18);
  p.fillPath(frame, QColor(10, 16, 30, 150));
  p.setPen(QPen(QColor(160, 200, 240, 70), 1));
  p.drawRoundedRect(
      QRectF(kMargin + 0.5, kMargin + 0.5, 400 - 2 * kMargin - 1, 300 - 2 * kMargin - 1), 17.5,
      17.5);

  const QPainterPath panel = MainPanelPath();
  QLinearGradient sky(QPointF(0, kPanelInset), QPointF(0, 300 - kPanelInset));
  sky.setColorAt(0, kSkyTop);
  sky.setColorAt(0.5, kSkyMiddle);
  sky.setColorAt(1, kSkyBottom);
  p.fillPath(panel, sky);
  p.setClipPath(panel);
  // Gloss along the top edge.
  QLinearGradient gloss(QPointF(0, kPanelInset), QPointF(0, 70));
  gloss.setColorAt(0, QColor(220, 240, 255, 60));
  gloss.setColorAt(1, QColor(220, 240, 255, 0));
  p.fillRect(QRectF(0, 0, 400, 80), gloss);
  p.setClipping(false);

  // The moon's glow would spill over the frame into the margin, which must stay clear.
  p.setClipPath(panel);
  DrawStars(p, panel);
  DrawMoon(p);
  DrawFishingCat(p);
  p.setClipping(false);

  // Program name and the caption above the station box.
  DrawHaloText(p, QRectF(234, 50, 136, 34), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Sonaro"), SerifFont(28, true), NearWhite(), QColor(8, 44, 110, 150),
               2.2);
  DrawText(p, QRectF(234, 84, 136, 18), Qt::AlignRight | Qt::AlignVCenter,
           QStringLiteral("网络收音机 · 点歌台"), SansFont(11), QColor(206, 230, 252),
           QColor(10, 50, 110, 140));
  DrawText(p, QRectF(234, 112, 136, 22), Qt::AlignLeft | Qt::AlignVCenter,
           QStringLiteral("您正在收听的是"), SansFont(15, true), NearWhite(),
           QColor(6, 40, 100, 170));

  // Flat patches for the two text boxes; the program lays identical patches over them.
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(kStationBox, kStationPatch);
  p.fillRect(kStatusBox, kStatusPatch);
  p.setRenderHint(QPainter::Antialiasing);
  // A faint highlight under each box makes them look set into the panel.
  p.setPen(QPen(QColor(150, 206, 255, 90), 1));
  p.drawLine(QPointF(kStationBox.left() + 1, kStationBox.bottom() + 1.5),
             QPointF(kStationBox.right(), kStationBox.bottom() + 1.5));
  p.drawLine(QPointF(kStatusBox.left() + 1, kStatusBox.bottom() + 1.5),
             QPointF(kStatusBox.right(), kStatusBox.bottom() + 1.5));
  // Signal bars beside the status box.
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 4; ++i) {
    const double h = 4 + 3 * i;
    p.setBrush(QColor(150, 220, 255, 110 + 35 * i));
    p.drawRoundedRect(QRectF(280 + 5 * i, 195 - h, 3, h), 1, 1);
  }

  // The animation window sits here; its well matches the animation's own display.
  const QRectF well = QRectF(kAnimation).adjusted(0.5, 0.5, -0.5, -0.5);
  p.setPen(QPen(QColor(110, 176, 240, 150), 1));
  p.setBrush(QColor(8, 22, 52));
  p.drawRoundedRect(well, 9, 9);

  // Rim of the panel.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(140, 204, 255, 150), 1));
  p.drawRoundedRect(QRectF(kPanelInset + 0.5, kPanelInset + 0.5, 400 - 2 * kPanelInset - 1,
                           300 - 2 * kPanelInset - 1),
                    11.5, 11.5);
  p.end();
  QImage straight = Straight(image);
  ClampWhite(straight);
  return straight;
}

QImage MainBackground(const QImage& skin) {
  // The skin over a grey backdrop, as the window looks without per-pixel transparency.
  QImage image = NewCanvas(400, 300, QColor(138, 140, 144));
  QPainter p(&image);
  p.drawImage(0, 0, skin);
  p.end();
  return image.convertToFormat(QImage::Format_RGB32);
}

QImage PatchFromSkin(const QImage& skin, const QRect& box) {
  return skin.copy(box).convertToFormat(QImage::Format_RGB32);
}

QImage StationPanel() {
  constexpr int kW = 240, kH = 530, kStrip = 48;
  QImage image = NewCanvas(kW, kH, QColor(kStripBlack));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient blue(QPointF(0, kStrip), QPointF(0, kH));
  blue.setColorAt(0, QColor(40, 142, 230));
  blue.setColorAt(1, QColor(10, 70, 156));
  p.fillRect(QRectF(0, kStrip, kW, kH - kStrip), blue);
  // A thin glow where the black strip meets the blue.
  QLinearGradient seam(QPointF(0, kStrip - 3), QPointF(0, kStrip + 4));
  seam.setColorAt(0, QColor(0, 120, 240, 0));
  seam.setColorAt(0.45, QColor(90, 190, 255, 220));
  seam.setColorAt(1, QColor(40, 142, 230, 0));
  p.fillRect(QRectF(0, kStrip - 3, kW, 7), seam);

  // Title at the right of the strip, beside the volume controls.
  const QPainterPath moon = CrescentPath(QPointF(152, 24), 8, QPointF(156.5, 20.5), 7);
  p.fillPath(moon, QColor(250, 226, 140));
  DrawText(p, QRectF(164, 12, 70, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("电台列表"),
           SansFont(14, true), QColor(0, 136, 255));
  DrawSparkle(p, QPointF(226, 10), 2.4, QColor(200, 230, 255, 200));

  p.setPen(QPen(QColor(2, 28, 70), 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(0.75, 0.75, kW - 1.5, kH - 1.5), 10, 10);
  p.end();
  return CutWindowOutline(image, RoundedOutline(QSizeF(kW, kH), 10));
}

namespace {

// The board's face: blue darkening downwards, under a gloss that fades out from glossTop to
// glossBottom.
void FillGlossyBlue(QPainter& p, int w, int h, int glossTop, int glossBottom, int glossAlpha) {
  QLinearGradient blue(QPointF(0, 0), QPointF(0, h));
  blue.setColorAt(0, QColor(46, 144, 230));
  blue.setColorAt(1, QColor(14, 80, 168));
  p.fillRect(QRectF(0, 0, w, h), blue);
  QLinearGradient gloss(QPointF(0, glossTop), QPointF(0, glossBottom));
  gloss.setColorAt(0, QColor(220, 240, 255, glossAlpha));
  gloss.setColorAt(1, QColor(220, 240, 255, 0));
  p.fillRect(QRectF(0, 0, w, glossBottom), gloss);
}

}  // namespace

QImage Board() {
  constexpr int kW = 380, kH = 250;
  QImage image = NewCanvas(kW, kH);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  FillGlossyBlue(p, kW, kH, 10, 64, 56);

  // Loudspeaker and the word 公告; the announcement text runs in the well beside them.
  DrawSpeakerIcon(p, QRectF(16, 25, 36, 36), NearWhite(), QColor(186, 226, 255));
  DrawHaloText(p, QRectF(62, 26, 78, 34), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("公告"),
               SansFont(22, true), NearWhite(), QColor(8, 52, 120, 140), 1.6);
  p.setPen(QPen(QColor(140, 200, 250, 90), 1));
  p.setBrush(QColor(4, 40, 100, 80));
  p.drawRoundedRect(QRectF(139.5, 26.5, 221, 37), 6, 6);

  // The 点歌列表 tab, joined to the top of the list below it.
  const QColor paper(244, 249, 254);
  QPainterPath tab;
  tab.addRoundedRect(QRectF(18, 63, 86, 26), 6, 6);
  p.fillPath(tab, paper);
  p.fillRect(QRectF(18, 80, 342, 4), paper);
  DrawText(p, QRectF(18, 63, 86, 20), Qt::AlignCenter, QStringLiteral("点歌列表"),
           SansFont(13, true), QColor(0, 110, 220));
  DrawEighthNote(p, QPointF(110, 76), 5, QColor(190, 228, 255));

  DrawText(p, QRectF(18, 214, 214, 20), Qt::AlignLeft | Qt::AlignVCenter,
           QStringLiteral("点击列表中的一行，查看祝福详情"), SansFont(11), QColor(200, 228, 255));

  p.setPen(QPen(QColor(2, 34, 84), 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(0.75, 0.75, kW - 1.5, kH - 1.5), 10, 10);
  p.end();
  return CutWindowOutline(image, RoundedOutline(QSizeF(kW, kH), 10));
}

namespace {

void DrawWillow(QPainter& p, QPointF root, double length, double sway) {
  QPainterPath branch;
  branch.moveTo(root);
  branch.cubicTo(root + QPointF(sway * 0.6, length * 0.3), root + QPointF(sway, length * 0.6),
                 root + QPointF(sway * 0.8, length));
  p.save();
  p.setPen(QPen(QColor(96, 120, 60), 1.1));
  p.setBrush(Qt::NoBrush);
  p.drawPath(branch);
  p.restore();
  for (int i = 1; i <= 9; ++i) {
    const double t = i / 10.0;
    const QPointF at = branch.pointAtPercent(t);
    DrawLeaf(p, at, 7.5, (i % 2 ? 58 : 122), QColor(110, 180, 70));
  }
}

void DrawButterfly(QPainter& p, QPointF c, double size, const QColor& wing, double tilt) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(c);
  p.rotate(tilt);
  p.setPen(Qt::NoPen);
  for (int side : {-1, 1}) {
    QColor upper = wing;
    p.setBrush(upper);
    p.drawEllipse(QPointF(side * size * 0.55, -size * 0.35), size * 0.55, size * 0.45);
    p.setBrush(wing.lighter(112));
    p.drawEllipse(QPointF(side * size * 0.42, size * 0.35), size * 0.38, size * 0.32);
    p.setBrush(QColor(254, 248, 230, 200));
    p.drawEllipse(QPointF(side * size * 0.62, -size * 0.4), size * 0.14, size * 0.14);
  }
  p.setBrush(QColor(60, 40, 30));
  p.drawRoundedRect(QRectF(-size * 0.08, -size * 0.6, size * 0.16, size * 1.2), 1, 1);
  p.setPen(QPen(QColor(60, 40, 30), 0.8));
  p.drawLine(QPointF(0, -size * 0.6), QPointF(-size * 0.3, -size * 1.0));
  p.drawLine(QPointF(0, -size * 0.6), QPointF(size * 0.3, -size * 1.0));
  p.restore();
}

}  // namespace

QImage Details() {
  constexpr int kW = 450, kH = 529;
  const QRectF picture(12, 12, kW - 24, kH - 24);
  const QRectF sheet(96, 138, 328, 370);
  QImage image = NewCanvas(kW, kH);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);

  // Green frame.
  QLinearGradient frame(QPointF(0, 0), QPointF(kW, kH));
  frame.setColorAt(0, QColor(82, 176, 76));
  frame.setColorAt(1, QColor(30, 118, 52));
  p.fillRect(QRectF(0, 0, kW, kH), frame);
  p.setPen(QPen(QColor(168, 226, 140, 160), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(4.5, 4.5, kW - 9, kH - 9), 12, 12);

  // The spring picture inside it: sky, sun, blossoms, willows, meadow.
  QPainterPath inner;
  inner.addRoundedRect(picture, 10, 10);
  QLinearGradient sky(picture.topLeft(), picture.bottomLeft());
  sky.setColorAt(0, QColor(176, 222, 248));
  sky.setColorAt(0.55, QColor(226, 244, 226));
  sky.setColorAt(1, QColor(196, 232, 160));
  p.fillPath(inner, sky);
  p.save();
  p.setClipPath(inner);
  QRadialGradient sun(QPointF(380, 60), 70);
  sun.setColorAt(0, QColor(255, 246, 200, 230));
  sun.setColorAt(0.35, QColor(255, 236, 160, 120));
  sun.setColorAt(1, QColor(255, 236, 160, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(sun);
  p.drawEllipse(QPointF(380, 60), 70, 70);

  // Rolling hills at the bottom.
  QPainterPath hills;
  hills.moveTo(0, 470);
  hills.cubicTo(80, 430, 150, 470, 230, 456);
  hills.cubicTo(310, 440, 380, 470, 450, 448);
  hills.lineTo(450, 529);
  hills.lineTo(0, 529);
  hills.closeSubpath();
  QLinearGradient grass(QPointF(0, 440), QPointF(0, 529));
  grass.setColorAt(0, QColor(128, 200, 88));
  grass.setColorAt(1, QColor(70, 150, 60));
  p.fillPath(hills, grass);
  QPainterPath nearHill;
  nearHill.moveTo(0, 420);
  nearHill.cubicTo(40, 400, 80, 430, 110, 480);
  nearHill.lineTo(110, 529);
  nearHill.lineTo(0, 529);
  nearHill.closeSubpath();
  p.fillPath(nearHill, QColor(96, 176, 72));

  // Willow branches hanging from the top left.
  DrawWillow(p, QPointF(18, 8), 150, 26);
  DrawWillow(p, QPointF(40, 6), 118, 20);
  DrawWillow(p, QPointF(64, 8), 88, 14);
  DrawWillow(p, QPointF(8, 10), 210, 34);

  // A cherry branch along the top.
  QPainterPath bough;
  bough.moveTo(450, 18);
  bough.cubicTo(400, 40, 330, 30, 262, 70);
  bough.moveTo(360, 34);
  bough.cubicTo(330, 60, 300, 88, 256, 108);
  bough.moveTo(300, 52);
  bough.cubicTo(260, 44, 220, 52, 180, 42);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(110, 74, 52), 3.2, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(bough);
  const struct {
    double x, y, r, rot;
  } blossoms[] = {{420, 30, 9, 10},    {388, 40, 8, 40},   {352, 36, 10, 20},  {322, 48, 7.5, 60},
                  {292, 58, 9, 5},     {268, 72, 8, 35},   {338, 62, 8.5, 50}, {306, 84, 9, 15},
                  {276, 100, 7.5, 70}, {250, 50, 8, 25},   {218, 50, 9, 45},   {186, 42, 7.5, 0},
                  {236, 36, 6.5, 30},  {372, 58, 6.5, 12}, {198, 58, 6, 62}};
  for (const auto& b : blossoms)
    DrawBlossom(p, QPointF(b.x, b.y), b.r, QColor(250, 186, 206), QColor(246, 214, 96), b.rot);
  const struct {
    double x, y, a;
  } leaves[] = {{400, 36, 150}, {334, 40, 200}, {284, 64, 120}, {316, 70, 40}, {230, 48, 210}};
  for (const auto& l : leaves) DrawLeaf(p, QPointF(l.x, l.y), 12, l.a, QColor(120, 190, 80));

  // Meadow flowers and grass tufts.
  Lcg random(4242u);
  for (int i = 0; i < 38; ++i) {
    const double x = 14 + random.Next() * 422;
    const double y = 478 + random.Next() * 40;
    const double h = 5 + random.Next() * 7;
    p.setPen(QPen(QColor(60, 140, 50), 1.1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(x, y), QPointF(x - 2, y - h));
    p.drawLine(QPointF(x, y), QPointF(x + 2.5, y - h * 0.8));
  }
  const QColor flowerColours[] = {QColor(250, 214, 70), QColor(250, 246, 236),
                                  QColor(240, 140, 180), QColor(170, 150, 240)};
  for (int i = 0; i < 22; ++i) {
    const double x = 16 + random.Next() * 418;
    const double y = 470 + random.Next() * 46;
    DrawBlossom(p, QPointF(x, y), 3.2 + random.Next() * 1.6, flowerColours[i % 4],
                QColor(244, 180, 60), random.Next() * 72);
  }
  for (int i = 0; i < 10; ++i) {
    const double x = 18 + random.Next() * 64;
    const double y = 400 + random.Next() * 70;
    DrawBlossom(p, QPointF(x, y), 3.5, flowerColours[(i + 1) % 4], QColor(244, 180, 60),
                random.Next() * 72);
  }
  DrawButterfly(p, QPointF(56, 300), 9, QColor(250, 170, 60), -14);
  DrawButterfly(p, QPointF(72, 250), 6.5, QColor(120, 170, 250), 18);
  DrawButterfly(p, QPointF(160, 110), 7, QColor(246, 130, 170), 8);
  p.restore();
  p.setPen(QPen(QColor(24, 96, 40), 1.2));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(picture.adjusted(-0.5, -0.5, 0.5, 0.5), 10.5, 10.5);

  // Ribbon behind the white title 点歌送祝福 at the top left.
  QPainterPath ribbon;
  ribbon.moveTo(0, 16);
  ribbon.lineTo(196, 16);
  ribbon.lineTo(184, 36);
  ribbon.lineTo(196, 56);
  ribbon.lineTo(0, 56);
  ribbon.closeSubpath();
  QLinearGradient rose(QPointF(0, 16), QPointF(0, 56));
  rose.setColorAt(0, QColor(232, 92, 132));
  rose.setColorAt(1, QColor(196, 48, 98));
  SoftShadow(p, QRectF(2, 18, 190, 40), 2, 3, 60);
  p.fillPath(ribbon, rose);
  p.setPen(QPen(QColor(255, 196, 214, 160), 1, Qt::DashLine));
  p.drawLine(QPointF(0, 19.5), QPointF(194, 19.5));
  p.drawLine(QPointF(0, 52.5), QPointF(194, 52.5));

  // The sheet of paper, with washi tape at its top corners.
  SoftShadow(p, sheet.translated(2, 3), 4, 5, 70);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(254, 253, 248));
  p.drawRoundedRect(sheet, 3, 3);
  p.setPen(QPen(QColor(226, 220, 204), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(sheet.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
  for (const auto& [x, y, angle] : {std::tuple{sheet.left() + 6, sheet.top() - 4, -34.0},
                                    std::tuple{sheet.right() - 6, sheet.top() - 4, 34.0}}) {
    p.save();
    p.translate(x, y + 6);
    p.rotate(angle);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(246, 170, 190, 170));
    p.drawRect(QRectF(-22, -7, 44, 14));
    p.restore();
  }
  // Heart at the top of the sheet and a divider with a note above the song title.
  DrawHeart(p, QPointF(sheet.center().x(), sheet.top() + 12), 11, QColor(236, 110, 140));
  p.setPen(QPen(QColor(170, 200, 236), 1));
  p.drawLine(QPointF(150, 452), QPointF(240, 452));
  p.drawLine(QPointF(262, 452), QPointF(352, 452));
  DrawEighthNote(p, QPointF(248, 456), 7, QColor(130, 170, 230));
  // Faint blossom watermark in the sheet's lower right corner.
  DrawBlossom(p, QPointF(398, 486), 14, QColor(250, 214, 226), QColor(250, 236, 190), 12);

  p.setPen(QPen(QColor(16, 80, 30), 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(0.75, 0.75, kW - 1.5, kH - 1.5), 14, 14);
  p.end();
  return CutWindowOutline(image, RoundedOutline(QSizeF(kW, kH), 14));
}

QImage RequestForm() {
  constexpr int kW = 494, kH = 446;
  QImage image = NewCanvas(kW, kH);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient blue(QPointF(0, 0), QPointF(0, kH));
  blue.setColorAt(0, QColor(46, 142, 228));
  blue.setColorAt(1, QColor(22, 100, 194));
  p.fillRect(QRectF(0, 0, kW, kH), blue);
  QLinearGradient gloss(QPointF(0, 0), QPointF(0, 40));
  gloss.setColorAt(0, QColor(220, 240, 255, 60));
  gloss.setColorAt(1, QColor(220, 240, 255, 0));
  p.fillRect(QRectF(0, 0, kW, 40), gloss);

  DrawEighthNote(p, QPointF(19, 27), 7, QColor(250, 222, 112));
  DrawText(p, QRectF(30, 6, 200, 26), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("我要点歌"),
           SansFont(16, true), NearWhite(), QColor(8, 50, 120, 150));
  p.setPen(QPen(QColor(160, 210, 255, 90), 1));
  p.drawLine(QPointF(14, 36.5), QPointF(kW - 14, 36.5));
  // A quiet note motif in the free lower left corner.
  DrawBeamedNotes(p, QPointF(22, 428), 9, QColor(180, 220, 255, 70));

  p.setPen(QPen(QColor(130, 196, 255, 110), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(4.5, 4.5, kW - 9, kH - 9), 9, 9);
  p.setPen(QPen(QColor(4, 40, 96), 1.5));
  p.drawRoundedRect(QRectF(0.75, 0.75, kW - 1.5, kH - 1.5), 12, 12);
  p.end();
  return CutWindowOutline(image, RoundedOutline(QSizeF(kW, kH), 12));
}

QImage SearchWindow() {
  constexpr int kW = 460, kH = 360;
  QImage image = NewCanvas(kW, kH);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  FillGlossyBlue(p, kW, kH, 6, 48, 60);

  // A magnifier over a sound wave, and the window's name beside it.
  p.setPen(QPen(NearWhite(), 3));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(31, 24), 9, 9);
  p.setPen(QPen(NearWhite(), 4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(38, 31), QPointF(45, 38));
  p.setPen(QPen(QColor(186, 226, 255), 1.6, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 5; ++i) {
    const double h = (i % 2 ? 3.0 : 5.5);
    p.drawLine(QPointF(25 + 3 * i, 24 - h), QPointF(25 + 3 * i, 24 + h));
  }
  DrawHaloText(p, QRectF(54, 8, 160, 32), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("搜索电台"), SansFont(20, true), NearWhite(), QColor(8, 52, 120, 140),
               1.6);
  DrawText(p, QRectF(214, 8, 226, 32), Qt::AlignRight | Qt::AlignVCenter,
           QStringLiteral("名称或标签，简体繁体皆可"), SansFont(11), QColor(200, 228, 255));
  DrawEighthNote(p, QPointF(146, 30), 5, QColor(190, 228, 255));

  // The wells of the search box and of the status line.
  p.setPen(QPen(QColor(140, 200, 250, 90), 1));
  p.setBrush(QColor(4, 40, 100, 80));
  p.drawRoundedRect(QRectF(16.5, 292.5, 427, 27), 6, 6);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(244, 249, 254));
  p.drawRoundedRect(QRectF(18, 50, 330, 32), 5, 5);

  p.setPen(QPen(QColor(2, 34, 84), 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(0.75, 0.75, kW - 1.5, kH - 1.5), 10, 10);
  p.end();
  return CutWindowOutline(image, RoundedOutline(QSizeF(kW, kH), 10));
}

}  // namespace artgen
