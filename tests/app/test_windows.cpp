// The program's own windows from the catalogue: start-up state, docking, toggles, the menu's
// exit, and a screenshot of every window for the README.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTest>
#include <QTreeWidget>

#include "app/catalogue.h"
#include "app/ids.h"
#include "app/program.h"
#include "app/winsys/window_system.h"
#include "assets/assets.h"
#include "radio/volume.h"
#include "services/board.h"
#include "services/core/gbk.h"
#include "services/facilities.h"
#include "skin/transparent.h"
#include "sonaro_config.h"

using namespace sonaro;
using ui::prop::kLeft;
using ui::prop::kTop;
using ui::prop::kVisible;

namespace {

class SteadyVolume : public radio::SystemVolume {
 public:
  bool Open() override { return true; }
  bool Read(long& left, long& right) override {
    left = right = 32768;
    return true;
  }
  void Write(long, long) override {}
  void Close() override {}
};

class ProgramWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    assets::Init();
    // No sound server here: the volume knob reads a steady system volume instead.
    radio::SetSystemVolumeMaker([] { return std::make_unique<SteadyVolume>(); });
    ui::InstallCatalogue(app::Catalogue());
    app::RunSetUpSteps();
    main_ = ui::LoadWindow(ids::kMainWindow, nullptr);
    ASSERT_NE(main_.data(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main_));
  }
  void TearDown() override {
    radio::SetSystemVolumeMaker(nullptr);
    delete main_.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  static bool Visible(uint32_t window, uint32_t unit) {
    return ui::GetProperty(window, unit, kVisible).toBool();
  }
  QPointer<QWidget> main_;
};

}  // namespace

TEST_F(ProgramWindows, StartShowsMainAndDockedPanelWithTheBoardHidden) {
  EXPECT_EQ(main_->windowTitle(), QStringLiteral("SonaroQuillboard无广告版"));
  EXPECT_EQ(main_->size(), QSize(400, 300));
  EXPECT_TRUE(Visible(ids::kMainWindow, ids::kMainWindowUnit));
  EXPECT_TRUE(Visible(ids::kStationPanel, ids::kStationPanelUnit));
  ASSERT_NE(ui::FindWindow(ids::kBoard), nullptr);
  EXPECT_FALSE(Visible(ids::kBoard, ids::kBoardUnit));
  EXPECT_EQ(ui::FindWindow(ids::kDetails), nullptr);

  // The panel overlaps the Main window's right edge by 11 pixels.
  EXPECT_EQ(ui::GetInt(ids::kStationPanel, ids::kStationPanelUnit, kLeft), 50 + 400 - 11);
  EXPECT_EQ(ui::GetInt(ids::kStationPanel, ids::kStationPanelUnit, kTop), 60);
  EXPECT_EQ(ui::FindWindow(ids::kStationPanel)->parentWidget(), main_.data());
  EXPECT_EQ(ui::FindWindow(ids::kBoard)->parentWidget(), main_.data());

  // The outline is cut where the panel's picture is white.
  const QRegion mask = ui::FindWindow(ids::kStationPanel)->mask();
  EXPECT_FALSE(mask.isEmpty());
  EXPECT_FALSE(mask.contains(QPoint(0, 529)));
  EXPECT_TRUE(mask.contains(QPoint(120, 265)));

  // Six collapsed categories holding the stored items.
  auto* tree = qobject_cast<QTreeWidget*>(ui::ControlWidget(ids::kStationPanel, ids::panel::kTree));
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->topLevelItemCount(), 6);
  EXPECT_EQ(ui::TreeItemCount(ids::kStationPanel, ids::panel::kTree), 119);
  EXPECT_EQ(ui::TreeItemText(ids::kStationPanel, ids::panel::kTree, 4),
            GbkFromUtf8("CRI Hit FM 88.7"));

  EXPECT_EQ(ui::GetText(ids::kStationPanel, ids::panel::kAdvertBox, ui::prop::kAddress),
            std::string("http://") + config::kServiceHost + "/gg/gg/gg.html");
}

