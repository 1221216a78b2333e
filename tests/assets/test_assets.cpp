// The embedded pictures: present, decodable, of the sizes and formats the windows expect, and
// free of pure white wherever the program does not cut a window's outline with it.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QRect>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <vector>

#include "assets/assets.h"

namespace {

using sonaro::assets::Bytes;

constexpr QRgb kWhite = 0xFFFFFF;

struct Picture {
  const char* name;
  const char* format;
  int width;
  int height;
};

constexpr Picture kWindowBitmaps[] = {
    {"station_panel.bmp", "BMP", 240, 530}, {"board.bmp", "BMP", 380, 250},
    {"details.bmp", "BMP", 450, 529},       {"request_form.bmp", "BMP", 494, 446},
    {"search_window.bmp", "BMP", 460, 360},
};

constexpr Picture kButtonBitmaps[] = {
    {"volume_knob.bmp", "BMP", 33, 35},
    {"volume_scale.bmp", "BMP", 88, 24},
};

constexpr Picture kAlphaPngs[] = {
    {"main_skin.png", "PNG", 400, 300},
    {"close_normal.png", "PNG", 28, 18},
    {"close_hover.png", "PNG", 28, 18},
    {"minimise_normal.png", "PNG", 19, 18},
    {"minimise_hover.png", "PNG", 19, 18},
    {"maximise_normal.png", "PNG", 19, 18},
    {"maximise_hover.png", "PNG", 19, 18},
    {"stations_normal.png", "PNG", 91, 41},
    {"stations_hover.png", "PNG", 91, 41},
    {"request_normal.png", "PNG", 91, 41},
    {"request_hover.png", "PNG", 91, 41},
    {"board_button_normal.png", "PNG", 117, 24},
    {"board_button_hover.png", "PNG", 117, 24},
    {"sonaro.png", "PNG", 64, 64},
    {"search_go_normal.png", "PNG", 84, 28},
    {"search_go_hover.png", "PNG", 84, 28},
    {"search_previous_normal.png", "PNG", 72, 26},
    {"search_previous_hover.png", "PNG", 72, 26},
    {"search_previous_disabled.png", "PNG", 72, 26},
    {"search_next_normal.png", "PNG", 72, 26},
    {"search_next_hover.png", "PNG", 72, 26},
    {"search_next_disabled.png", "PNG", 72, 26},
    {"search_keep_normal.png", "PNG", 72, 26},
    {"search_keep_hover.png", "PNG", 72, 26},
    {"search_keep_disabled.png", "PNG", 72, 26},
    {"search_close_normal.png", "PNG", 72, 26},
    {"search_close_hover.png", "PNG", 72, 26},
};

constexpr Picture kOpaquePngs[] = {
    {"status_box.png", "PNG", 67, 20},
    {"station_box.png", "PNG", 136, 32},
};

constexpr Picture kOthers[] = {
    {"main_background.jpg", "JPEG", 400, 300},
    {"animation.gif", "GIF", 219, 101},
};

std::vector<Picture> AllBitmaps() {
  std::vector<Picture> all(std::begin(kWindowBitmaps), std::end(kWindowBitmaps));
  all.insert(all.end(), std::begin(kButtonBitmaps), std::end(kButtonBitmaps));
  return all;
}

template <typename F>
void ForEachPicture(F&& check) {
  for (const Picture& p : AllBitmaps()) check(p);
  for (const Picture& p : kAlphaPngs) check(p);
  for (const Picture& p : kOpaquePngs) check(p);
  for (const Picture& p : kOthers) check(p);
}

QImage Decode(const char* name, const char* format) {
  return QImage::fromData(Bytes(QString::fromLatin1(name)), format)
      .convertToFormat(QImage::Format_ARGB32);
}

bool IsWhite(const QImage& image, int x, int y) { return (image.pixel(x, y) & 0xFFFFFF) == kWhite; }

// Pixels that show pure white: opaque or partly transparent.
int VisibleWhitePixels(const QImage& argb) {
  int count = 0;
  for (int y = 0; y < argb.height(); ++y)
    for (int x = 0; x < argb.width(); ++x)
      if (qAlpha(argb.pixel(x, y)) > 0 && IsWhite(argb, x, y)) ++count;
  return count;
}

std::uint32_t Le32(const QByteArray& b, int at) {
  return qFromLittleEndian<std::uint32_t>(b.constData() + at);
}
std::uint16_t Le16(const QByteArray& b, int at) {
  return qFromLittleEndian<std::uint16_t>(b.constData() + at);
}

TEST(Assets, EveryPictureIsEmbeddedAndDecodesAtItsSize) {
  ForEachPicture([](const Picture& p) {
    SCOPED_TRACE(p.name);
    const QByteArray bytes = Bytes(QString::fromLatin1(p.name));
    ASSERT_FALSE(bytes.isEmpty());
    const QImage image = QImage::fromData(bytes, p.format);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(p.width, p.height));
  });
  EXPECT_FALSE(Bytes(QStringLiteral("xiao.cur")).isEmpty());
}

