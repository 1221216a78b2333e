// Animated image windows, their frame threads and their clean-up.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <string>

#include "skin/skin.h"
#include "skin/testing.h"
#include "tests/skin/skin_test_support.h"
#include "ui/props.h"
#include "ui/winproc.h"

using namespace sonaro;
using namespace sonaro::skin;

namespace {

const std::vector<QRgb> kColours{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};

struct Drawn {
  QWidget* window;
  int frame;
  qint64 ms;
};

std::vector<Drawn>& Log() {
  static std::vector<Drawn> log;
  return log;
}
QElapsedTimer& Clock() {
  static QElapsedTimer clock;
  return clock;
}
void Record(QWidget* window, int frame) { Log().push_back({window, frame, Clock().elapsed()}); }

class Animation : public ::testing::Test {
 protected:
  void SetUp() override {
    InitialiseSkinRuntime();
    Log().clear();
    Clock().start();
    skin::testing::SetFrameObserver(&Record);
  }
  void TearDown() override {
    animation.Close();
    quicker.Close();
    slower.Close();
    skin::testing::SetFrameObserver(nullptr);
  }
  // The frames drawn for a window, in order.
  std::vector<Drawn> For(QWidget* window) const {
    std::vector<Drawn> result;
    for (const Drawn& d : Log())
      if (d.window == window) result.push_back(d);
    return result;
  }
  // Lets the frame threads run until the window has had count frames drawn.
  bool WaitForFrames(QWidget* window, size_t count) const {
    return QTest::qWaitFor([&] { return For(window).size() >= count; }, 20000);
  }

