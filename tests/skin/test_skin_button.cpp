// Image buttons standalone on an ordinary window, painted and driven by real input.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "skin/skin.h"
#include "skin/testing.h"
#include "tests/skin/skin_test_support.h"
#include "ui/props.h"
#include "ui/winproc.h"

using namespace sonaro;
using namespace sonaro::skin;

namespace {

const QColor kBehind(255, 255, 0);
const QColor kNormal(255, 0, 0);
const QColor kOver(0, 255, 0);
const QColor kDown(0, 0, 255);
const QColor kDisabled(128, 128, 128);

class StandaloneButton : public ::testing::Test {
 protected:
  void SetUp() override {
    InitialiseSkinRuntime();
    window = new ui::Hooked<test::Backdrop>(kBehind);
    window->setGeometry(100, 100, 120, 80);
    button = new ui::Hooked<QPushButton>(QStringLiteral("Caption"), window);
    button->setGeometry(20, 20, 40, 30);
    QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
  }
  void TearDown() override { delete window; }

  void BindWithImages(bool withDown = true, bool withDisabled = true) {
    skin.Bind(button);
    skin.SetImageData(
        test::SolidPng(40, 30, kNormal), test::SolidPng(40, 30, kOver),
        withDown ? std::optional(test::SolidPng(40, 30, kDown)) : std::nullopt,
        withDisabled ? std::optional(test::SolidPng(40, 30, kDisabled)) : std::nullopt);
  }
  bool Show() {
    if (!test::ShowAndWait(window)) return false;
    // Start with the pointer outside the button.
    QTest::mouseMove(window->windowHandle(), QPoint(5, 5));
    return true;
  }
  int State() const { return int(ui::GetPropInt(button, "Zuder_DrawState")); }
  QColor Shown(QPoint inButton = QPoint(10, 10)) const {
    return QColor(test::Grab(window).pixel(button->mapTo(window, inButton)));
  }

  QWidget* window = nullptr;
  QPushButton* button = nullptr;
  SkinButton skin;
  int clicks = 0;
};

}  // namespace

TEST_F(StandaloneButton, BindSetsTheKindAndTheStandaloneHook) {
  const ui::WndProc own = ui::GetWindowProc(button);
  Image* normal = LoadImageFromBytes(test::SolidPng(4, 4, kNormal));
  skin.Bind(button, normal);
  EXPECT_EQ(ui::GetPropInt(button, "PngControl_Type"), 3);
  EXPECT_EQ(ui::GetPropPtr<Image>(button, "PngControl_NormalImage"), normal);
  EXPECT_NE(ui::GetWindowProc(button), own);
  EXPECT_EQ(ui::ValueToProc(quintptr(ui::GetPropInt(button, "PngControl_WndProc"))), own);
  // A second Bind keeps the hook it already has.
  const ui::WndProc hook = ui::GetWindowProc(button);
  skin.Bind(button);
  EXPECT_EQ(ui::GetWindowProc(button), hook);
  EXPECT_EQ(ui::GetPropPtr<Image>(button, "PngControl_NormalImage"), normal);  // kept
  delete window;
  window = nullptr;
  DisposeImage(normal);
  // Bind on a dead handle does nothing.
  SkinButton other;
  other.Bind(nullptr);
  EXPECT_FALSE(other.IsValid());
}