TEST(Assets, NamesOutsideTheAssetFolderGiveNothing) {
  EXPECT_TRUE(Bytes(QStringLiteral("missing.png")).isEmpty());
  EXPECT_TRUE(Bytes(QString()).isEmpty());
  EXPECT_TRUE(Bytes(QStringLiteral("/assets/main_skin.png")).isEmpty());
  EXPECT_TRUE(Bytes(QStringLiteral("../assets/main_skin.png")).isEmpty());
  sonaro::assets::Init();  // a second registration changes nothing
  EXPECT_FALSE(Bytes(QStringLiteral("main_skin.png")).isEmpty());
}

TEST(Assets, PngsCarryAlphaOnlyWhereTheyAreBlended) {
  // IHDR: 8-byte signature, chunk length and type, then width, height, bit depth, colour type.
  auto colourType = [](const char* name) {
    const QByteArray b = Bytes(QString::fromLatin1(name));
    EXPECT_TRUE(b.startsWith("\x89PNG\r\n\x1a\n")) << name;
    EXPECT_EQ(b.mid(12, 4), QByteArray("IHDR")) << name;
    EXPECT_EQ(int(b.at(24)), 8) << name;
    return int(b.at(25));
  };
  for (const Picture& p : kAlphaPngs) {
    EXPECT_EQ(colourType(p.name), 6) << p.name << " must be RGBA";
    // Every button and the skin have see-through parts and drawn parts.
    const QImage image = Decode(p.name, p.format);
    bool clear = false, solid = false;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        clear |= qAlpha(image.pixel(x, y)) == 0;
        solid |= qAlpha(image.pixel(x, y)) == 255;
      }
    EXPECT_TRUE(clear && solid) << p.name;
  }
  for (const Picture& p : kOpaquePngs) EXPECT_EQ(colourType(p.name), 2) << p.name << " must be RGB";
}

TEST(Assets, BitmapsAre24BitUncompressedBottomUp) {
  for (const Picture& p : AllBitmaps()) {
    SCOPED_TRACE(p.name);
    const QByteArray b = Bytes(QString::fromLatin1(p.name));
    ASSERT_GE(b.size(), 54);
    EXPECT_TRUE(b.startsWith("BM"));
    EXPECT_EQ(Le32(b, 14), 40u);
    EXPECT_EQ(int(Le32(b, 18)), p.width);
    EXPECT_EQ(int(Le32(b, 22)), p.height) << "positive height: rows stored bottom-up";
    EXPECT_EQ(Le16(b, 28), 24);
    EXPECT_EQ(Le32(b, 30), 0u);
    const int stride = (p.width * 3 + 3) & ~3;
    EXPECT_EQ(int(b.size()), int(Le32(b, 10)) + stride * p.height);
  }
}

