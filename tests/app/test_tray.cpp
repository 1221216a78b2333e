// The tray icon: its record, the minimise sequence, clicks on the icon and the ways out.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>

#include "app/catalogue.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/single_instance.h"
#include "app/tray.h"
#include "assets/assets.h"
#include "radio/volume.h"
#include "services/board.h"
#include "support/steady_volume.h"
#include "ui/facilities.h"
#include "ui/ids.h"
#include "ui/window_system.h"

using namespace sonaro;
using namespace sonaro::app;

namespace {

struct RecordingShell : TrayShell {
  int adds = 0, modifies = 0, deletes = 0;
  bool available = true;
  TrayRecord last{};
  bool Available() override { return available; }
  void Add(const TrayRecord& record, QWidget*) override {
    ++adds;
    last = record;
  }
  void Modify(const TrayRecord& record) override {
    ++modifies;
    last = record;
  }
  void Delete(const TrayRecord& record) override {
    ++deletes;
    last = record;
  }
};

bool Visible(uint32_t window, uint32_t unit) {
  return ui::GetProperty(window, unit, ui::prop::kVisible).toBool();
}

class Tray : public ::testing::Test {
 protected:
  void SetUp() override {
    assets::Init();
    SetTrayShell(&shell_);
    radio::SetSystemVolumeMaker([] { return std::make_unique<test::SteadyVolume>(30000); });
    ui::InstallCatalogue(Catalogue());
    RunSetUpSteps();
    main_ = ui::LoadWindow(ids::kMainWindow, nullptr);
    ASSERT_NE(main_.data(), nullptr);
  }
  void TearDown() override {
    delete main_.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    radio::SetSystemVolumeMaker(nullptr);
    SetTrayShell(nullptr);
  }
  RecordingShell shell_;
  QPointer<QWidget> main_;
};

}  // namespace

TEST(TrayBuffers, TextsAreCutAtACharacterBoundary) {
  char tip[8];
  CopyToBuffer(tip, sizeof tip, "abcdefghij");
  EXPECT_STREQ(tip, "abcdefg");  // seven bytes and the terminating zero
  CopyToBuffer(tip, sizeof tip, core::GbkFromUtf8("收音机真好"));  // two bytes each
  EXPECT_EQ(std::string(tip), core::GbkFromUtf8("收音机"));        // six bytes: no half character
  CopyToBuffer(tip, sizeof tip, "a" + core::GbkFromUtf8("收音机真"));
  EXPECT_EQ(std::string(tip), "a" + core::GbkFromUtf8("收音机"));
  CopyToBuffer(tip, sizeof tip, "");
  EXPECT_EQ(tip[0], 0);
}

TEST_F(Tray, TheIconIsThereFromStartUpWithItsTip) {
  EXPECT_TRUE(TrayInstalled());
  EXPECT_EQ(shell_.adds, 1);
  const TrayRecord& record = CurrentTrayRecord();
  EXPECT_EQ(record.size, 488u);
  EXPECT_EQ(record.id, 1u);
  EXPECT_EQ(record.flags, 7u);
  EXPECT_EQ(record.callbackMessage, 123456u);
  EXPECT_EQ(record.window, ids::kMainWindow);
  EXPECT_EQ(std::string(record.tip), core::GbkFromUtf8("收音机"));
}

