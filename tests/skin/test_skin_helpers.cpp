// The helpers, the skin initialiser and the shared operations.
#include <gtest/gtest.h>

#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "skin/skin.h"
#include "tests/skin/skin_test_support.h"
#include "ui/props.h"
#include "ui/winproc.h"

using namespace sonaro;
using namespace sonaro::skin;

TEST(SkinHelpers, ArgbFromColorKeepsTheByteOrder) {
  EXPECT_EQ(ArgbFromColor(0, 255), 0xFF000000u);
  EXPECT_EQ(ArgbFromColor(0x7B8084, 255), 0xFF84807Bu);
  // Red (low byte of the COLORREF) ends in bits 16-23, blue in bits 0-7.
  EXPECT_EQ(ArgbFromColor(0x0000FF, 0x80), 0x80FF0000u);
  EXPECT_EQ(ArgbFromColor(0xFF0000, 0), 0x000000FFu);
  EXPECT_EQ(ArgbFromColor(0x00FF00, 1), 0x0100FF00u);
}

TEST(SkinHelpers, FitSizeShrinksOnlyAndKeepsTheAspect) {
  EXPECT_EQ(FitSize(200, 100, 100, 100), QSize(100, 50));
  EXPECT_EQ(FitSize(50, 200, 100, 100), QSize(25, 100));
  EXPECT_EQ(FitSize(10, 10, 100, 100), QSize(10, 10));
  EXPECT_EQ(FitSize(40, 20, 20, 20), QSize(20, 10));
  // Both steps, each truncating: 300x200 into 100x50 -> 100x66 -> 75x50.
  EXPECT_EQ(FitSize(300, 200, 100, 50), QSize(75, 50));
  // Truncation toward zero: 7x3 into 5x5 -> 5 x (3*5/7 = 2).
  EXPECT_EQ(FitSize(7, 3, 5, 5), QSize(5, 2));
}

// What a layered window repaints after a new frame: only the pixels that differ.
TEST(SkinHelpers, ChangedAreaBoundsTheDifferingPixels) {
  QImage before(40, 30, QImage::Format_ARGB32_Premultiplied);
  before.fill(0x80102030u);
  struct Case {
    std::vector<QPoint> changed;
    QRect area;
  };
  const Case cases[] = {
      {{}, QRect()},
      {{{0, 0}}, QRect(0, 0, 1, 1)},
      {{{39, 29}}, QRect(39, 29, 1, 1)},
      {{{5, 20}, {30, 3}}, QRect(QPoint(5, 3), QPoint(30, 20))},
      {{{12, 7}, {12, 8}, {13, 7}}, QRect(QPoint(12, 7), QPoint(13, 8))},
  };
  for (const Case& c : cases) {
    QImage after = before.copy();
    for (const QPoint& p : c.changed) after.setPixel(p, 0x80102031u);
    EXPECT_EQ(ChangedArea(before, after), c.area) << c.changed.size();
  }
  // A first frame, a new size or format: all of it.
  EXPECT_EQ(ChangedArea(QImage(), before), before.rect());
  EXPECT_EQ(ChangedArea(before.copy(0, 0, 20, 30), before), before.rect());
  EXPECT_EQ(ChangedArea(before.convertToFormat(QImage::Format_ARGB32), before), before.rect());
}

TEST(SkinHelpers, LoadImageFromBytesDecodesOrGivesNull) {
  EXPECT_EQ(LoadImageFromBytes(QByteArray()), nullptr);
  EXPECT_EQ(LoadImageFromBytes(QByteArray("not a picture")), nullptr);
  Image* image = LoadImageFromBytes(test::SolidPng(12, 7, QColor(10, 20, 30, 128)));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->Size(), QSize(12, 7));
  EXPECT_EQ(image->SelectedFrame(), 0);
  EXPECT_EQ(image->Frame().format(), QImage::Format_ARGB32_Premultiplied);
  const QColor pixel =
      QColor::fromRgba(image->Frame().convertToFormat(QImage::Format_ARGB32).pixel(3, 3));
  EXPECT_EQ(pixel.alpha(), 128);
  EXPECT_NEAR(pixel.red(), 10, 1);
  DisposeImage(image);

  // A GIF: frame 0 is selected; the frame count is known.
  const QByteArray gif =
      test::Gif(4, 4, {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)}, {10, 20, 30});
  image = LoadImageFromBytes(gif);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->FrameCount(), 3);
  EXPECT_EQ(QColor(image->Frame().pixel(1, 1)), QColor(255, 0, 0));
  DisposeImage(image);
}