  AnimatedImageWindow animation;
  AnimatedImageWindow quicker, slower;  // references for the delays
};

// Of the gaps between a window's frames drawn by its thread (the first comes from Create), those
// after frames of one index, or all when index is -1; printed.
std::vector<qint64> Gaps(const std::vector<Drawn>& drawn, int index, const char* what) {
  std::vector<qint64> gaps;
  std::string text;
  for (size_t i = 2; i < drawn.size(); ++i) {
    if (index >= 0 && drawn[i - 1].frame != index) continue;
    gaps.push_back(drawn[i].ms - drawn[i - 1].ms);
    text += " " + std::to_string(gaps.back());
  }
  std::printf("gaps %s (ms):%s\n", what, text.c_str());
  return gaps;
}

// The middle value: one late frame, and the early one after it, do not move it.
qint64 Median(std::vector<qint64> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

TEST_F(Animation, CreateFailsForNoDataBadDataOrAWindowThatExists) {
  EXPECT_FALSE(animation.Create());
  EXPECT_FALSE(animation.Create(QByteArray()));
  EXPECT_FALSE(animation.Create(QByteArray("neither png nor gif")));
  EXPECT_FALSE(animation.IsValid());
  ASSERT_TRUE(animation.Create(test::SolidPng(30, 20, Qt::red)));
  QWidget* window = animation.GetHandle();
  EXPECT_FALSE(animation.Create(test::SolidPng(50, 50, Qt::blue)));  // one window at a time
  EXPECT_EQ(animation.GetHandle(), window);
  EXPECT_EQ(animation.GetWidth(), 30);
}

TEST_F(Animation, ASingleFramePictureShowsOnceWithoutAThread) {
  ASSERT_TRUE(animation.Create(test::SolidPng(30, 20, QColor(255, 0, 0, 128))));
  QWidget* window = animation.GetHandle();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("ZuderLoadDialog"));
  EXPECT_EQ(ui::GetWindowProc(window), &ZuderWindowProc);
  int w = 0, h = 0;
  animation.GetSize(w, h);
  EXPECT_EQ(QSize(w, h), QSize(30, 20));
  EXPECT_EQ(ui::GetPropInt(window, "Zuder_FrameCount"), 1);
  EXPECT_FALSE(ui::HasProp(window, "Zuder_Thread"));
  EXPECT_NE(ui::GetPropInt(window, "Zuder_Image"), 0);
  EXPECT_NE(ui::GetPropInt(window, "Zuder_Stream"), 0);
  // Per-pixel alpha: the picture as it is.
  const QImage shown = PresentedLayer(window);
  ASSERT_FALSE(shown.isNull());
  EXPECT_EQ(qAlpha(shown.pixel(5, 5)), 128);
  EXPECT_EQ(qAlpha(test::Grab(window).convertToFormat(QImage::Format_ARGB32).pixel(5, 5)), 128);
  QTest::qWait(200);
  EXPECT_EQ(For(window).size(), 1u);  // frame 0, once
}

TEST_F(Animation, FramesAreDrawnInOrderWithTheirOwnDelays) {
  // 100, 200 and 300 ms.
  ASSERT_TRUE(animation.Create(test::Gif(16, 12, kColours, {10, 20, 30})));
  QWidget* window = animation.GetHandle();
  EXPECT_EQ(ui::GetPropInt(window, "Zuder_FrameCount"), 3);
  EXPECT_NE(ui::GetPropInt(window, "Zuder_Thread"), 0);
  // Frame 0 by Create, then the thread's cycles 0 1 2 0 1 2 0 ..., four of them.
  ASSERT_TRUE(WaitForFrames(window, 13));
  const std::vector<Drawn> drawn = For(window);
  EXPECT_EQ(drawn[0].frame, 0);
  for (size_t i = 1; i < drawn.size(); ++i) EXPECT_EQ(drawn[i].frame, int((i - 1) % 3)) << i;
  // Each frame waits its own delay: a busy machine draws frames late (and the next one early),
  // never all of them early, so the typical gap after each frame is at least its delay, and
  // the longer the delay, the longer the gap.
  const int expected[3] = {100, 200, 300};  // delay after frames 0, 1, 2
  qint64 typical[3];
  for (int frame = 0; frame < 3; ++frame) {
    typical[frame] = Median(Gaps(drawn, frame, ("after frame " + std::to_string(frame)).c_str()));
    EXPECT_GE(typical[frame], expected[frame] - 20) << frame;
  }
  EXPECT_LT(typical[0], typical[1]);
  EXPECT_LT(typical[1], typical[2]);
  // What the window shows is the frame last drawn.
  QTest::qWait(0);
  const int last = For(window).back().frame;
  EXPECT_EQ(QColor(PresentedLayer(window).pixel(3, 3)), QColor(kColours[size_t(last)]));
}

TEST_F(Animation, TheFrameThreadSleepsWhileTheWindowIsHidden) {
  ASSERT_TRUE(animation.Create(test::Gif(8, 8, kColours, {5, 5, 5})));  // 50 ms a frame
  QWidget* window = animation.GetHandle();
  ASSERT_TRUE(WaitForFrames(window, 4));
  window->hide();
  QTest::qWait(50);  // a frame already posted may still arrive
  const size_t hidden = For(window).size();
  QTest::qWait(400);
  EXPECT_EQ(For(window).size(), hidden);
  window->show();
  EXPECT_TRUE(WaitForFrames(window, hidden + 3));
}

TEST_F(Animation, ZeroOrMissingDelaysCount70Ms) {
  // Against animations of 50 ms and 90 ms frames running beside it: a busy machine makes all
  // of them late alike, so their typical gaps keep their order. A delay of 0 taken as it is
  // would come first, Qt's own reader's 100 ms for a missing delay last.
  for (bool withDelays : {true, false}) {
    Log().clear();
    ASSERT_TRUE(quicker.Create(test::Gif(8, 8, kColours, {5, 5, 5})));
    ASSERT_TRUE(slower.Create(test::Gif(8, 8, kColours, {9, 9, 9})));
    ASSERT_TRUE(animation.Create(test::Gif(8, 8, kColours, {0, 0, 0}, withDelays)));
    ASSERT_TRUE(WaitForFrames(slower.GetHandle(), 14));
    const qint64 quick = Median(Gaps(For(quicker.GetHandle()), -1, "of 50 ms frames"));
    const qint64 zero = Median(
        Gaps(For(animation.GetHandle()), -1, withDelays ? "of 0 delays" : "of missing delays"));
    const qint64 slow = Median(Gaps(For(slower.GetHandle()), -1, "of 90 ms frames"));
    EXPECT_LT(quick, zero) << withDelays;
    EXPECT_LT(zero, slow) << withDelays;
    animation.Close();
    quicker.Close();
    slower.Close();
  }
}

TEST_F(Animation, CloseThenCreateGivesANewWindowWithItsOwnThread) {
  const QByteArray gif = test::Gif(8, 8, kColours, {5, 5, 5});
  ASSERT_TRUE(animation.Create(gif));
  QPointer<QWidget> first = animation.GetHandle();
  const qint64 firstThread = ui::GetPropInt(first, "Zuder_Thread");
  QTest::qWait(100);
  test::CleanupTraceGuard trace;
  animation.Close();
  EXPECT_TRUE(first.isNull());
  EXPECT_FALSE(animation.IsValid());
  EXPECT_EQ(skin::testing::CleanupTrace(), (std::vector<std::string>{"thread", "image", "stream"}));

  ASSERT_TRUE(animation.Create(gif));
  QWidget* second = animation.GetHandle();
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(animation.IsValid());
  EXPECT_NE(ui::GetPropInt(second, "Zuder_Thread"), 0);
  Log().clear();
  EXPECT_TRUE(WaitForFrames(second, 3));  // the new thread animates the new window
  (void)firstThread;
}

TEST_F(Animation, DestructionByTheOwnerStopsTheThreadBeforeFreeing) {
  auto* owner = new ui::Hooked<QWidget>;
  owner->setGeometry(100, 100, 300, 200);
  ASSERT_TRUE(animation.Create(test::Gif(8, 8, kColours, {1, 1, 1}), owner));
  QPointer<QWidget> window = animation.GetHandle();
  QTest::qWait(100);
  test::CleanupTraceGuard trace;
  delete owner;  // the owned window dies with its owner
  EXPECT_TRUE(window.isNull());
  EXPECT_FALSE(animation.IsValid());
  EXPECT_EQ(skin::testing::CleanupTrace(), (std::vector<std::string>{"thread", "image", "stream"}));
  // No frame arrives for the dead window afterwards.
  Log().clear();
  QTest::qWait(100);
  EXPECT_TRUE(Log().empty());
}

TEST_F(Animation, TwoHundredCreateCloseCycles) {
  const QByteArray gif = test::Gif(16, 16, kColours, {0, 1, 2});
  const QByteArray png = test::SolidPng(16, 16, Qt::green);
  test::CleanupTraceGuard trace;
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(animation.Create(i % 4 == 3 ? png : gif, nullptr, i % 3)) << i;
    if (i % 10 == 0) QTest::qWait(1);
    animation.Close();
    ASSERT_FALSE(animation.IsValid()) << i;
  }
  // 150 animated windows (thread, image, stream) and 50 still ones (image, stream).
  EXPECT_EQ(skin::testing::CleanupTrace().size(), size_t(150 * 3 + 50 * 2));
  QTest::qWait(50);  // late frame requests find their windows gone
}