TEST_F(StandaloneButton, SettersStoreGivenImagesAndLeaveOmittedOnes) {
  skin.Bind(button);
  Image* a = LoadImageFromBytes(test::SolidPng(2, 2, kNormal));
  Image* b = LoadImageFromBytes(test::SolidPng(2, 2, kOver));
  skin.SetImages(a, b);
  EXPECT_EQ(ui::GetPropPtr<Image>(button, "PngControl_NormalImage"), a);
  EXPECT_EQ(ui::GetPropPtr<Image>(button, "PngControl_OverlImage"), b);
  skin.SetImages(std::nullopt, nullptr);  // over given as 0, normal omitted
  EXPECT_EQ(ui::GetPropPtr<Image>(button, "PngControl_NormalImage"), a);
  EXPECT_EQ(ui::GetPropPtr<Image>(button, "PngControl_OverlImage"), nullptr);
  skin.SetImageData(QByteArray("broken"));  // a failed decode stores 0
  EXPECT_EQ(ui::GetPropPtr<Image>(button, "PngControl_NormalImage"), nullptr);
  skin.SetBackType(2);
  EXPECT_EQ(ui::GetPropInt(button, "PngControl_BackType"), 2);
  DisposeImage(a);
  DisposeImage(b);
}

TEST_F(StandaloneButton, StateImageFallsBackToTheNormalImage) {
  BindWithImages(false, false);
  for (int state : {0, 2, 3, 7}) {
    ui::SetProp(button, "Zuder_DrawState", state);
    EXPECT_EQ(StateImage(button), ui::GetPropPtr<Image>(button, "PngControl_NormalImage"));
  }
  ui::SetProp(button, "Zuder_DrawState", 1);
  EXPECT_EQ(StateImage(button), ui::GetPropPtr<Image>(button, "PngControl_OverlImage"));
}

TEST_F(StandaloneButton, DrawsTheStateImageWithAlphaOverWhatLiesBehindWithoutCaptionOrFocus) {
  skin.Bind(button);
  // Half-transparent red over the yellow backdrop; the top-left 10x10 fully transparent.
  QImage picture = test::Solid(40, 30, QColor(255, 0, 0, 128));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) picture.setPixelColor(x, y, Qt::transparent);
  skin.SetImageData(test::Png(picture));
  ASSERT_TRUE(Show());
  button->setFocus();
  const QImage shown = test::Grab(window);
  const QColor blended(shown.pixel(button->mapTo(window, QPoint(20, 20))));
  EXPECT_NEAR(blended.red(), 255, 2);
  EXPECT_NEAR(blended.green(), 127, 2);
  EXPECT_EQ(blended.blue(), 0);
  // Where the picture is transparent only what lies behind shows: no caption, no focus frame,
  // no button face.
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      ASSERT_EQ(QColor(shown.pixel(button->mapTo(window, QPoint(x, y)))), kBehind) << x << "," << y;
}

TEST_F(StandaloneButton, BackTypesNaturalCutFitAndStretch) {
  skin.Bind(button);  // 40 x 30
  // Natural size, larger than the button: only its top-left 40x30 shows, cut at the edges.
  QImage big = test::Solid(60, 50, kOver);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) big.setPixelColor(x, y, kNormal);
  skin.SetImageData(test::Png(big));
  ASSERT_TRUE(Show());
  QImage shown = test::Grab(window);
  const QPoint origin = button->mapTo(window, QPoint(0, 0));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      ASSERT_EQ(QColor(shown.pixel(origin + QPoint(x, y))), kNormal) << x << "," << y;
  EXPECT_EQ(QColor(shown.pixel(origin + QPoint(40, 10))), kBehind);
  EXPECT_EQ(QColor(shown.pixel(origin + QPoint(10, 30))), kBehind);

  // Natural size, smaller: at the top-left corner.
  skin.SetImageData(test::SolidPng(10, 10, kDown));
  shown = test::Grab(window);
  EXPECT_EQ(QColor(shown.pixel(origin + QPoint(9, 9))), kDown);
  EXPECT_EQ(QColor(shown.pixel(origin + QPoint(10, 10))), kBehind);

  // Stretched over the whole button.
  skin.SetBackType(1);
  button->update();
  shown = test::Grab(window);
  EXPECT_EQ(QColor(shown.pixel(origin + QPoint(0, 0))), kDown);
  EXPECT_EQ(QColor(shown.pixel(origin + QPoint(39, 29))), kDown);
}