// The program cuts each window's outline with its white pixels. White must therefore form
// only the corners outside the rounded outline: reachable from the picture's border, near a
// corner, and never inside the window.
TEST(Assets, WindowBitmapsAreWhiteOnlyOutsideTheirRoundedCorners) {
  constexpr int kCornerReach = 16;
  for (const Picture& p : kWindowBitmaps) {
    SCOPED_TRACE(p.name);
    const QImage image = Decode(p.name, p.format);
    const int w = image.width(), h = image.height();
    for (QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
      EXPECT_TRUE(IsWhite(image, corner.x(), corner.y()));
    for (QPoint edge :
         {QPoint(w / 2, 0), QPoint(w / 2, h - 1), QPoint(0, h / 2), QPoint(w - 1, h / 2)})
      EXPECT_FALSE(IsWhite(image, edge.x(), edge.y())) << "outline must reach the edge";

    std::vector<char> outside(std::size_t(w) * std::size_t(h), 0);
    std::deque<QPoint> todo;
    auto visit = [&](int x, int y) {
      if (x < 0 || y < 0 || x >= w || y >= h) return;
      char& seen = outside[std::size_t(y) * std::size_t(w) + std::size_t(x)];
      if (seen || !IsWhite(image, x, y)) return;
      seen = 1;
      todo.emplace_back(x, y);
    };
    for (int x = 0; x < w; ++x) visit(x, 0), visit(x, h - 1);
    for (int y = 0; y < h; ++y) visit(0, y), visit(w - 1, y);
    while (!todo.empty()) {
      const QPoint q = todo.front();
      todo.pop_front();
      visit(q.x() + 1, q.y());
      visit(q.x() - 1, q.y());
      visit(q.x(), q.y() + 1);
      visit(q.x(), q.y() - 1);
    }
    int stray = 0, farFromCorner = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (!IsWhite(image, x, y)) continue;
        if (!outside[std::size_t(y) * std::size_t(w) + std::size_t(x)]) ++stray;
        if (std::min(x, w - 1 - x) >= kCornerReach || std::min(y, h - 1 - y) >= kCornerReach)
          ++farFromCorner;
      }
    EXPECT_EQ(stray, 0) << "white inside the window would punch a hole in it";
    EXPECT_EQ(farFromCorner, 0);
  }
}

TEST(Assets, NoOtherPictureShowsPureWhite) {
  for (const Picture& p : kButtonBitmaps)
    EXPECT_EQ(VisibleWhitePixels(Decode(p.name, p.format)), 0) << p.name;
  for (const Picture& p : kAlphaPngs)
    EXPECT_EQ(VisibleWhitePixels(Decode(p.name, p.format)), 0) << p.name;
  for (const Picture& p : kOpaquePngs)
    EXPECT_EQ(VisibleWhitePixels(Decode(p.name, p.format)), 0) << p.name;
  // The JPEG is checked as decoded, after the codec's rounding.
  EXPECT_EQ(VisibleWhitePixels(Decode("main_background.jpg", "JPEG")), 0);

  QByteArray gif = Bytes(QStringLiteral("animation.gif"));
  QBuffer buffer(&gif);
  QImageReader reader(&buffer, "gif");
  for (int i = 0; i < 5; ++i) {
    const QImage frame = reader.read().convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(frame.isNull()) << "frame " << i;
    EXPECT_EQ(VisibleWhitePixels(frame), 0) << "frame " << i;
  }
}

TEST(Assets, MainSkinIsAnOpaquePanelInASemiTransparentFrame) {
  const QImage skin = Decode("main_skin.png", "PNG");
  ASSERT_EQ(skin.size(), QSize(400, 300));
  int marginVisible = 0;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x)
      if ((x < 8 || y < 8 || x >= 392 || y >= 292) && qAlpha(skin.pixel(x, y)) != 0)
        ++marginVisible;
  EXPECT_EQ(marginVisible, 0);

  // The frame between margin and panel lets the desktop shine through.
  for (QPoint frame : {QPoint(10, 150), QPoint(389, 150), QPoint(200, 10), QPoint(200, 289)}) {
    const int a = qAlpha(skin.pixel(frame));
    EXPECT_GT(a, 0) << frame.x() << "," << frame.y();
    EXPECT_LT(a, 255) << frame.x() << "," << frame.y();
  }

  // The panel, and in particular everything the program lays over it, is opaque.
  const QRect controls[] = {{22, 22, 356, 256}, {234, 137, 136, 32}, {303, 179, 67, 20},
                            {344, 24, 28, 18},  {306, 24, 19, 18},   {325, 24, 19, 18},
                            {279, 211, 91, 41}, {269, 235, 91, 41},  {18, 175, 219, 101}};
  for (const QRect& r : controls) {
    int seeThrough = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        if (qAlpha(skin.pixel(x, y)) != 255) ++seeThrough;
    EXPECT_EQ(seeThrough, 0) << r.x() << "," << r.y();
  }
}

