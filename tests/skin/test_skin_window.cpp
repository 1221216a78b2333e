// The layered skin window: composition on pixels, presenting, adopting the controls,
// buttons and text boxes in layer mode, and the simulated caret.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "skin/skin.h"
#include "skin/testing.h"
#include "tests/skin/skin_test_support.h"
#include "ui/props.h"
#include "ui/winproc.h"

using namespace sonaro;
using namespace sonaro::skin;

namespace {

const QColor kPanel(40, 40, 40);
const QColor kNormal(255, 0, 0);
const QColor kOver(0, 255, 0);

// 200 x 120 with an opaque panel and a fully transparent 8-pixel margin.
QByteArray Background() {
  QImage image = test::Solid(200, 120, Qt::transparent);
  QPainter painter(&image);
  painter.fillRect(QRect(8, 8, 184, 104), kPanel);
  return test::Png(image);
}

QColor Rgba(const QImage& image, int x, int y) {
  return QColor::fromRgba(image.convertToFormat(QImage::Format_ARGB32).pixel(x, y));
}

class LayeredWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    InitialiseSkinRuntime();
    window = new ui::Hooked<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window->setGeometry(150, 150, 200, 120);
  }
  void TearDown() override { delete window; }

  QPushButton* AddButton(QRect rect, SkinButton& skin, QByteArray normal, QByteArray over) {
    auto* button = new ui::Hooked<QPushButton>(QStringLiteral("B"), window);
    button->setGeometry(rect);
    skin.Bind(button);
    skin.SetImageData(normal, over);
    return button;
  }
  QLineEdit* AddBox(QRect rect, SkinTextBox& skin) {
    auto* edit = new ui::Hooked<QLineEdit>(window);
    edit->setGeometry(rect);
    QFont font = edit->font();
    font.setPixelSize(14);
    edit->setFont(font);
    skin.Bind(edit);
    return edit;
  }

  QWidget* window = nullptr;
  SkinWindow skin;
};

}  // namespace

TEST_F(LayeredWindow, AttachMakesTheWindowLayeredAndStartsTheBlinkTimerOnce) {
  SkinWindow unbound;
  EXPECT_FALSE(unbound.Attach(nullptr));
  EXPECT_FALSE(unbound.IsValid());
  ASSERT_TRUE(skin.Attach(window));
  EXPECT_TRUE(skin.IsValid());
  EXPECT_EQ(skin.GetHandle(), window);
  EXPECT_TRUE(window->testAttribute(Qt::WA_TranslucentBackground));
  EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(ui::GetPropInt(window, "PngControl_Time"), 64);
  ASSERT_TRUE(skin.Attach(window));
  ASSERT_EQ(window->findChildren<QTimer*>().size(), 1);
  // Shown without a focused text box, it has no caret to blink.
  window->show();
  EXPECT_FALSE(window->findChildren<QTimer*>().front()->isActive());
}

TEST_F(LayeredWindow, SetBackImageWithNullFailsAndKeepsThePreviousBackground) {
  EXPECT_FALSE(skin.SetBackImageData(Background()));  // not attached yet
  ASSERT_TRUE(skin.Attach(window));
  EXPECT_FALSE(skin.SetBackImage(nullptr));
  EXPECT_FALSE(skin.SetBackImageData(QByteArray("broken")));
  ASSERT_TRUE(skin.SetBackImageData(Background()));
  Image* back = ui::GetPropPtr<Image>(window, "PngControl_BackImage");
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(skin.SetBackImage(nullptr));
  EXPECT_FALSE(skin.SetBackImageData(QByteArray()));
  EXPECT_EQ(ui::GetPropPtr<Image>(window, "PngControl_BackImage"), back);
  EXPECT_EQ(Rgba(PresentedLayer(window), 100, 60), kPanel);
}

