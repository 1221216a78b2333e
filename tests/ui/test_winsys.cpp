// The window system layer: procedure chains, named properties, the loader, numbered
// properties and event dispatch, on a small catalogue of every kind of control.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <array>
#include <string>
#include <vector>

#include "core/gbk.h"
#include "ui/docking.h"
#include "ui/props.h"
#include "ui/widgets.h"
#include "ui/window_system.h"
#include "ui/winproc.h"

using namespace sonaro;
using namespace sonaro::ui;

// --- procedure chains ---------------------------------------------------------------------------

namespace {

std::vector<std::string> g_trace;

// Qt's own handling, observable.
class TracingWidget : public QWidget {
 protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) g_trace.push_back("qt");
    return QWidget::event(event);
  }
};

WndProc g_prevA = nullptr;
WndProc g_prevB = nullptr;

bool ActThenForward(QWidget* w, QEvent* e) {
  if (e->type() == QEvent::User) g_trace.push_back("A");
  return CallWindowProc(g_prevA, w, e);
}

bool ForwardThenAct(QWidget* w, QEvent* e) {
  const bool result = CallWindowProc(g_prevB, w, e);
  if (e->type() == QEvent::User) g_trace.push_back("B");
  return result;
}

bool Swallow(QWidget*, QEvent* e) {
  if (e->type() == QEvent::User) g_trace.push_back("swallow");
  return true;
}

bool RecordDestroy(QWidget* w, QEvent* e) {
  if (e->type() == DestroyEventType()) g_trace.push_back("destroy");
  return CallWindowProc(g_prevA, w, e);
}

void Send(QWidget* widget) {
  QEvent event(QEvent::User);
  QCoreApplication::sendEvent(widget, &event);
}

}  // namespace

TEST(WindowProc, ChainsKeepTheOrderOfEachHook) {
  Hooked<TracingWidget> widget;
  g_trace.clear();
  Send(&widget);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"qt"}));

  g_prevA = SetWindowProc(&widget, &ActThenForward);
  EXPECT_EQ(g_prevA, &DefaultProc);
  g_prevB = SetWindowProc(&widget, &ForwardThenAct);
  EXPECT_EQ(g_prevB, &ActThenForward);
  EXPECT_EQ(GetWindowProc(&widget), &ForwardThenAct);

  g_trace.clear();
  Send(&widget);
  // B forwards first, A acts then forwards, Qt handles, then B acts.
  EXPECT_EQ(g_trace, (std::vector<std::string>{"A", "qt", "B"}));

  // Putting back the kept procedure unhooks B alone.
  EXPECT_EQ(SetWindowProc(&widget, g_prevB), &ForwardThenAct);
  g_trace.clear();
  Send(&widget);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"A", "qt"}));

  // A procedure that does not forward keeps the event from Qt.
  SetWindowProc(&widget, &Swallow);
  g_trace.clear();
  Send(&widget);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"swallow"}));

  // Null restores the default procedure.
  SetWindowProc(&widget, nullptr);
  EXPECT_EQ(GetWindowProc(&widget), &DefaultProc);
}

TEST(WindowProc, ProceduresSurviveAsPropertyValues) {
  Hooked<QWidget> widget;
  SetProp(&widget, "OrigProcAddr", QVariant::fromValue(quint64(ProcToValue(&ActThenForward))));
  EXPECT_EQ(ValueToProc(quintptr(GetPropInt(&widget, "OrigProcAddr"))), &ActThenForward);
}

TEST(WindowProc, WidgetsNotMadeByTheLoaderCannotBeHooked) {
  QWidget plain;
  EXPECT_EQ(SetWindowProc(&plain, &Swallow), nullptr);
  EXPECT_EQ(GetWindowProc(&plain), nullptr);
}

TEST(WindowProc, DestructionRunsThroughTheChainOnce) {
  auto* widget = new Hooked<QWidget>;
  g_prevA = SetWindowProc(widget, &RecordDestroy);
  g_trace.clear();
  delete widget;
  EXPECT_EQ(g_trace, (std::vector<std::string>{"destroy"}));
}

// --- named properties -------------------------------------------------------------------------