TEST(SkinHelpers, GifFrameDelaysAreReadFromTheFile) {
  const std::vector<QRgb> colours{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
  EXPECT_EQ(GifFrameDelays(test::Gif(4, 4, colours, {10, 20, 30})), (std::vector<int>{10, 20, 30}));
  EXPECT_EQ(GifFrameDelays(test::Gif(4, 4, colours, {0, 0, 0})), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(GifFrameDelays(test::Gif(4, 4, colours, {}, false)), (std::vector<int>{0, 0, 0}));
  EXPECT_TRUE(GifFrameDelays(test::SolidPng(2, 2, Qt::red)).empty());

  Image* image = Image::Decode(test::Gif(4, 4, colours, {10, 20, 30}), true);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->FrameCount(), 3);
  EXPECT_EQ(image->FrameDelays(), (std::vector<int>{10, 20, 30}));
  ASSERT_TRUE(image->SelectFrame(2));
  EXPECT_EQ(QColor(image->Frame().pixel(0, 0)), QColor(0, 0, 255));
  EXPECT_FALSE(image->SelectFrame(3));
  EXPECT_EQ(image->SelectedFrame(), 2);
  DisposeImage(image);
}

TEST(SkinRuntime, InitialiserRegistersTheClassAndTheFrameDimension) {
  InitialiseSkinRuntime();
  EXPECT_TRUE(SkinWindowClassRegistered());
  EXPECT_EQ(TimeFrameDimension(), QUuid(QStringLiteral("{6AEDBD6D-3FB5-418A-83A6-7F45229DC872}")));
  InitialiseSkinRuntime();  // a second run changes nothing
  EXPECT_TRUE(SkinWindowClassRegistered());

  QWidget* window = CreateSkinClassWindow(nullptr, true);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->objectName(), QStringLiteral("ZuderLoadDialog"));
  EXPECT_EQ(ui::GetWindowProc(window), &ZuderWindowProc);
  EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
  // Destroying a window of the class with none of its properties set: default processing only.
  test::CleanupTraceGuard trace;
  delete window;
  EXPECT_TRUE(skin::testing::CleanupTrace().empty());
}

TEST(SkinRuntime, PressOnAClassWindowWithoutHitMoveOnlyGetsDefaultProcessing) {
  InitialiseSkinRuntime();
  QWidget* window = CreateSkinClassWindow(nullptr, false);
  window->setGeometry(200, 200, 60, 40);
  ASSERT_TRUE(test::ShowAndWait(window));
  const QPoint before = window->pos();
  QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseMove(window->windowHandle(), QPoint(30, 30));
  QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, QPoint(30, 30));
  EXPECT_EQ(window->pos(), before);

  ui::SetProp(window, "ZuderHitMove", 2);  // only exactly 1 drags
  QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseMove(window->windowHandle(), QPoint(30, 30));
  QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, QPoint(30, 30));
  EXPECT_EQ(window->pos(), before);
  delete window;
}

TEST(SkinRuntime, MoveKeepsOmittedValuesAndRaises) {
  ui::Hooked<QWidget> parent;
  parent.resize(200, 100);
  auto* lower = new ui::Hooked<QPushButton>(&parent);
  auto* upper = new ui::Hooked<QPushButton>(&parent);
  lower->setGeometry(10, 20, 30, 40);
  upper->setGeometry(0, 0, 5, 5);
  SkinButton skin;
  skin.Bind(lower);
  ASSERT_EQ(parent.children().last(), upper);
  skin.Move(50);  // only x given
  EXPECT_EQ(lower->geometry(), QRect(50, 20, 30, 40));
  EXPECT_EQ(parent.children().last(), lower);  // brought to the top
  skin.Move(std::nullopt, std::nullopt, std::nullopt, 11);
  EXPECT_EQ(lower->geometry(), QRect(50, 20, 30, 11));
  skin.Move(1, 2, 3, 4, true);
  EXPECT_EQ(lower->geometry(), QRect(1, 2, 3, 4));
}

TEST(SkinControlBase, AttachHooksTheParentOnceAndFailsOnDeadHandles) {
  ui::Hooked<QWidget> parent;
  auto* first = new ui::Hooked<QPushButton>(&parent);
  auto* second = new ui::Hooked<QPushButton>(&parent);
  SkinControl a, b;
  EXPECT_FALSE(a.Attach(nullptr));
  EXPECT_FALSE(a.IsValid());
  const ui::WndProc own = ui::GetWindowProc(&parent);
  ASSERT_TRUE(a.Attach(first));
  EXPECT_TRUE(a.IsValid());
  EXPECT_EQ(a.GetHandle(), first);
  EXPECT_EQ(a.GetWindowHandle(), first);
  const ui::WndProc hooked = ui::GetWindowProc(&parent);
  EXPECT_NE(hooked, own);
  EXPECT_EQ(ui::ValueToProc(quintptr(ui::GetPropInt(&parent, "PngControl_WndProc"))), own);
  ASSERT_TRUE(b.Attach(second));
  EXPECT_EQ(ui::GetWindowProc(&parent), hooked);  // not hooked twice
  EXPECT_EQ(ui::ValueToProc(quintptr(ui::GetPropInt(&parent, "PngControl_WndProc"))), own);

  a.SetProperty("Anything", 42);
  EXPECT_EQ(a.GetProperty("Anything").toInt(), 42);
  EXPECT_EQ(a.GetProperty("Unset").toInt(), 0);

  // Copying an object copies the handle; a destroyed control leaves a stale object.
  SkinControl copy = a;
  EXPECT_EQ(copy.GetHandle(), first);
  delete first;
  EXPECT_FALSE(a.IsValid());
  EXPECT_FALSE(copy.IsValid());
}
