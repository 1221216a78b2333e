// Slider bars on three image controls laid out like the Station panel's volume scale.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/gbk.h"
#include "skin/slider_bar.h"
#include "ui/facilities.h"
#include "ui/window_system.h"
#include "ui/winproc.h"

using namespace sonaro;
using skin::SliderBar;

namespace {

constexpr uint32_t kWin = 0x52000101, kWinUnit = 0x06000101;
constexpr uint32_t kThumb = 0x16000101, kFill = 0x16000102, kTrack = 0x16000103;
constexpr uint32_t kWin2 = 0x52000102, kWin2Unit = 0x06000102;

std::vector<std::string> g_order;

void ControlPressed(const ui::Event&) { g_order.push_back("control"); }
void SliderThumbDown(QWidget*, const QMouseEvent*) { g_order.push_back("thumbDown"); }
void SliderThumbUp(QWidget*, const QMouseEvent*) { g_order.push_back("thumbUp"); }
void SliderDrag(QWidget*, const QMouseEvent*) { g_order.push_back("drag"); }
void SliderTrackDown(QWidget*, const QMouseEvent*) { g_order.push_back("trackDown"); }
void SliderFillDown(QWidget*, const QMouseEvent*) { g_order.push_back("fillDown"); }

ui::ControlSpec Image(uint32_t unit, const char* name, ui::Rect rect) {
  return ui::ControlSpec{.unitId = unit,
                         .kind = ui::Kind::ImageButton,
                         .name = name,
                         .rect = rect,
                         .bindings = {SONARO_BIND(ui::kEventLeftDown, ControlPressed)}};
}

const std::vector<ui::WindowSpec>& Catalogue() {
  static const std::vector<ui::WindowSpec> windows = {
      ui::WindowSpec{.windowId = kWin,
                     .unitId = kWinUnit,
                     .name = "slider window",
                     .rect = {50, 50, 240, 120},
                     .controls = {Image(kThumb, "thumb", {73, 10, 33, 35}),
                                  Image(kFill, "fill", {45, 1, 88, 35}),
                                  Image(kTrack, "track", {43, 11, 92, 24})}},
      ui::WindowSpec{.windowId = kWin2,
                     .unitId = kWin2Unit,
                     .name = "vertical slider window",
                     .rect = {400, 50, 120, 240},
                     .controls = {Image(kThumb, "thumb", {10, 20, 30, 20}),
                                  Image(kFill, "fill", {10, 20, 30, 100}),
                                  Image(kTrack, "track", {10, 20, 30, 120})}},
  };
  return windows;
}

// Sends a mouse event to a control with the pointer at a point of the window's client area.
void Mouse(QWidget* control, QEvent::Type type, QPoint inWindow,
           Qt::MouseButton button = Qt::LeftButton) {
  QWidget* window = control->window();
  const QPoint global = window->mapToGlobal(inWindow);
  const QPoint local = control->mapFromGlobal(global);
  const Qt::MouseButtons buttons =
      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
  QMouseEvent event(type, local, global, type == QEvent::MouseMove ? Qt::NoButton : button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(control, &event);
}

class Slider : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallCatalogue(Catalogue());
    window_ = ui::LoadWindow(kWin);
    ASSERT_NE(window_, nullptr);
    thumb_ = ui::ControlWidget(kWin, kThumb);
    track_ = ui::ControlWidget(kWin, kTrack);
    fill_ = ui::ControlWidget(kWin, kFill);
    SliderBar::SetSliderHandlers({&SliderThumbDown, &SliderThumbUp, &SliderDrag, &SliderFillDown,
                                  nullptr, &SliderTrackDown, nullptr});
    g_order.clear();
  }
  void TearDown() override {
    ui::SetMessageAnswerer(nullptr);
    delete window_;
  }
  bool Build(int64_t minimum, int64_t maximum, int64_t value) {
    return SliderBar::Build({kWin, kThumb}, {kWin, kTrack}, {kWin, kFill}, minimum, maximum, value,
                            false);
  }
  int Left(QWidget* w) const { return w->x(); }