TEST_F(Animation, TopmostOnlyWithoutAnOwner) {
  ASSERT_TRUE(animation.Create(test::SolidPng(10, 10, Qt::red)));
  EXPECT_TRUE(animation.GetHandle()->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(animation.GetHandle()->parentWidget(), nullptr);
  animation.Close();
  ui::Hooked<QWidget> owner;
  ASSERT_TRUE(animation.Create(test::SolidPng(10, 10, Qt::red), &owner));
  EXPECT_FALSE(animation.GetHandle()->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(animation.GetHandle()->parentWidget(), &owner);
  EXPECT_TRUE(animation.GetHandle()->isWindow());
  animation.Close();
}

TEST_F(Animation, CentreModes) {
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const QSize screenSize = screen->geometry().size();
  const QRect work = screen->availableGeometry();
  ASSERT_TRUE(animation.Create(test::SolidPng(31, 21, Qt::red)));  // mode omitted: 0
  QWidget* window = animation.GetHandle();
  EXPECT_EQ(window->pos(), QPoint((screenSize.width() - 31) / 2, (screenSize.height() - 21) / 2));
  animation.Move(5, 7);
  animation.Centre(1);
  EXPECT_EQ(window->pos(),
            QPoint(work.left() + (work.width() - 31) / 2, work.top() + (work.height() - 21) / 2));
  animation.Move(5, 7);
  animation.Centre(2);  // no owner: stays
  EXPECT_EQ(window->pos(), QPoint(5, 7));
  animation.Centre(9);
  EXPECT_EQ(window->pos(), QPoint(5, 7));
  animation.Close();

  ui::Hooked<QWidget> owner;
  owner.setGeometry(100, 50, 301, 201);
  ASSERT_TRUE(animation.Create(test::SolidPng(31, 21, Qt::red), &owner, 2));
  EXPECT_EQ(animation.GetHandle()->pos(), QPoint(100 + (301 - 31) / 2, 50 + (201 - 21) / 2));
  // As the Main window places its animation.
  animation.Move(100 + 18, 50 + 175);
  EXPECT_EQ(animation.GetHandle()->pos(), QPoint(118, 225));
  EXPECT_EQ(animation.GetWidth(), 31);
  animation.Close();
}

TEST_F(Animation, DraggableByAnyPointOnlyWhenHitMoveIsOne) {
  ASSERT_TRUE(animation.Create(test::SolidPng(80, 60, Qt::red)));
  QWidget* window = animation.GetHandle();
  EXPECT_FALSE(animation.Draggable());
  ASSERT_TRUE(test::ShowAndWait(window));
  animation.Move(200, 200);
  QTest::qWait(10);
  const QPoint start = window->pos();
  QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseMove(window->windowHandle(), QPoint(30, 40));
  QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, QPoint(30, 40));
  EXPECT_EQ(window->pos(), start);

  EXPECT_TRUE(animation.Draggable(true));
  EXPECT_EQ(ui::GetPropInt(window, "ZuderHitMove"), 1);
  QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseMove(window->windowHandle(), QPoint(30, 40));
  EXPECT_EQ(window->pos(), start + QPoint(20, 30));
  // The window followed the pointer: it is at (10, 10) in the window again.
  QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(window->pos(), start + QPoint(20, 30));
  EXPECT_FALSE(animation.Draggable(false));
  EXPECT_EQ(ui::GetPropInt(window, "ZuderHitMove"), 0);
}