TEST_F(ProgramWindows, DockedWindowsFollowTheMainWindowEvenWhenHidden) {
  ui::RaiseEvent(ids::kMainWindow, ids::main::kDiantaidaohang, ui::kEventClicked);
  EXPECT_FALSE(Visible(ids::kStationPanel, ids::kStationPanelUnit));
  ASSERT_TRUE(ui::SetInt(ids::kMainWindow, ids::kMainWindowUnit, kLeft, 200));
  ASSERT_TRUE(ui::SetInt(ids::kMainWindow, ids::kMainWindowUnit, kTop, 120));
  QCoreApplication::processEvents();
  EXPECT_EQ(ui::GetInt(ids::kStationPanel, ids::kStationPanelUnit, kLeft), 200 + 400 - 11);
  EXPECT_EQ(ui::GetInt(ids::kStationPanel, ids::kStationPanelUnit, kTop), 130);
  // After a move the board sits 10 pixels in from the Main window's left edge.
  EXPECT_EQ(ui::GetInt(ids::kBoard, ids::kBoardUnit, kLeft), 210);
  EXPECT_EQ(ui::GetInt(ids::kBoard, ids::kBoardUnit, kTop), 120 + 300 - 11);
  ui::RaiseEvent(ids::kMainWindow, ids::main::kDiantaidaohang, ui::kEventClicked);
  EXPECT_TRUE(Visible(ids::kStationPanel, ids::kStationPanelUnit));
}

TEST_F(ProgramWindows, TheDetailsAndTheAnimationDockOnTheLeftAndOverTheWindow) {
  services::ShowDedication({});
  QWidget* details = ui::FindWindow(ids::kDetails);
  ASSERT_NE(details, nullptr);
  // Dragged away on its own, the card comes back at the next move of the Main window.
  details->move(700, 700);
  ASSERT_TRUE(ui::SetInt(ids::kMainWindow, ids::kMainWindowUnit, kLeft, 600));
  ASSERT_TRUE(ui::SetInt(ids::kMainWindow, ids::kMainWindowUnit, kTop, 40));
  QCoreApplication::processEvents();
  EXPECT_EQ(ui::GetInt(ids::kDetails, ids::kDetailsUnit, kLeft), 600 - 450 + 9);
  EXPECT_EQ(ui::GetInt(ids::kDetails, ids::kDetailsUnit, kTop), 50);
  QWidget* animation = app::State().mainAnimation.GetHandle();
  ASSERT_NE(animation, nullptr);
  EXPECT_EQ(animation->pos(), QPoint(618, 215));
  // Left of the screen's edge the docked places go negative, not clamped.
  ASSERT_TRUE(ui::SetInt(ids::kMainWindow, ids::kMainWindowUnit, kLeft, 100));
  QCoreApplication::processEvents();
  EXPECT_EQ(ui::GetInt(ids::kDetails, ids::kDetailsUnit, kLeft), 100 - 450 + 9);
}

TEST_F(ProgramWindows, SongRequestButtonTogglesTheBoard) {
  ui::RaiseEvent(ids::kMainWindow, ids::main::kDiange, ui::kEventClicked);
  EXPECT_TRUE(Visible(ids::kBoard, ids::kBoardUnit));
  ui::RaiseEvent(ids::kMainWindow, ids::main::kDiange, ui::kEventClicked);
  EXPECT_FALSE(Visible(ids::kBoard, ids::kBoardUnit));
}

TEST_F(ProgramWindows, ExitDestroysTheMainWindowAndEveryOwnedWindow) {
  QPointer<QWidget> panel = ui::FindWindow(ids::kStationPanel);
  QPointer<QWidget> board = ui::FindWindow(ids::kBoard);
  ui::RaiseEvent(ids::kMainWindow, ids::main::kMenuExit, ui::kEventClicked);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(main_.isNull());
  EXPECT_TRUE(panel.isNull());
  EXPECT_TRUE(board.isNull());
}

TEST_F(ProgramWindows, SetUpRegistersTheRecolouredClasses) {
  EXPECT_TRUE(skin::RecolouredClassesRegistered());
  QWidget parent;
  EXPECT_NE(skin::CreateRecolouredControl("mybut", &parent), nullptr);
}