TEST_F(Tray, MinimiseHidesTheFourWindowsAndShowsTheBalloon) {
  services::ShowDedication({});  // the details window exists and is shown
  ASSERT_TRUE(Visible(ids::kDetails, ids::kDetailsUnit));
  ui::RaiseEvent(ids::kMainWindow, ids::main::kZuixiao, ui::kEventClicked);
  EXPECT_FALSE(Visible(ids::kMainWindow, ids::kMainWindowUnit));
  EXPECT_FALSE(Visible(ids::kStationPanel, ids::kStationPanelUnit));
  EXPECT_FALSE(Visible(ids::kBoard, ids::kBoardUnit));
  EXPECT_FALSE(Visible(ids::kDetails, ids::kDetailsUnit));
  EXPECT_FALSE(State().mainAnimation.IsValid());
  const TrayRecord& record = CurrentTrayRecord();
  EXPECT_EQ(record.flags, 0x10u);
  EXPECT_EQ(std::string(record.infoTitle), core::GbkFromUtf8("窗口最小化"));
  EXPECT_EQ(std::string(record.info), core::GbkFromUtf8("左键单击恢复窗口"));
  EXPECT_EQ(record.infoFlags, 1u);

  // A second minimise adds no second icon.
  ui::RaiseEvent(ids::kMainWindow, ids::main::kZuixiao, ui::kEventClicked);
  EXPECT_EQ(shell_.adds, 1);

  // A left click brings the Main window back, alone, with its animation.
  DeliverTrayMessage(kTrayLeftDown);
  EXPECT_TRUE(Visible(ids::kMainWindow, ids::kMainWindowUnit));
  EXPECT_FALSE(Visible(ids::kStationPanel, ids::kStationPanelUnit));
  EXPECT_FALSE(Visible(ids::kBoard, ids::kBoardUnit));
  EXPECT_TRUE(State().mainAnimation.IsValid());
  // Moves and releases do nothing.
  ui::SetProperty(ids::kMainWindow, ids::kMainWindowUnit, ui::prop::kVisible, false);
  DeliverTrayMessage(0x202);
  EXPECT_FALSE(Visible(ids::kMainWindow, ids::kMainWindowUnit));
}

TEST_F(Tray, ARightClickPopsUpTheMenuAndTheHostComingBackReAddsTheIcon) {
  DeliverTrayMessage(kTrayRightDown);
  QMenu* menu = ui::FindMenu(ids::kMainWindow, ids::main::kMenu);
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  QStringList captions;
  for (QAction* action : menu->actions()) captions << action->text();
  EXPECT_EQ(captions, (QStringList{QStringLiteral("显示主窗口"), QStringLiteral("关于Nocturo"),
                                   QStringLiteral("提交建议"), QStringLiteral("检查更新"),
                                   QStringLiteral("我要点歌"), QStringLiteral("搜索电台…"),
                                   QStringLiteral("添加电台…"), QStringLiteral("导入电台…"),
                                   QStringLiteral("导出电台…"), QStringLiteral("退出")}));
  menu->hide();

  DeliverTaskbarCreated();
  EXPECT_EQ(shell_.adds, 2);
  EXPECT_EQ(std::string(shell_.last.tip), core::GbkFromUtf8("收音机"));
  EXPECT_TRUE(shell_.last.flags & kTrayFlagTip);
}

TEST_F(Tray, AHostComingBackAfterABalloonReAddsTheIconWithItsTip) {
  ui::RaiseEvent(ids::kMainWindow, ids::main::kZuixiao, ui::kEventClicked);
  ASSERT_EQ(CurrentTrayRecord().flags, kTrayFlagInfo);
  DeliverTaskbarCreated();
  EXPECT_EQ(shell_.adds, 2);
  const uint32_t iconFlags = kTrayFlagMessage | kTrayFlagIcon | kTrayFlagTip;
  EXPECT_EQ(shell_.last.flags & iconFlags, iconFlags);
  EXPECT_EQ(std::string(shell_.last.tip), core::GbkFromUtf8("收音机"));
  // The program's own record keeps the flags of its last operation.
  EXPECT_EQ(CurrentTrayRecord().flags, kTrayFlagInfo);
  // Once the icon is removed, the host coming back adds nothing.
  TrayRemove();
  DeliverTaskbarCreated();
  EXPECT_EQ(shell_.adds, 2);
}