  QWidget* window_ = nullptr;
  QWidget* thumb_ = nullptr;
  QWidget* track_ = nullptr;
  QWidget* fill_ = nullptr;
};

}  // namespace

TEST_F(Slider, BuildPlacesThumbAndFillFromTheValue) {
  ASSERT_TRUE(Build(1, 100, 50));
  // Step 59/99: value 50 is 29 pixels along; the fill bar is 92 * 49 / 99 wide.
  EXPECT_EQ(Left(thumb_), 43 + 29);
  EXPECT_EQ(thumb_->y(), 5);  // centred across the track: 11 + (24 - 35) / 2, cut
  EXPECT_EQ(fill_->x(), 43);
  EXPECT_EQ(fill_->y(), 11);
  EXPECT_EQ(fill_->width(), 45);
  EXPECT_EQ(SliderBar::GetValue(thumb_), 50);
  EXPECT_EQ(SliderBar::GetValue(track_), 0);  // not a thumb
}

TEST_F(Slider, BuildingTwiceUpdatesWithoutHookingAgain) {
  ASSERT_TRUE(Build(1, 100, 50));
  const size_t count = SliderBar::Count();
  const ui::WndProc proc = ui::GetWindowProc(thumb_);
  ASSERT_TRUE(Build(0, 10, 20));
  EXPECT_EQ(SliderBar::Count(), count);
  EXPECT_EQ(ui::GetWindowProc(thumb_), proc);
  EXPECT_EQ(SliderBar::GetValue(thumb_), 10);
  EXPECT_EQ(Left(thumb_), 43 + 59);  // the maximum is the track's end
  Mouse(thumb_, QEvent::MouseButtonPress, {80, 20});
  Mouse(thumb_, QEvent::MouseButtonRelease, {80, 20});
  // One slider procedure: each handler once, and before the control's own event.
  EXPECT_EQ(g_order, (std::vector<std::string>{"thumbDown", "control", "thumbUp"}));
}

TEST_F(Slider, ARangeWithoutRoomIsRefused) {
  std::vector<std::pair<core::Text, int>> messages;
  ui::SetMessageAnswerer([&](const core::Text& text, int style, const core::Text&) {
    messages.emplace_back(text, style);
    return ui::kIdOk;
  });
  const size_t count = SliderBar::Count();
  EXPECT_FALSE(Build(5, 5, 5));
  EXPECT_FALSE(Build(6, 5, 5));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].first,
            core::GbkFromUtf8("构建滑块条失败！原因为：最小值不能大于或等于最大值！"));
  EXPECT_EQ(messages[0].second, 16);
  EXPECT_EQ(SliderBar::Count(), count);
}

TEST_F(Slider, SetValueClampsIntoTheRange) {
  ASSERT_TRUE(Build(1, 100, 50));
  SliderBar::SetValue(thumb_, 1000);
  EXPECT_EQ(SliderBar::GetValue(thumb_), 100);
  EXPECT_EQ(Left(thumb_), 102);
  EXPECT_EQ(fill_->width(), 92);
  SliderBar::SetValue(thumb_, -7);
  EXPECT_EQ(SliderBar::GetValue(thumb_), 1);
  EXPECT_EQ(Left(thumb_), 43);
  EXPECT_EQ(fill_->width(), 0);
}