TEST(Assets, BoxPatchesRepeatTheSkinBehindTheBoxes) {
  const QImage skin = Decode("main_skin.png", "PNG");
  const struct {
    const char* name;
    QRect box;
  } patches[] = {{"station_box.png", {234, 137, 136, 32}}, {"status_box.png", {303, 179, 67, 20}}};
  for (const auto& patch : patches) {
    SCOPED_TRACE(patch.name);
    const QImage image = Decode(patch.name, "PNG");
    ASSERT_EQ(image.size(), patch.box.size());
    const QRgb plain = image.pixel(0, 0);
    int uneven = 0, differs = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) != plain) ++uneven;
        if (image.pixel(x, y) != skin.pixel(patch.box.topLeft() + QPoint(x, y))) ++differs;
      }
    EXPECT_EQ(uneven, 0);
    EXPECT_EQ(differs, 0);
    EXPECT_GT(qBlue(plain), qRed(plain) + 60) << "a blue patch";
  }
}

TEST(Assets, VolumeKnobAndScaleBlendIntoThePanelStrip) {
  // Both image buttons lie on the Station panel's black strip; their backgrounds match it.
  const QImage panel = Decode("station_panel.bmp", "BMP");
  const QImage knob = Decode("volume_knob.bmp", "BMP");
  const QImage scale = Decode("volume_scale.bmp", "BMP");
  const QRgb strip = panel.pixel(73, 10);
  EXPECT_EQ(panel.pixel(43, 11), strip);
  EXPECT_EQ(knob.pixel(0, 0), strip);
  EXPECT_EQ(knob.pixel(32, 34), strip);
  EXPECT_EQ(scale.pixel(0, 0), strip);
  EXPECT_EQ(scale.pixel(87, 23), strip);
  EXPECT_LT(qRed(strip) + qGreen(strip) + qBlue(strip), 3 * 32) << "black";
  // The paw is blue, the dots are red and grow to the right.
  const QRgb paw = knob.pixel(16, 25);
  EXPECT_GT(qBlue(paw), qRed(paw) + 80);
  auto redWidth = [&](int from, int to) {
    int n = 0;
    for (int x = from; x < to; ++x)
      if (qRed(scale.pixel(x, 12)) > 150 && qGreen(scale.pixel(x, 12)) < 100) ++n;
    return n;
  };
  EXPECT_GT(redWidth(0, 12), 0);
  EXPECT_GT(redWidth(60, 88), 2 * redWidth(0, 12));
}

double Luminance(double r, double g, double b) {
  auto linear = [](double c) {
    c /= 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
}

// Contrast ratio between a text colour and the mean colour of the picture under the text.
double Contrast(const QImage& image, const QRect& rect, QRgb ink) {
  double r = 0, g = 0, b = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x) {
      const QRgb c = image.pixel(x, y);
      r += qRed(c), g += qGreen(c), b += qBlue(c);
    }
  const double n = double(rect.width()) * rect.height();
  const double back = Luminance(r / n, g / n, b / n);
  const double text = Luminance(qRed(ink), qGreen(ink), qBlue(ink));
  return (std::max(back, text) + 0.05) / (std::min(back, text) + 0.05);
}

