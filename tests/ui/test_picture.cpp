// Decoding the program's pictures by their signature: the same pixels as Qt's own guess, and
// only the named format's decoder loaded (guessing loads every image plugin). Its own process,
// so the image plugins mapped are this test's alone.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QString>

#include "assets/assets.h"
#include "ui/picture.h"

using namespace sonaro;

namespace {

// The image-format plugins mapped into this process, e.g. "libqgif.so".
QStringList MappedImagePlugins() {
  QFile maps(QStringLiteral("/proc/self/maps"));
  if (!maps.open(QIODevice::ReadOnly)) return {QStringLiteral("(maps unreadable)")};
  QStringList plugins;
  for (const QByteArray& line : maps.readAll().split('\n')) {
    const int at = line.indexOf("/imageformats/");
    if (at < 0) continue;
    const QString name = QString::fromUtf8(line.mid(at + 14));
    if (!plugins.contains(name)) plugins << name;
  }
  return plugins;
}

}  // namespace

TEST(Picture, FormatsAreToldBySignature) {
  EXPECT_STREQ(ui::PictureFormat(QByteArray("\x89PNG\r\n\x1a\n....", 12)), "png");
  EXPECT_STREQ(ui::PictureFormat("GIF87a...."), "gif");
  EXPECT_STREQ(ui::PictureFormat("GIF89a...."), "gif");
  EXPECT_STREQ(ui::PictureFormat("\xff\xd8\xff\xe0...."), "jpeg");
  EXPECT_STREQ(ui::PictureFormat("BM" + QByteArray(52, '\0')), "bmp");
  EXPECT_EQ(ui::PictureFormat("BM"), nullptr) << "too short for a bitmap header";
  EXPECT_EQ(ui::PictureFormat(""), nullptr);
  EXPECT_EQ(ui::PictureFormat("GIF90a...."), nullptr);
  EXPECT_EQ(ui::PictureFormat("<svg xmlns='http://www.w3.org/2000/svg'/>"), nullptr);
}

TEST(Picture, DecodesWithTheNamedDecoderOnlyAndAsQtWould) {
  const QByteArray png = assets::Bytes(QStringLiteral("main_skin.png"));
  const QByteArray bmp = assets::Bytes(QStringLiteral("station_panel.bmp"));
  const QByteArray gif = assets::Bytes(QStringLiteral("animation.gif"));
  const QByteArray jpeg = assets::Bytes(QStringLiteral("main_background.jpg"));
  ASSERT_FALSE(png.isEmpty() || bmp.isEmpty() || gif.isEmpty() || jpeg.isEmpty());

  const QImage fromPng = ui::DecodePicture(png);
  const QImage fromBmp = ui::DecodePicture(bmp);
  EXPECT_FALSE(fromPng.isNull());
  EXPECT_FALSE(fromBmp.isNull());
  EXPECT_EQ(MappedImagePlugins(), QStringList()) << "PNG and BMP are decoded by Qt itself";

  const QImage fromGif = ui::DecodePicture(gif);
  const QImage fromJpeg = ui::DecodePicture(jpeg);
  EXPECT_FALSE(fromGif.isNull());
  EXPECT_FALSE(fromJpeg.isNull());
  QStringList plugins = MappedImagePlugins();
  plugins.sort();
  EXPECT_EQ(plugins, QStringList({QStringLiteral("libqgif.so"), QStringLiteral("libqjpeg.so")}));

  // Bytes of no known signature are guessed as before; a broken picture decodes to nothing.
  EXPECT_TRUE(ui::DecodePicture("not a picture").isNull());
  EXPECT_TRUE(ui::DecodePicture(png.left(40)).isNull());
  EXPECT_TRUE(ui::DecodePicture(QByteArray()).isNull());

  // Qt's own guess (every plugin asked) gives the same pixels.
  EXPECT_EQ(fromPng, QImage::fromData(png));
  EXPECT_EQ(fromBmp, QImage::fromData(bmp));
  EXPECT_EQ(fromGif, QImage::fromData(gif));
  EXPECT_EQ(fromJpeg, QImage::fromData(jpeg));
}