TEST_F(Slider, DraggingPutsTheThumbStartUnderTheCursor) {
  ASSERT_TRUE(Build(1, 100, 50));
  // Grab the thumb anywhere; its start edge, not the grabbed point, follows the cursor.
  Mouse(thumb_, QEvent::MouseButtonPress, {95, 20});
  EXPECT_TRUE(SliderBar::Dragging());
  Mouse(thumb_, QEvent::MouseMove, {53, 20});
  // k = round(10 / (59/99)) = 17 steps: 10.13 pixels, cut to 10.
  EXPECT_EQ(Left(thumb_), 53);
  EXPECT_EQ(SliderBar::GetValue(thumb_), 18);
  EXPECT_EQ(fill_->width(), 92 * 17 / 99);
  EXPECT_EQ(thumb_->y(), 5);  // the cross axis does not change

  // Within the last thumb length of the track the thumb stays where it is.
  Mouse(thumb_, QEvent::MouseMove, {125, 20});
  EXPECT_EQ(Left(thumb_), 53);
  // Past the end: at the end. Before the start: at the start.
  Mouse(thumb_, QEvent::MouseMove, {140, 20});
  EXPECT_EQ(Left(thumb_), 102);
  EXPECT_EQ(SliderBar::GetValue(thumb_), 100);
  Mouse(thumb_, QEvent::MouseMove, {20, 20});
  EXPECT_EQ(Left(thumb_), 43);
  EXPECT_EQ(SliderBar::GetValue(thumb_), 1);

  Mouse(thumb_, QEvent::MouseButtonRelease, {20, 20});
  EXPECT_FALSE(SliderBar::Dragging());
  Mouse(thumb_, QEvent::MouseMove, {80, 20});
  EXPECT_EQ(Left(thumb_), 43);
  EXPECT_EQ(std::count(g_order.begin(), g_order.end(), "drag"), 4);
}

TEST_F(Slider, PressingTheTrackJumps) {
  ASSERT_TRUE(Build(1, 100, 1));
  // Within half a thumb of the end: the thumb goes to the end.
  Mouse(track_, QEvent::MouseButtonPress, {133, 20});
  EXPECT_EQ(Left(thumb_), 102);
  EXPECT_EQ(SliderBar::GetValue(thumb_), 100);
  Mouse(track_, QEvent::MouseButtonRelease, {133, 20});
  // In the middle: the thumb's start edge at the cursor, snapped to the value grid.
  Mouse(track_, QEvent::MouseButtonPress, {73, 20});
  EXPECT_EQ(Left(thumb_), 72);
  EXPECT_EQ(SliderBar::GetValue(thumb_), 50);
  // d + d / (track - thumb) * thumb, with d = 29.
  EXPECT_EQ(fill_->width(), 45);
  // A press on the track does not start a drag.
  EXPECT_FALSE(SliderBar::Dragging());
  Mouse(track_, QEvent::MouseMove, {100, 20});
  EXPECT_EQ(Left(thumb_), 72);
  Mouse(track_, QEvent::MouseButtonRelease, {100, 20});

  Mouse(fill_, QEvent::MouseButtonPress, {60, 5});
  EXPECT_EQ(Left(thumb_), 60);  // k = round(17 / step) = 29 steps = 17.28, cut
  EXPECT_EQ(g_order.front(), "trackDown");
  EXPECT_NE(std::find(g_order.begin(), g_order.end(), "fillDown"), g_order.end());
}

TEST(VerticalSlider, MovesAlongTheHeight) {
  ui::InstallCatalogue(Catalogue());
  QWidget* window = ui::LoadWindow(kWin2);
  ASSERT_NE(window, nullptr);
  QWidget* thumb = ui::ControlWidget(kWin2, kThumb);
  QWidget* fill = ui::ControlWidget(kWin2, kFill);
  ASSERT_TRUE(SliderBar::Build({kWin2, kThumb}, {kWin2, kTrack}, {kWin2, kFill}, 0, 10, 5, true));
  // Step (120 - 20) / 10 = 10 pixels a unit.
  EXPECT_EQ(thumb->y(), 20 + 50);
  EXPECT_EQ(thumb->x(), 10);
  EXPECT_EQ(fill->height(), 60);
  Mouse(thumb, QEvent::MouseButtonPress, {15, 75});
  Mouse(thumb, QEvent::MouseMove, {15, 44});
  EXPECT_EQ(thumb->y(), 40);  // k = round(24 / 10) = 2
  EXPECT_EQ(SliderBar::GetValue(thumb), 2);
  Mouse(thumb, QEvent::MouseButtonRelease, {15, 44});
  delete window;
}