TEST(Assets, TextsTheProgramDrawsStayReadableOnThePictures) {
  const QRgb white = qRgb(255, 255, 255), blue = qRgb(0, 136, 255), purple = qRgb(144, 0, 255);
  const struct {
    const char* picture;
    const char* format;
    QRect label;
    QRgb ink;
  } labels[] = {
      {"request_form.bmp", "BMP", {72, 48, 104, 16}, white},
      {"request_form.bmp", "BMP", {72, 88, 88, 16}, white},
      {"request_form.bmp", "BMP", {56, 327, 88, 32}, white},
      {"request_form.bmp", "BMP", {296, 313, 78, 16}, white},
      {"request_form.bmp", "BMP", {88, 360, 336, 40}, white},
      {"details.bmp", "BMP", {0, 16, 184, 40}, white},
      {"details.bmp", "BMP", {128, 160, 144, 24}, blue},
      {"details.bmp", "BMP", {136, 202, 264, 166}, blue},
      {"details.bmp", "BMP", {128, 376, 256, 24}, blue},
      {"details.bmp", "BMP", {104, 472, 248, 24}, purple},
      {"board.bmp", "BMP", {144, 31, 208, 28}, qRgb(236, 236, 236)},
      {"search_window.bmp", "BMP", {20, 296, 420, 20}, qRgb(236, 246, 255)},
      {"station_panel.bmp", "BMP", {8, 14, 32, 24}, blue},
      {"main_skin.png", "PNG", {234, 137, 136, 32}, white},
      {"main_skin.png", "PNG", {303, 179, 67, 20}, qRgb(0, 255, 0)},
  };
  for (const auto& l : labels) {
    const QImage image = Decode(l.picture, l.format);
    EXPECT_GE(Contrast(image, l.label, l.ink), 3.0)
        << l.picture << " at " << l.label.x() << "," << l.label.y();
  }
}

TEST(Assets, AnimationCornersBlendIntoTheSkinBehindIt) {
  // The animation window is opaque; outside its rounded display it repeats the panel.
  const QImage skin = Decode("main_skin.png", "PNG");
  QByteArray gif = Bytes(QStringLiteral("animation.gif"));
  QBuffer buffer(&gif);
  QImageReader reader(&buffer, "gif");
  const QImage frame = reader.read().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(frame.size(), QSize(219, 101));
  const QPoint origin(18, 175);
  for (QPoint corner : {QPoint(0, 0), QPoint(218, 0), QPoint(0, 100), QPoint(218, 100)}) {
    const QRgb a = frame.pixel(corner), b = skin.pixel(origin + corner);
    EXPECT_LE(std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                  std::abs(qBlue(a) - qBlue(b)),
              24)
        << corner.x() << "," << corner.y();
  }
}

TEST(Assets, HoverPicturesDifferFromNormalOnes) {
  const char* pairs[][2] = {{"close_normal.png", "close_hover.png"},
                            {"minimise_normal.png", "minimise_hover.png"},
                            {"maximise_normal.png", "maximise_hover.png"},
                            {"stations_normal.png", "stations_hover.png"},
                            {"request_normal.png", "request_hover.png"},
                            {"board_button_normal.png", "board_button_hover.png"},
                            {"search_go_normal.png", "search_go_hover.png"},
                            {"search_previous_normal.png", "search_previous_disabled.png"},
                            {"search_close_normal.png", "search_close_hover.png"}};
  for (const auto& pair : pairs) {
    const QImage normal = Decode(pair[0], "PNG");
    const QImage hover = Decode(pair[1], "PNG");
    EXPECT_EQ(normal.size(), hover.size()) << pair[0];
    EXPECT_NE(normal, hover) << pair[0];
  }
}

TEST(Assets, StationsButtonLeavesTheOverlapWithTheRequestButtonClear) {
  // diantaidaohang (279,211) and diange (269,235) overlap in the Main window; the station
  // list button draws nothing there so that the song request button shows.
  const QRect stations(279, 211, 91, 41), request(269, 235, 91, 41);
  const QRect overlap = stations.intersected(request);
  ASSERT_FALSE(overlap.isEmpty());
  for (const char* name : {"stations_normal.png", "stations_hover.png"}) {
    const QImage image = Decode(name, "PNG");
    int drawn = 0;
    for (int y = overlap.top(); y <= overlap.bottom(); ++y)
      for (int x = overlap.left(); x <= overlap.right(); ++x)
        if (qAlpha(image.pixel(x - stations.x(), y - stations.y())) != 0) ++drawn;
    EXPECT_EQ(drawn, 0) << name;
  }
}