TEST_F(LayeredWindow, TheBackgroundIsStretchedAndTransparentMarginsKeepAlphaZero) {
  ASSERT_TRUE(skin.Attach(window));
  ASSERT_TRUE(skin.SetBackImageData(Background()));
  const QImage layer = ComposeLayerImage(window);
  ASSERT_EQ(layer.size(), QSize(200, 120));
  EXPECT_EQ(layer.format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_EQ(qAlpha(layer.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(layer.pixel(7, 60)), 0);
  EXPECT_EQ(qAlpha(layer.pixel(199, 119)), 0);
  EXPECT_EQ(Rgba(layer, 8, 8), kPanel);

  // A smaller background is stretched over the whole window.
  ASSERT_TRUE(skin.SetBackImageData(test::SolidPng(20, 12, QColor(0, 128, 0))));
  const QImage stretched = ComposeLayerImage(window);
  EXPECT_EQ(Rgba(stretched, 0, 0), QColor(0, 128, 0));
  EXPECT_EQ(Rgba(stretched, 199, 119), QColor(0, 128, 0));
}

TEST_F(LayeredWindow, ThePresentedPictureKeepsPerPixelAlpha) {
  ASSERT_TRUE(skin.Attach(window));
  ASSERT_TRUE(skin.SetBackImageData(Background()));
  ASSERT_TRUE(test::ShowAndWait(window));
  const QImage shown = test::Grab(window);  // through the window's real paint path
  EXPECT_EQ(qAlpha(shown.convertToFormat(QImage::Format_ARGB32).pixel(2, 2)), 0);
  EXPECT_EQ(Rgba(shown, 100, 60), kPanel);
}

TEST_F(LayeredWindow, AControlImageLargerThanTheControlIsCutToItsSize) {
  ASSERT_TRUE(skin.Attach(window));
  ASSERT_TRUE(skin.SetBackImageData(Background()));
  SkinButton button;
  QImage big = test::Solid(60, 40, kOver);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) big.setPixelColor(x, y, kNormal);
  AddButton(QRect(30, 30, 20, 10), button, test::Png(big), QByteArray());
  skin.AdoptControls();
  const QImage layer = ComposeLayerImage(window);
  for (int y = 30; y < 40; ++y)
    for (int x = 30; x < 50; ++x) ASSERT_EQ(Rgba(layer, x, y), kNormal) << x << "," << y;
  EXPECT_EQ(Rgba(layer, 50, 35), kPanel);
  EXPECT_EQ(Rgba(layer, 40, 40), kPanel);
}

TEST_F(LayeredWindow, FitAndCentreAndStretchOnTheLayer) {
  ASSERT_TRUE(skin.Attach(window));
  ASSERT_TRUE(skin.SetBackImageData(Background()));
  SkinButton fit, stretch;
  AddButton(QRect(20, 20, 20, 20), fit, test::SolidPng(40, 20, kNormal), QByteArray());
  fit.SetBackType(2);
  AddButton(QRect(100, 20, 30, 30), stretch, test::SolidPng(3, 3, kOver), QByteArray());
  stretch.SetBackType(1);
  const QImage layer = ComposeLayerImage(window);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(Rgba(layer, 20 + x, 20 + y), (y >= 5 && y < 15) ? kNormal : kPanel) << x << y;
  EXPECT_EQ(Rgba(layer, 100, 20), kOver);
  EXPECT_EQ(Rgba(layer, 129, 49), kOver);
  EXPECT_EQ(Rgba(layer, 130, 35), kPanel);
}

TEST_F(LayeredWindow, AnUnskinnedChildIsAbsentFromTheLayerAndTheWindow) {
  ASSERT_TRUE(skin.Attach(window));
  auto* label = new ui::Hooked<QLabel>(QStringLiteral("plain"), window);
  label->setGeometry(40, 40, 60, 30);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, Qt::magenta);
  label->setPalette(palette);
  ASSERT_TRUE(skin.SetBackImageData(Background()));
  skin.AdoptControls();
  EXPECT_EQ(Rgba(ComposeLayerImage(window), 60, 50), kPanel);
  ASSERT_TRUE(test::ShowAndWait(window));
  const QImage shown = test::Grab(window);
  for (int y = 40; y < 70; ++y)
    for (int x = 40; x < 100; ++x) ASSERT_EQ(Rgba(shown, x, y), kPanel) << x << "," << y;
  // A child added later is just as invisible.
  auto* late = new ui::Hooked<QLabel>(QStringLiteral("late"), window);
  late->setGeometry(120, 40, 40, 30);
  late->setAutoFillBackground(true);
  late->setPalette(palette);
  late->show();
  EXPECT_EQ(Rgba(test::Grab(window), 130, 50), kPanel);
}