// Docked windows on a 1024 x 768 area below a 24-pixel panel, beside a 400 x 300 window.
TEST(Docking, AWindowMostlyOffTheScreenGoesToTheOtherSideOrInside) {
  using ui::DockSide;
  const QRect area(0, 24, 1024, 744);
  auto fit = [&](QRect docked, QPoint mainAt, DockSide side) {
    return ui::FitDocked(docked, QRect(mainAt, QSize(400, 300)), side, area);
  };
  // Fitting, or at most half outside: exactly the docked place, even partly off screen.
  EXPECT_EQ(fit({300 - 441, 110, 450, 529}, {300, 100}, DockSide::kLeft), QPoint(-141, 110));
  EXPECT_EQ(fit({-216, 110, 450, 529}, {9, 100}, DockSide::kLeft), QPoint(-216, 110));
  // The details card on the left, mostly off: on the right, overlapping by the same 9 pixels.
  EXPECT_EQ(fit({-391, 110, 450, 529}, {50, 100}, DockSide::kLeft), QPoint(441, 110));
  // The panel on the right, mostly off: on the left, overlapping by 11.
  EXPECT_EQ(fit({989, 110, 240, 530}, {600, 100}, DockSide::kRight), QPoint(371, 110));
  // The board below, mostly off the bottom: above, overlapping by 11.
  EXPECT_EQ(fit({610, 689, 381, 251}, {600, 400}, DockSide::kBelow), QPoint(610, 160));
  // Neither side fits (a window as wide as the screen): moved inside, top edge first.
  EXPECT_EQ(fit({-441, 600, 450, 529}, {0, 590}, DockSide::kLeft), QPoint(0, 239));
  EXPECT_EQ(ui::FitDocked({-1000, 0, 2000, 100}, {0, 0, 400, 300}, DockSide::kLeft, area),
            QPoint(0, 24));
}

TEST(NamedProperties, UnsetReadsZeroAndRemovalForgets) {
  QWidget widget;
  EXPECT_EQ(GetPropInt(&widget, "Zuder_DrawState"), 0);
  EXPECT_FALSE(HasProp(&widget, "Zuder_DrawState"));
  SetProp(&widget, "Zuder_DrawState", 3);
  EXPECT_EQ(GetPropInt(&widget, "Zuder_DrawState"), 3);
  EXPECT_TRUE(HasProp(&widget, "Zuder_DrawState"));
  RemoveProp(&widget, "Zuder_DrawState");
  EXPECT_EQ(GetPropInt(&widget, "Zuder_DrawState"), 0);
  EXPECT_FALSE(HasProp(&widget, "Zuder_DrawState"));

  int value = 7;
  SetPropPtr(&widget, "PngControl_NormalImage", &value);
  EXPECT_EQ(GetPropPtr<int>(&widget, "PngControl_NormalImage"), &value);
  EXPECT_EQ(GetPropInt(nullptr, "anything"), 0);
}

// --- a test catalogue with every kind ---------------------------------------------------------