TEST_F(StandaloneButton, FitAndCentreDraws40x20As20x10At0x5) {
  button->setGeometry(20, 20, 20, 20);
  skin.Bind(button);
  skin.SetBackType(2);
  skin.SetImageData(test::SolidPng(40, 20, kNormal));
  ASSERT_TRUE(Show());
  const QImage shown = test::Grab(window);
  const QPoint origin = button->mapTo(window, QPoint(0, 0));
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) {
      const QColor expected = (y >= 5 && y < 15) ? kNormal : kBehind;
      ASSERT_EQ(QColor(shown.pixel(origin + QPoint(x, y))), expected) << x << "," << y;
    }
  }
}

TEST_F(StandaloneButton, OverDownReleaseLeaveWithRealMouseEvents) {
  BindWithImages();
  ASSERT_TRUE(Show());
  EXPECT_EQ(State(), 0);
  EXPECT_EQ(Shown(), kNormal);

  test::MoveTo(button, QPoint(10, 10));
  EXPECT_EQ(State(), 1);
  EXPECT_EQ(Shown(), kOver);

  test::Press(button, QPoint(10, 10));
  EXPECT_EQ(State(), 2);
  EXPECT_EQ(Shown(), kDown);

  test::Release(button, QPoint(10, 10));
  EXPECT_EQ(State(), 1);
  EXPECT_EQ(Shown(), kOver);
  EXPECT_EQ(clicks, 1);  // the program still gets its click

  test::MoveTo(window, QPoint(100, 70));  // leave
  EXPECT_EQ(State(), 0);
  EXPECT_EQ(Shown(), kNormal);
}

TEST_F(StandaloneButton, OnlyNormalAndOverImagesShowNormalWhilePressed) {
  BindWithImages(false, false);
  ASSERT_TRUE(Show());
  test::MoveTo(button, QPoint(10, 10));
  test::Press(button, QPoint(10, 10));
  EXPECT_EQ(State(), 2);
  EXPECT_EQ(Shown(), kNormal);
  test::Release(button, QPoint(10, 10));
  EXPECT_EQ(Shown(), kOver);
}

TEST_F(StandaloneButton, MovingInsideAnOverButtonNeitherRepaintsNorRequestsTheLeaveAgain) {
  BindWithImages();
  ASSERT_TRUE(Show());
  auto& count = skin::testing::Count();
  const int leavesBefore = count.leaveRequests;
  test::MoveTo(button, QPoint(5, 5));
  EXPECT_EQ(State(), 1);
  EXPECT_EQ(count.leaveRequests, leavesBefore + 1);
  const int paints = count.paintButton, leaves = count.leaveRequests;
  test::MoveTo(button, QPoint(15, 12));
  test::MoveTo(button, QPoint(30, 20));
  EXPECT_EQ(count.paintButton, paints);
  EXPECT_EQ(count.leaveRequests, leaves);
  // The same while pressed (state 2).
  test::Press(button, QPoint(30, 20));
  const int pressedPaints = count.paintButton;
  test::MoveTo(button, QPoint(25, 15));
  EXPECT_EQ(State(), 2);
  EXPECT_EQ(count.paintButton, pressedPaints);
  EXPECT_EQ(count.leaveRequests, leaves);
  test::Release(button, QPoint(25, 15));
}

TEST_F(StandaloneButton, AReleaseOutsideTheDownStateReturnsToNormal) {
  BindWithImages();
  ASSERT_TRUE(Show());
  // A press that started elsewhere: the button sees the pointer come in and then a release
  // without a press. Qt's platform path never delivers such a release to the button (the press's
  // implicit grab keeps it where the press was), so it is given to the button directly, as the
  // classic window system would deliver it.
  test::MoveTo(button, QPoint(10, 10));
  EXPECT_EQ(State(), 1);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 10),
                      button->mapToGlobal(QPointF(10, 10)), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(button, &release);
  EXPECT_EQ(State(), 0);
  EXPECT_EQ(Shown(), kNormal);
  EXPECT_EQ(clicks, 0);

  // Pressed on the button, dragged off and released there: the button left the down state on
  // the way out, so the release makes it normal, not over.
  test::MoveTo(button, QPoint(10, 10));
  test::Press(button, QPoint(10, 10));
  EXPECT_EQ(State(), 2);
  QTest::mouseMove(window->windowHandle(), QPoint(100, 70));
  EXPECT_NE(State(), 2);
  QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, QPoint(100, 70));
  EXPECT_EQ(State(), 0);
  EXPECT_EQ(clicks, 0);
}