TEST_F(LayeredWindow, SkinnedChildrenAreDrawnFromTheTopOfTheZOrderDown) {
  ASSERT_TRUE(skin.Attach(window));
  SkinButton lowerSkin, upperSkin;
  QPushButton* lower =
      AddButton(QRect(20, 20, 40, 40), lowerSkin, test::SolidPng(40, 40, kNormal), {});
  QPushButton* upper =
      AddButton(QRect(40, 40, 40, 40), upperSkin, test::SolidPng(40, 40, kOver), {});
  upper->raise();
  ASSERT_EQ(window->children().last(), upper);
  // The top child is drawn first, so the lower one ends up over it where they overlap.
  EXPECT_EQ(Rgba(ComposeLayerImage(window), 50, 50), kNormal);
  lower->raise();
  EXPECT_EQ(Rgba(ComposeLayerImage(window), 50, 50), kOver);
}

TEST_F(LayeredWindow, TextBoxOnTheLayerFillImageBorderAndText) {
  ASSERT_TRUE(skin.Attach(window));
  ASSERT_TRUE(skin.SetBackImageData(test::SolidPng(200, 120, QColor(0, 0, 0))));
  SkinTextBox boxSkin;
  QLineEdit* edit = AddBox(QRect(20, 20, 100, 24), boxSkin);
  boxSkin.SetBackColor(0xFFFFFF, 128);    // half-transparent white over black
  boxSkin.SetBorderColor(0x0000FF, 255);  // red
  boxSkin.SetTextColor(0x00FF00);         // green
  boxSkin.SetBackImageData(test::SolidPng(30, 10, QColor(0, 0, 255)));  // smaller than the box
  skin.AdoptControls();
  EXPECT_EQ(ui::GetPropInt(edit, "PngControl_WndProc"), 0);
  EXPECT_NE(ui::GetPropInt(edit, "PngControl_ChildWndProc"), 0);

  QImage layer = ComposeLayerImage(window);
  // The border outline of (x, y, w, h): from x to x + w, from y to y + h.
  EXPECT_EQ(Rgba(layer, 20, 30), QColor(255, 0, 0));
  EXPECT_EQ(Rgba(layer, 120, 30), QColor(255, 0, 0));
  EXPECT_EQ(Rgba(layer, 60, 20), QColor(255, 0, 0));
  EXPECT_EQ(Rgba(layer, 60, 44), QColor(255, 0, 0));
  // The image at the top-left corner, the fill around its right and bottom edges.
  EXPECT_EQ(Rgba(layer, 25, 25), QColor(0, 0, 255));
  const QColor fill = Rgba(layer, 60, 36);
  EXPECT_NEAR(fill.red(), 128, 2);
  EXPECT_NEAR(fill.green(), 128, 2);
  EXPECT_EQ(fill.alpha(), 255);
  EXPECT_NEAR(Rgba(layer, 25, 35).red(), 128, 2);  // below the image
  // An empty box draws no text.
  auto greenPixels = [&](const QImage& image) {
    int n = 0;
    for (int y = 21; y < 44; ++y)
      for (int x = 21; x < 120; ++x) {
        const QColor c = Rgba(image, x, y);
        if (c.green() > 200 && c.red() < 100 && c.blue() < 100) ++n;
      }
    return n;
  };
  EXPECT_EQ(greenPixels(layer), 0);

  // Setting the text recomposes the presented layer with the text in the text colour.
  const int composed = skin::testing::Count().composeLayer;
  edit->setText(QStringLiteral("HELLO"));
  EXPECT_GT(skin::testing::Count().composeLayer, composed);
  EXPECT_GT(greenPixels(PresentedLayer(window)), 20);

  // Border and fill with alpha, no image: over the black background.
  boxSkin.SetBackImage(nullptr);
  boxSkin.SetBorderColor(0xFFFFFF, 64);
  boxSkin.SetBackColor(-1);
  layer = ComposeLayerImage(window);
  EXPECT_NEAR(Rgba(layer, 20, 30).red(), 64, 2);
  EXPECT_EQ(Rgba(layer, 30, 22), QColor(0, 0, 0));  // no fill: the background shows
}