TEST(Assets, AnimationIsAFiveFrameLoopOf120Milliseconds) {
  QByteArray gif = Bytes(QStringLiteral("animation.gif"));
  ASSERT_TRUE(gif.startsWith("GIF89a"));
  QBuffer buffer(&gif);
  QImageReader reader(&buffer, "gif");
  EXPECT_EQ(reader.imageCount(), 5);
  EXPECT_EQ(reader.loopCount(), -1) << "loops forever";
  std::vector<QImage> frames;
  while (reader.canRead()) {
    const QImage frame = reader.read();
    if (frame.isNull()) break;
    EXPECT_EQ(frame.size(), QSize(219, 101));
    EXPECT_EQ(reader.nextImageDelay(), 120) << "frame " << frames.size();
    frames.push_back(frame);
  }
  ASSERT_EQ(frames.size(), 5u);
  for (std::size_t i = 0; i < frames.size(); ++i)
    EXPECT_NE(frames[i], frames[(i + 1) % frames.size()]) << "frames " << i << " and next";
}

TEST(Assets, CursorFileHasOne32BitImageWithHotspotAt9x5) {
  const QByteArray cur = Bytes(QStringLiteral("xiao.cur"));
  ASSERT_EQ(cur.size(), 4286);
  // Directory: reserved, type 2 = cursor, one image.
  EXPECT_EQ(Le16(cur, 0), 0);
  EXPECT_EQ(Le16(cur, 2), 2);
  EXPECT_EQ(Le16(cur, 4), 1);
  // Entry: 32x32, no palette, hotspot, image size and offset.
  EXPECT_EQ(std::uint8_t(cur.at(6)), 32);
  EXPECT_EQ(std::uint8_t(cur.at(7)), 32);
  EXPECT_EQ(std::uint8_t(cur.at(8)), 0);
  EXPECT_EQ(Le16(cur, 10), 9);
  EXPECT_EQ(Le16(cur, 12), 5);
  EXPECT_EQ(Le32(cur, 14), 40u + 4096u + 128u);
  EXPECT_EQ(Le32(cur, 18), 22u);
  // Bitmap header: the height counts the colour image and the mask.
  EXPECT_EQ(Le32(cur, 22), 40u);
  EXPECT_EQ(Le32(cur, 26), 32u);
  EXPECT_EQ(Le32(cur, 30), 64u);
  EXPECT_EQ(Le16(cur, 34), 1);
  EXPECT_EQ(Le16(cur, 36), 32);
  EXPECT_EQ(Le32(cur, 38), 0u);

  // Rows are stored bottom-up: BGRA colour rows, then 1-bit mask rows (1 = transparent).
  constexpr int kColour = 22 + 40;
  constexpr int kMask = kColour + 32 * 32 * 4;
  int opaque = 0, maskMismatch = 0, white = 0;
  auto alphaAt = [&](int x, int y) {
    return std::uint8_t(cur.at(kColour + ((31 - y) * 32 + x) * 4 + 3));
  };
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const int at = kColour + ((31 - y) * 32 + x) * 4;
      const bool transparentBit =
          (std::uint8_t(cur.at(kMask + (31 - y) * 4 + x / 8)) >> (7 - x % 8)) & 1;
      const int alpha = alphaAt(x, y);
      if (alpha > 0) ++opaque;
      if (transparentBit != (alpha == 0)) ++maskMismatch;
      if (alpha > 0 && std::uint8_t(cur.at(at)) == 255 && std::uint8_t(cur.at(at + 1)) == 255 &&
          std::uint8_t(cur.at(at + 2)) == 255)
        ++white;
    }
  EXPECT_EQ(maskMismatch, 0);
  EXPECT_EQ(white, 0);
  EXPECT_GT(opaque, 60);
  EXPECT_LT(opaque, 32 * 32 / 2);
  EXPECT_EQ(alphaAt(9, 5), 255) << "the hotspot lies on the pointer";

  // A standard cursor reader accepts it.
  const QImage decoded = QImage::fromData(cur, "CUR");
  EXPECT_EQ(decoded.size(), QSize(32, 32));
}

}  // namespace