namespace {

constexpr uint32_t kWin = 0x52000001, kWinUnit = 0x06000001;
constexpr uint32_t kOwned = 0x52000002, kOwnedUnit = 0x06000002;
constexpr uint32_t kButton = 0x16000001, kEdit = 0x16000002, kLabel = 0x16000003,
                   kClear = 0x16000004, kTree = 0x16000005, kList = 0x16000006, kImage = 0x16000007,
                   kBrowser = 0x16000008, kTimer = 0x16000009, kMemo = 0x1600000A,
                   kSuper = 0x1600000B, kMenu = 0x26000001, kMenuItem = 0x26000002;

std::vector<Event> g_events;
bool g_allControlsAtCreation = false;
bool g_visibleAtCreation = true;

void Record(const Event& event) { g_events.push_back(event); }

void OnCreated(const Event& event) {
  Record(event);
  g_allControlsAtCreation = true;
  for (uint32_t unit : {kButton, kEdit, kLabel, kClear, kTree, kList, kImage, kBrowser, kTimer,
                        kMemo, kSuper, kMenuItem}) {
    g_allControlsAtCreation = g_allControlsAtCreation && FindControl(kWin, unit) != nullptr;
  }
  g_visibleAtCreation = GetProperty(kWin, kWinUnit, prop::kVisible).toBool();
}

const std::array<TreeItem, 6> kItems = {
    {{"一", 1}, {"一.1", 2}, {"一.1.a", 3}, {"一.2", 2}, {"二", 1}, {"二.1", 2}}};
const std::array<Column, 3> kColumns = {{{"甲", 40}, {"乙", 0}, {"丙", 60}}};

QByteArray PngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

const std::vector<WindowSpec>& TestCatalogue() {
  static const std::vector<WindowSpec> windows =
      {
          WindowSpec{
              .windowId = kWin,
              .unitId = kWinUnit,
              .name = "test window",
              .rect = {50, 50, 320, 240},
              .title = "测试",
              .dragByBody = true,
              .bindings = {SONARO_BIND(kEventCreated, OnCreated), SONARO_BIND(kEventMoved, Record)},
              .controls =
                  {
                      {.unitId = kButton,
                       .kind = Kind::Button,
                       .name = "按钮",
                       .rect = {10, 10, 60, 20},
                       .tabStop = true,
                       .text = "确定",
                       .bindings = {SONARO_BIND(kEventClicked, Record)}},
                      {.unitId = kEdit,
                       .kind = Kind::EditBox,
                       .name = "编辑框",
                       .rect = {80, 10, 80, 20},
                       .tabStop = true,
                       .text = "初始",
                       .borderStyle = 2},
                      {.unitId = kLabel,
                       .kind = Kind::Label,
                       .name = "标签",
                       .rect = {170, 10, 60, 20},
                       .text = "标签文字",
                       .fillColour = Rgb(0, 153, 255)},
                      {.unitId = kClear,
                       .kind = Kind::TransparentLabel,
                       .name = "透明标签",
                       .rect = {240, 10, 60, 20},
                       .text = "透明",
                       .bindings = {SONARO_BIND(kEventLeftDown, Record)}},
                      {.unitId = kTree,
                       .kind = Kind::TreeBox,
                       .name = "树",
                       .rect = {10, 40, 100, 100},
                       .tabStop = true,
                       .items = kItems,
                       .bindings = {SONARO_BIND(kEventSelection, Record)}},
                      {.unitId = kList,
                       .kind = Kind::ListView,
                       .name = "列表",
                       .rect = {120, 40, 150, 100},
                       .tabStop = true,
                       .columns = kColumns,
                       .bindings = {SONARO_BIND(kEventListClick, Record)}},
                      {.unitId = kImage,
                       .kind = Kind::ImageButton,
                       .name = "图形",
                       .rect = {10, 150, 33, 35},
                       .bindings = {SONARO_BIND(kEventLeftDown, Record),
                                    SONARO_BIND(kEventLeftUp, Record),
                                    SONARO_BIND(kEventMouseMove, Record)}},
                      {.unitId = kBrowser,
                       .kind = Kind::BrowserBox,
                       .name = "浏览框",
                       .rect = {50, 150, 40, 40},
                       .visible = false},
                      {.unitId = kTimer,
                       .kind = Kind::Timer,
                       .name = "时钟",
                       .visible = false,
                       .interval = 20,
                       .bindings = {SONARO_BIND(kEventTimer, Record)}},
                      {.unitId = kMemo,
                       .kind = Kind::EditBox,
                       .name = "多行",
                       .rect = {100, 150, 80, 60},
                       .multiLine = true},
                      {.unitId = kSuper,
                       .kind = Kind::SuperButton,
                       .name = "超级按钮",
                       .rect = {190, 150, 60, 16},
                       .text = "关闭"},
                      {.unitId = kMenu,
                       .kind = Kind::MenuItem,
                       .name = "菜单",
                       .visible = false,
                       .disabled = true,
                       .text = "菜单"},
                      {.unitId = kMenuItem,
                       .kind = Kind::MenuItem,
                       .name = "项",
                       .text = "退出",
                       .menuLevel = 1,
                       .bindings = {SONARO_BIND(kEventClicked, Record)}},
                  }},
          WindowSpec{
              .windowId = kOwned, .unitId = kOwnedUnit, .name = "owned", .rect = {50, 50, 100, 80}},
      };
  return windows;
}

class Loader : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallCatalogue(TestCatalogue());
    g_events.clear();
    g_allControlsAtCreation = false;
    g_visibleAtCreation = true;
    window_ = LoadWindow(kWin, nullptr);
    ASSERT_NE(window_.data(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
  }
  void TearDown() override { delete window_.data(); }

  int Count(uint32_t unit, int number) const {
    int n = 0;
    for (const Event& e : g_events) n += e.unitId == unit && e.number == number;
    return n;
  }
  const Event* Last(uint32_t unit, int number) const {
    for (auto it = g_events.rbegin(); it != g_events.rend(); ++it) {
      if (it->unitId == unit && it->number == number) return &*it;
    }
    return nullptr;
  }

  QPointer<QWidget> window_;
};

}  // namespace