TEST_F(ProgramWindows, MaximiseDoesNothing) {
  const QRect before = main_->geometry();
  ui::RaiseEvent(ids::kMainWindow, ids::main::kZuida, ui::kEventClicked);
  EXPECT_EQ(main_->geometry(), before);
  EXPECT_TRUE(main_->isVisible());
}

TEST_F(ProgramWindows, AboutBoxAndTheMenuItemsThatDoNothing) {
  struct Shown {
    Text text;
    int style;
    Text title;
  };
  std::vector<Shown> shown;
  SetMessageAnswerer([&](const Text& text, int style, const Text& title) {
    shown.push_back({text, style, title});
    return kIdOk;
  });
  ui::RaiseEvent(ids::kMainWindow, ids::main::kMenuAbout, ui::kEventClicked);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, GbkFromUtf8("累了以后在写吧！"));
  EXPECT_EQ(shown[0].style, 0);
  EXPECT_EQ(shown[0].title, GbkFromUtf8("Varrowen"));

  const int before = int(QApplication::topLevelWidgets().size());
  ui::RaiseEvent(ids::kMainWindow, ids::main::kMenuSuggest, ui::kEventClicked);
  ui::RaiseEvent(ids::kMainWindow, ids::main::kMenuRequest, ui::kEventClicked);
  QCoreApplication::processEvents();
  EXPECT_EQ(int(QApplication::topLevelWidgets().size()), before);
  EXPECT_EQ(shown.size(), 1u);
  SetMessageAnswerer(nullptr);
}

// The platform picks a window's visual when the window gets its native handle: the Main window
// must already be translucent then, or its per-pixel alpha is lost (black where it should be
// see-through) although the attribute reads as set.
TEST(MainWindowCreation, TheNativeWindowIsMadeTranslucent) {
  struct Watch : QObject {
    int creations = 0;
    bool translucent = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (event->type() == QEvent::WinIdChange && widget && widget->isWindow() &&
          widget->objectName() == QLatin1String("Main window") && widget->internalWinId()) {
        ++creations;
        translucent = widget->testAttribute(Qt::WA_TranslucentBackground);
      }
      return false;
    }
  } watch;
  assets::Init();
  radio::SetSystemVolumeMaker([] { return std::make_unique<SteadyVolume>(); });
  ui::InstallCatalogue(app::Catalogue());
  app::RunSetUpSteps();
  qApp->installEventFilter(&watch);
  QPointer<QWidget> main = ui::LoadWindow(ids::kMainWindow, nullptr);
  ASSERT_NE(main.data(), nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
  qApp->removeEventFilter(&watch);
  EXPECT_EQ(watch.creations, 1);
  EXPECT_TRUE(watch.translucent);
  radio::SetSystemVolumeMaker(nullptr);
  delete main.data();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Writes a picture of every window; the README shows them.
TEST_F(ProgramWindows, Screenshots) {
  const QString dir = qEnvironmentVariable("SONARO_BINARY_DIR", QStringLiteral(".")) +
                      QStringLiteral("/screenshots");
  ASSERT_TRUE(QDir().mkpath(dir));
  ui::SetProperty(ids::kBoard, ids::kBoardUnit, kVisible, true);
  ui::LoadWindow(ids::kDetails, main_);
  ui::LoadWindow(ids::kRequestForm, ui::FindWindow(ids::kBoard));
  const struct {
    uint32_t id;
    const char* file;
  } windows[] = {{ids::kMainWindow, "main.png"},
                 {ids::kStationPanel, "stations.png"},
                 {ids::kBoard, "board.png"},
                 {ids::kDetails, "details.png"},
                 {ids::kRequestForm, "request.png"}};
  for (const auto& window : windows) {
    QWidget* widget = ui::FindWindow(window.id);
    ASSERT_NE(widget, nullptr) << window.file;
    const QImage image = widget->grab().toImage();
    EXPECT_EQ(image.size(), widget->size());
    EXPECT_TRUE(image.save(dir + QLatin1Char('/') + QLatin1String(window.file))) << window.file;
  }
}