TEST_F(StandaloneButton, DisablingShowsTheDisabledImageElseTheNormalOne) {
  BindWithImages();
  ASSERT_TRUE(Show());
  button->setEnabled(false);
  EXPECT_EQ(State(), 3);
  EXPECT_EQ(Shown(), kDisabled);
  button->setEnabled(true);
  EXPECT_EQ(State(), 0);
  EXPECT_EQ(Shown(), kNormal);

  skin.SetImages(std::nullopt, std::nullopt, std::nullopt, nullptr);
  button->setEnabled(false);
  EXPECT_EQ(State(), 3);
  EXPECT_EQ(Shown(), kNormal);
  // Disabling the parent disables the button too.
  button->setEnabled(true);
  window->setEnabled(false);
  EXPECT_EQ(State(), 3);
  window->setEnabled(true);
  EXPECT_EQ(State(), 0);
}

TEST_F(StandaloneButton, FocusRules) {
  BindWithImages();
  button->setFocusPolicy(Qt::NoFocus);  // a press does not take the focus
  ASSERT_TRUE(Show());
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));

  // Focus gained while down -> over.
  test::MoveTo(button, QPoint(10, 10));
  test::Press(button, QPoint(10, 10));
  ASSERT_EQ(State(), 2);
  button->setFocus();
  EXPECT_EQ(ui::GetPropInt(button, "PngControl_IsFoucs"), 1);
  EXPECT_EQ(State(), 1);
  test::Release(button, QPoint(10, 10));
  EXPECT_EQ(State(), 0);  // the release did not come in the down state

  // Focus lost while over -> normal.
  test::MoveTo(button, QPoint(12, 12));
  ASSERT_EQ(State(), 1);
  button->clearFocus();
  EXPECT_EQ(ui::GetPropInt(button, "PngControl_IsFoucs"), 0);
  EXPECT_EQ(State(), 0);
}

TEST_F(StandaloneButton, KeyboardPressAndReleaseFollowThePushedStateOfTheStandardButton) {
  BindWithImages();
  ASSERT_TRUE(Show());
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  button->setFocus();
  ASSERT_EQ(ui::GetPropInt(button, "PngControl_IsFoucs"), 1);
  QTest::keyPress(button, Qt::Key_Space);
  EXPECT_EQ(State(), 2);  // highlighted -> down
  EXPECT_EQ(Shown(), kDown);
  QTest::keyRelease(button, Qt::Key_Space);
  EXPECT_EQ(State(), 1);  // un-highlighted while focused -> over
  EXPECT_EQ(clicks, 1);
  button->clearFocus();
  EXPECT_EQ(State(), 0);
}

TEST_F(StandaloneButton, CreateMakesABoundButton) {
  SkinButton created;
  QWidget* handle = created.Create(window, 5, 6, 28, 18, core::GbkFromUtf8("关闭"));
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->parentWidget(), window);
  EXPECT_EQ(handle->geometry(), QRect(5, 6, 28, 18));
  EXPECT_EQ(ui::GetPropInt(handle, "PngControl_Type"), 3);
  EXPECT_EQ(created.GetHandle(), handle);
  EXPECT_EQ(qobject_cast<QPushButton*>(handle)->text(), QStringLiteral("关闭"));
  SkinButton orphan;
  EXPECT_EQ(orphan.Create(nullptr, 0, 0, 1, 1, "x"), nullptr);
}