TEST_F(Loader, CreationEventComesOnceAllControlsExistAndBeforeShowing) {
  EXPECT_EQ(Count(kWinUnit, kEventCreated), 1);
  EXPECT_TRUE(g_allControlsAtCreation);
  EXPECT_FALSE(g_visibleAtCreation);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(FindWindow(kWin), window_.data());
  EXPECT_EQ(FindControl(kWin, kWinUnit), window_.data());
  EXPECT_EQ(FindControl(kWin, 0x16FFFFFF), nullptr);
  EXPECT_EQ(FindControl(0x52FFFFFF, kButton), nullptr);
  EXPECT_EQ(LoadWindow(0x52FFFFFF), nullptr);
}

TEST_F(Loader, TreeItemsAreBuiltLevelByLevel) {
  auto* tree = dynamic_cast<CatalogueTree*>(ControlWidget(kWin, kTree));
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(TreeItemCount(kWin, kTree), 6);
  EXPECT_EQ(tree->topLevelItemCount(), 2);
  EXPECT_EQ(tree->StoredItem(2)->parent(), tree->StoredItem(1));
  EXPECT_EQ(tree->StoredItem(3)->parent(), tree->StoredItem(0));
  EXPECT_EQ(tree->StoredItem(5)->parent(), tree->StoredItem(4));
  EXPECT_EQ(TreeItemText(kWin, kTree, 2), core::GbkFromUtf8("一.1.a"));
  EXPECT_EQ(TreeItemLevel(kWin, kTree, 2), 3);
  EXPECT_EQ(TreeItemText(kWin, kTree, 6), "");

  EXPECT_EQ(GetInt(kWin, kTree, prop::kSelectedItem), -1);
  ASSERT_TRUE(SetInt(kWin, kTree, prop::kSelectedItem, 3));
  EXPECT_EQ(GetInt(kWin, kTree, prop::kSelectedItem), 3);
  EXPECT_EQ(Count(kTree, kEventSelection), 1);
}