TEST_F(LayeredWindow, TextColourZeroIsOpaqueBlackAndTheFontIsTheControls) {
  ASSERT_TRUE(skin.Attach(window));
  ASSERT_TRUE(skin.SetBackImageData(test::SolidPng(200, 120, QColor(255, 255, 255))));
  SkinTextBox boxSkin;
  QLineEdit* edit = AddBox(QRect(10, 10, 180, 40), boxSkin);
  boxSkin.SetBackColor(-1);
  boxSkin.SetBorderColor(-1);
  edit->setText(QStringLiteral("Wide text here"));
  skin.AdoptControls();
  const QImage small = ComposeLayerImage(window);
  int darkSmall = 0, rows = 0;
  int top = 100, bottom = -1;
  for (int y = 10; y < 50; ++y) {
    bool any = false;
    for (int x = 10; x < 190; ++x) {
      if (qGray(small.pixel(x, y)) < 60) {
        ++darkSmall;
        any = true;
        EXPECT_EQ(qAlpha(small.pixel(x, y)), 255);
      }
    }
    if (any) {
      ++rows;
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  EXPECT_GT(darkSmall, 30);
  // Vertically centred in the layout rectangle (12..48).
  EXPECT_NEAR((top + bottom) / 2.0, 30.0, 4.0);
  // A bigger control font draws bigger text.
  QFont font = edit->font();
  font.setPixelSize(28);
  edit->setFont(font);
  const QImage big = ComposeLayerImage(window);
  int darkBig = 0;
  for (int y = 10; y < 50; ++y)
    for (int x = 10; x < 190; ++x) darkBig += qGray(big.pixel(x, y)) < 60;
  EXPECT_GT(darkBig, darkSmall);
}

TEST_F(LayeredWindow, ButtonsOnTheLayerChangeStateAndRecomposeWithRealInput) {
  ASSERT_TRUE(skin.Attach(window));
  ASSERT_TRUE(skin.SetBackImageData(Background()));
  SkinButton buttonSkin;
  QPushButton* button = AddButton(QRect(40, 40, 40, 30), buttonSkin,
                                  test::SolidPng(40, 30, kNormal), test::SolidPng(40, 30, kOver));
  int clicks = 0;
  QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
  skin.AdoptControls();
  EXPECT_FALSE(ui::HasProp(button, "PngControl_WndProc"));
  EXPECT_TRUE(ui::HasProp(button, "PngControl_ChildWndProc"));
  ASSERT_TRUE(test::ShowAndWait(window));
  QTest::mouseMove(window->windowHandle(), QPoint(15, 15));
  auto state = [&] { return ui::GetPropInt(button, "Zuder_DrawState"); };
  EXPECT_EQ(Rgba(test::Grab(window), 50, 50), kNormal);

  auto& count = skin::testing::Count();
  int composed = count.composeLayer;
  test::MoveTo(button, QPoint(5, 5));
  EXPECT_EQ(state(), 1);
  EXPECT_EQ(count.composeLayer, composed + 1);
  EXPECT_EQ(Rgba(test::Grab(window), 50, 50), kOver);
  composed = count.composeLayer;
  test::MoveTo(button, QPoint(10, 10));  // no change, no recomposition
  EXPECT_EQ(count.composeLayer, composed);

  test::Press(button, QPoint(10, 10));
  EXPECT_EQ(state(), 2);
  EXPECT_EQ(Rgba(PresentedLayer(window), 50, 50), kNormal);  // no down image: the normal one
  test::Release(button, QPoint(10, 10));
  EXPECT_EQ(state(), 1);
  EXPECT_EQ(clicks, 1);
  QTest::mouseMove(window->windowHandle(), QPoint(15, 15));
  EXPECT_EQ(state(), 0);
  EXPECT_EQ(Rgba(PresentedLayer(window), 50, 50), kNormal);
  button->setEnabled(false);
  EXPECT_EQ(state(), 3);
  button->setEnabled(true);
  EXPECT_EQ(state(), 0);
  // The button no longer paints itself: the window shows only the layer.
  EXPECT_EQ(Rgba(test::Grab(window), 79, 69), kNormal);
}

namespace {

bool CaretShown(QWidget* window, QLineEdit* edit) {
  const QRect cursor = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
  const QPoint origin = edit->mapTo(window, QPoint(0, 0));
  const int x = origin.x() + cursor.x() + 5;
  const int y = origin.y() + (edit->height() - 12) / 2 + 6;
  const QImage picture = PresentedLayer(window);
  return !picture.isNull() && Rgba(picture, x, y) == QColor(0, 0, 0);
}

}  // namespace

TEST_F(LayeredWindow, TheCaretBlinksEvery500MsOnlyInTheFocusedWindow) {
  ASSERT_TRUE(skin.Attach(window));
  ASSERT_TRUE(skin.SetBackImageData(test::SolidPng(200, 120, QColor(200, 200, 200))));
  SkinTextBox boxSkin;
  QLineEdit* edit = AddBox(QRect(20, 40, 120, 24), boxSkin);
  edit->setText(QStringLiteral("ab"));
  skin.AdoptControls();

  // A second layered window with its own skinned box, not focused.
  auto* other = new ui::Hooked<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint);
  other->setGeometry(400, 150, 200, 120);
  SkinWindow otherSkin;
  ASSERT_TRUE(otherSkin.Attach(other));
  ASSERT_TRUE(otherSkin.SetBackImageData(test::SolidPng(200, 120, QColor(200, 200, 200))));
  auto* otherEdit = new ui::Hooked<QLineEdit>(other);
  otherEdit->setGeometry(20, 40, 120, 24);
  SkinTextBox otherBox;
  otherBox.Bind(otherEdit);
  otherSkin.AdoptControls();
  ASSERT_TRUE(test::ShowAndWait(other));

  ASSERT_TRUE(test::ShowAndWait(window));
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  // Only the window holding the caret has its blink timer running.
  auto blinking = [](QWidget* w) { return w->findChildren<QTimer*>().front()->isActive(); };
  edit->setFocus();
  ASSERT_TRUE(edit->hasFocus());
  EXPECT_EQ(CaretWindow(), window);
  EXPECT_EQ(CaretControl(), edit);
  EXPECT_FALSE(CaretShown(window, edit));  // phase 0 right after the focus
  EXPECT_TRUE(blinking(window));
  EXPECT_FALSE(blinking(other));

  // Shown at the next tick (500 ms on), then hidden and shown again every 500 ms without
  // recomposing. A busy machine makes ticks late, and the tick after a late one early: what
  // fails is a caret that stops, or one that blinks at twice the pace or more (a mean gap of
  // 250 ms or less).
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return CaretShown(window, edit); }, 5000));
  std::printf("caret shown after %lld ms\n", static_cast<long long>(clock.elapsed()));
  const int composed = skin::testing::Count().composeLayer;
  std::vector<qint64> flips;
  bool shown = true;
  clock.restart();
  while (flips.size() < 4 && clock.elapsed() < 10000) {
    QTest::qWait(5);
    const bool now = CaretShown(window, edit);
    if (now != shown) {
      flips.push_back(clock.elapsed());
      std::printf("caret %s at %lld ms\n", now ? "shown" : "hidden",
                  static_cast<long long>(flips.back()));
      shown = now;
    }
    EXPECT_FALSE(CaretShown(other, otherEdit));
  }
  ASSERT_EQ(flips.size(), 4u);
  EXPECT_GT((flips.back() - flips.front()) / qint64(flips.size() - 1), 350);
  EXPECT_EQ(skin::testing::Count().composeLayer, composed);

  // Typing recomposes and the caret follows the text.
  const int x0 = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
  QTest::keyClicks(edit, QStringLiteral("WW"));
  EXPECT_EQ(edit->text(), QStringLiteral("abWW"));
  EXPECT_GT(skin::testing::Count().composeLayer, composed);
  EXPECT_GT(edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().x(), x0);
  // Shown again at the next tick whose phase draws it (within two ticks, on a quiet machine).
  ASSERT_TRUE(QTest::qWaitFor([&] { return CaretShown(window, edit); }, 5000));

  // Losing the focus ends the blinking.
  edit->clearFocus();
  EXPECT_FALSE(blinking(window));
  EXPECT_EQ(CaretWindow(), nullptr);
  EXPECT_FALSE(CaretShown(window, edit));
  QTest::qWait(1100);
  EXPECT_FALSE(CaretShown(window, edit));
  delete other;
}