TEST_F(Tray, WithoutATrayTheTaskbarKeepsTheWindowAndTheWindowOffersTheMenu) {
  shell_.available = false;
  services::ShowDedication({});
  ui::RaiseEvent(ids::kMainWindow, ids::main::kZuixiao, ui::kEventClicked);
  // Minimised, not hidden; the docked windows and the animation go as with a tray; no balloon.
  EXPECT_TRUE(main_->isVisible());
  EXPECT_TRUE(main_->windowState() & Qt::WindowMinimized);
  EXPECT_FALSE(Visible(ids::kStationPanel, ids::kStationPanelUnit));
  EXPECT_FALSE(Visible(ids::kDetails, ids::kDetailsUnit));
  EXPECT_FALSE(State().mainAnimation.IsValid());
  EXPECT_EQ(CurrentTrayRecord().flags & kTrayFlagInfo, 0u);
  // Back from the taskbar: with its animation, as from the tray.
  main_->showNormal();
  EXPECT_TRUE(State().mainAnimation.IsValid());

  // A right click on the Main window opens the tray's menu, only while there is no tray.
  QMenu* menu = ui::FindMenu(ids::kMainWindow, ids::main::kMenu);
  ASSERT_NE(menu, nullptr);
  auto rightClick = [&] {
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(120, 60),
                            main_->mapToGlobal(QPoint(120, 60)));
    QCoreApplication::sendEvent(main_, &event);
  };
  rightClick();
  EXPECT_TRUE(menu->isVisible());
  menu->hide();
  shell_.available = true;
  rightClick();
  EXPECT_FALSE(menu->isVisible());

  // Hidden in a tray that then goes away: back on the taskbar, minimised.
  ui::RaiseEvent(ids::kMainWindow, ids::main::kZuixiao, ui::kEventClicked);
  ASSERT_FALSE(main_->isVisible());
  TrayHostChanged();
  EXPECT_FALSE(main_->isVisible());  // the tray is still there
  shell_.available = false;
  TrayHostChanged();
  EXPECT_TRUE(main_->isVisible());
  EXPECT_TRUE(main_->windowState() & Qt::WindowMinimized);
  RestoreMainWindow();
  EXPECT_FALSE(main_->windowState() & Qt::WindowMinimized);
  EXPECT_TRUE(State().mainAnimation.IsValid());

  // The tray back within seconds (a screen unlock): into the tray again, and from there the
  // window comes back normal, not minimised.
  shell_.available = true;
  ui::RaiseEvent(ids::kMainWindow, ids::main::kZuixiao, ui::kEventClicked);
  shell_.available = false;
  TrayHostChanged();
  ASSERT_TRUE(main_->isVisible());
  shell_.available = true;
  TrayHostChanged();
  EXPECT_FALSE(main_->isVisible());
  TrayHandler(kTrayLeftDown);
  EXPECT_TRUE(main_->isVisible());
  EXPECT_FALSE(main_->windowState() & Qt::WindowMinimized);
}

// A second start on the same page folder asks the first to show itself and gives way.
TEST(SingleInstance, ASecondClaimOnTheFolderAsksTheFirstToShowAndGivesWay) {
  QTemporaryDir first, other;
  const std::string folder = first.path().toStdString() + "/";
  int shown = 0;
  ASSERT_TRUE(ClaimSingleInstance(folder, [&] { ++shown; }));
  EXPECT_FALSE(ClaimSingleInstance(folder, [] { ADD_FAILURE() << "the second one serves"; }));
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown == 1; }, 5000));
  EXPECT_TRUE(ClaimSingleInstance(other.path().toStdString() + "/", [] {}));
  EXPECT_TRUE(ClaimSingleInstance("", [] {}));  // no folder, nothing shared
}

TEST_F(Tray, TheCloseButtonRemovesTheIconBeforeTheWindowGoes) {
  ui::RaiseEvent(ids::kMainWindow, ids::main::kCloseButton, ui::kEventClicked);
  EXPECT_FALSE(TrayInstalled());
  EXPECT_EQ(shell_.deletes, 1);
  EXPECT_FALSE(main_.isNull());  // still there until the loop runs
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(main_.isNull());
  EXPECT_EQ(shell_.deletes, 1);  // the destruction no longer reaches the tray procedure
}

TEST_F(Tray, ExitFromTheMenuRemovesTheIconAsTheWindowIsDestroyed) {
  ui::RaiseEvent(ids::kMainWindow, ids::main::kMenuExit, ui::kEventClicked);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(main_.isNull());
  EXPECT_FALSE(TrayInstalled());
  EXPECT_EQ(shell_.deletes, 1);
}