TEST_F(Loader, NumberedPropertiesReadAndWrite) {
  EXPECT_EQ(GetInt(kWin, kWinUnit, prop::kLeft), 50);
  EXPECT_EQ(GetInt(kWin, kWinUnit, prop::kTop), 50);
  EXPECT_EQ(GetInt(kWin, kWinUnit, prop::kWidth), 320);
  EXPECT_EQ(GetInt(kWin, kWinUnit, prop::kHeight), 240);
  EXPECT_EQ(GetInt(kWin, kButton, prop::kLeft), 10);
  EXPECT_EQ(GetInt(kWin, kEdit, prop::kWidth), 80);
  EXPECT_EQ(GetInt(kWin, kEdit, prop::kBorderStyle), 2);

  // Values are cut toward zero, as the window system takes them.
  ASSERT_TRUE(SetProperty(kWin, kImage, prop::kLeft, 41.9));
  EXPECT_EQ(GetInt(kWin, kImage, prop::kLeft), 41);
  ASSERT_TRUE(SetProperty(kWin, kImage, prop::kLeft, -0.5));
  EXPECT_EQ(GetInt(kWin, kImage, prop::kLeft), 0);

  EXPECT_EQ(GetText(kWin, kEdit), core::GbkFromUtf8("初始"));
  ASSERT_TRUE(SetText(kWin, kEdit, core::GbkFromUtf8("电台：中国之声")));
  EXPECT_EQ(GetText(kWin, kEdit), core::GbkFromUtf8("电台：中国之声"));
  ASSERT_TRUE(SetText(kWin, kMemo, core::GbkFromUtf8("第一行\r\n第二行")));
  EXPECT_EQ(core::FromGbk(GetText(kWin, kMemo)), QStringLiteral("第一行\n第二行"));
  ASSERT_TRUE(SetText(kWin, kClear, core::GbkFromUtf8("公告：今天")));
  EXPECT_EQ(qobject_cast<QLabel*>(ControlWidget(kWin, kClear))->text(),
            QStringLiteral("公告：今天"));

  EXPECT_TRUE(GetProperty(kWin, kButton, prop::kVisible).toBool());
  ASSERT_TRUE(SetProperty(kWin, kButton, prop::kVisible, false));
  EXPECT_FALSE(GetProperty(kWin, kButton, prop::kVisible).toBool());
  EXPECT_FALSE(ControlWidget(kWin, kBrowser)->isVisible());

  // The browser box keeps its address until a browser takes over.
  ASSERT_TRUE(SetText(kWin, kBrowser, "127.0.0.1/gg/diangatai1/index.asp", prop::kAddress));
  EXPECT_EQ(GetText(kWin, kBrowser, prop::kAddress), "127.0.0.1/gg/diangatai1/index.asp");

  // A window's background picture reads back as the bytes written.
  QImage picture(8, 8, QImage::Format_RGB32);
  picture.fill(qRgb(0, 0, 200));
  const QByteArray bytes = PngBytes(picture);
  ASSERT_TRUE(SetProperty(kWin, kWinUnit, prop::kPicture, bytes));
  EXPECT_EQ(GetProperty(kWin, kWinUnit, prop::kPicture).toByteArray(), bytes);

  EXPECT_FALSE(GetProperty(kWin, kButton, 77).isValid());
  EXPECT_FALSE(SetProperty(kWin, kButton, 77, 1));
  EXPECT_FALSE(SetProperty(kWin, 0x16FFFFFF, prop::kLeft, 1));
}

TEST_F(Loader, WindowMovesRaiseTheMovedEvent) {
  const int before = Count(kWinUnit, kEventMoved);
  ASSERT_TRUE(SetInt(kWin, kWinUnit, prop::kLeft, 120));
  QCoreApplication::processEvents();
  EXPECT_GT(Count(kWinUnit, kEventMoved), before);
  EXPECT_EQ(GetInt(kWin, kWinUnit, prop::kLeft), 120);
}

TEST_F(Loader, ListRowsCellsAndHiddenColumns) {
  auto* list = qobject_cast<QTreeWidget*>(ControlWidget(kWin, kList));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ListColumnCount(kWin, kList), 3);
  EXPECT_TRUE(list->isColumnHidden(1));
  EXPECT_FALSE(list->isColumnHidden(0));
  EXPECT_EQ(list->columnWidth(2), 60);

  const std::vector<std::string> row0 = {core::GbkFromUtf8("小明"), core::GbkFromUtf8("隐藏"), "x"};
  const std::vector<std::string> row1 = {core::GbkFromUtf8("小红")};
  EXPECT_EQ(ListAddRow(kWin, kList, row0), 0);
  EXPECT_EQ(ListAddRow(kWin, kList, row1), 1);
  EXPECT_EQ(ListRowCount(kWin, kList), 2);
  EXPECT_EQ(ListCellText(kWin, kList, 0, 1), core::GbkFromUtf8("隐藏"));
  EXPECT_EQ(ListCellText(kWin, kList, 1, 2), "");
  EXPECT_EQ(ListCellText(kWin, kList, 5, 0), "");
  EXPECT_EQ(GetInt(kWin, kList, prop::kSelectedRow), -1);

  // A left click selects the row under it and then raises the list's click event.
  list->header()->hide();
  const QRect rect = list->visualItemRect(list->topLevelItem(1));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  EXPECT_EQ(GetInt(kWin, kList, prop::kSelectedRow), 1);
  EXPECT_EQ(Count(kList, kEventListClick), 1);

  EXPECT_TRUE(ListRemoveRow(kWin, kList, 0));
  EXPECT_FALSE(ListRemoveRow(kWin, kList, 3));
  EXPECT_EQ(ListCellText(kWin, kList, 0, 0), core::GbkFromUtf8("小红"));
}

TEST_F(Loader, CommonMouseEventsCarryThePointerPosition) {
  QWidget* image = ControlWidget(kWin, kImage);
  QTest::mousePress(image, Qt::LeftButton, {}, QPoint(5, 7));
  QTest::mouseMove(image, QPoint(9, 8));
  QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(9, 8));
  const Event* down = Last(kImage, kEventLeftDown);
  const Event* up = Last(kImage, kEventLeftUp);
  ASSERT_NE(down, nullptr);
  ASSERT_NE(up, nullptr);
  EXPECT_EQ(down->x, 5);
  EXPECT_EQ(down->y, 7);
  EXPECT_EQ(down->windowId, kWin);
  EXPECT_EQ(up->x, 9);
  EXPECT_GE(Count(kImage, kEventMouseMove), 1);
  // Right-button presses are not the left-button event.
  QTest::mousePress(image, Qt::RightButton, {}, QPoint(1, 1));
  EXPECT_EQ(Count(kImage, kEventLeftDown), 1);

  QTest::mouseClick(ControlWidget(kWin, kClear), Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_EQ(Count(kClear, kEventLeftDown), 1);
}

TEST_F(Loader, ButtonsMenusAndTimersRaiseTheirEvents) {
  QTest::mouseClick(ControlWidget(kWin, kButton), Qt::LeftButton);
  EXPECT_EQ(Count(kButton, kEventClicked), 1);

  // The hidden top-level item is a pop-up menu only: no menu bar on the window.
  QMenu* menu = FindMenu(kWin, kMenu);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(window_->findChild<QMenuBar*>(), nullptr);
  ASSERT_EQ(menu->actions().size(), 1);
  EXPECT_EQ(menu->actions().first()->text(), QStringLiteral("退出"));
  menu->actions().first()->trigger();
  EXPECT_EQ(Count(kMenuItem, kEventClicked), 1);

  EXPECT_TRUE(QTest::qWaitFor([&] { return Count(kTimer, kEventTimer) >= 2; }, 2000));
}

TEST_F(Loader, PressingAControlDoesNotDragTheWindow) {
  const QPoint start = window_->pos();
  QWidget* image = ControlWidget(kWin, kImage);
  QTest::mousePress(image, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseMove(image, QPoint(25, 25));
  QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(25, 25));
  EXPECT_EQ(window_->pos(), start);
}

TEST_F(Loader, OwnedWindowsDieWithTheirOwner) {
  auto* owner = new Hooked<QWidget>;
  QPointer<QWidget> owned = LoadWindow(kOwned, owner);
  ASSERT_NE(owned.data(), nullptr);
  EXPECT_EQ(owned->parentWidget(), owner);
  EXPECT_TRUE(owned->isWindow());
  delete owner;
  EXPECT_TRUE(owned.isNull());
  EXPECT_EQ(FindWindow(kOwned), nullptr);
}

TEST_F(Loader, ALaterLoadAnswersToTheId) {
  QPointer<QWidget> first = LoadWindow(kOwned, window_);
  QPointer<QWidget> second = LoadWindow(kOwned, window_);
  EXPECT_NE(first.data(), second.data());
  EXPECT_EQ(FindWindow(kOwned), second.data());
  // Once the newer one is on its way out, the older one answers again.
  DestroyWindowLater(second);
  EXPECT_TRUE(IsBeingDestroyed(second));
  EXPECT_FALSE(second->isVisible());
  EXPECT_EQ(FindWindow(kOwned), first.data());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(second.isNull());
  delete first.data();
  EXPECT_EQ(FindWindow(kOwned), nullptr);
}

TEST(Outline, WhiteFallsOutsideTheWindow) {
  QImage picture(20, 10, QImage::Format_RGB888);
  picture.fill(QColor(0, 0, 255));
  picture.setPixelColor(0, 0, Qt::white);
  picture.setPixelColor(19, 9, Qt::white);
  picture.setPixelColor(5, 5, QColor(254, 255, 255));  // near-white stays inside
  QWidget window;
  window.resize(20, 10);
  CutOutline(&window, picture);
  const QRegion mask = window.mask();
  EXPECT_FALSE(mask.contains(QPoint(0, 0)));
  EXPECT_FALSE(mask.contains(QPoint(19, 9)));
  EXPECT_TRUE(mask.contains(QPoint(5, 5)));
  EXPECT_TRUE(mask.contains(QPoint(1, 0)));
}
