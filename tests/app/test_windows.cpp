// The program's own windows from the catalogue: start-up state, docking, toggles, the menu's
// exit, and a screenshot of every window for the README.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "app/catalogue.h"
#include "app/program.h"
#include "assets/assets.h"
#include "core/gbk.h"
#include "radio/volume.h"
#include "services/board.h"
#include "skin/transparent.h"
#include "sonaro_config.h"
#include "support/steady_volume.h"
#include "ui/facilities.h"
#include "ui/ids.h"
#include "ui/window_system.h"

using namespace sonaro;
using ui::prop::kLeft;
using ui::prop::kTop;
using ui::prop::kVisible;

namespace {

// 我的电台 is read from here, never from the user's own folder.
void UseTemporaryDataHome() {
  static QTemporaryDir data;
  qputenv("XDG_DATA_HOME", data.path().toUtf8());
}

class ProgramWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    UseTemporaryDataHome();
    assets::Init();
    // No sound server here: the volume knob reads a steady system volume instead.
    radio::SetSystemVolumeMaker([] { return std::make_unique<test::SteadyVolume>(); });
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
  // Loads the windows the Main window does not load itself.
  void LoadEveryWindow() {
    ui::SetProperty(ids::kBoard, ids::kBoardUnit, kVisible, true);
    ui::LoadWindow(ids::kDetails, main_);
    ui::LoadWindow(ids::kRequestForm, ui::FindWindow(ids::kBoard));
    ui::RaiseEvent(ids::kMainWindow, ids::main::kMenuSearch, ui::kEventClicked);
    ui::RaiseEvent(ids::kMainWindow, ids::main::kMenuAddStation, ui::kEventClicked);
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
  EXPECT_EQ(ui::FindWindow(ids::kSearchWindow), nullptr) << "made on first use";

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

  // Six collapsed categories holding the stored items, then 我的电台.
  auto* tree = qobject_cast<QTreeWidget*>(ui::ControlWidget(ids::kStationPanel, ids::panel::kTree));
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->topLevelItemCount(), 7);
  EXPECT_EQ(ui::TreeItemCount(ids::kStationPanel, ids::panel::kTree), 120);
  EXPECT_EQ(ui::TreeItemText(ids::kStationPanel, ids::panel::kTree, 119),
            core::GbkFromUtf8("我的电台"));
  EXPECT_EQ(ui::TreeItemText(ids::kStationPanel, ids::panel::kTree, 4),
            core::GbkFromUtf8("CRI Hit FM 88.7"));

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
  // Near the screen's left edge the card would be mostly off screen: it docks on the right.
  ASSERT_TRUE(ui::SetInt(ids::kMainWindow, ids::kMainWindowUnit, kLeft, 100));
  QCoreApplication::processEvents();
  EXPECT_EQ(ui::GetInt(ids::kDetails, ids::kDetailsUnit, kLeft), 100 + 400 - 9);
  EXPECT_EQ(ui::GetInt(ids::kDetails, ids::kDetailsUnit, kTop), 50);
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
    core::Text text;
    int style;
    core::Text title;
  };
  std::vector<Shown> shown;
  ui::SetMessageAnswerer([&](const core::Text& text, int style, const core::Text& title) {
    shown.push_back({text, style, title});
    return ui::kIdOk;
  });
  ui::RaiseEvent(ids::kMainWindow, ids::main::kMenuAbout, ui::kEventClicked);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, core::GbkFromUtf8("累了以后在写吧！"));
  EXPECT_EQ(shown[0].style, 0);
  EXPECT_EQ(shown[0].title, core::GbkFromUtf8("Varrowen"));

  const int before = int(QApplication::topLevelWidgets().size());
  ui::RaiseEvent(ids::kMainWindow, ids::main::kMenuSuggest, ui::kEventClicked);
  ui::RaiseEvent(ids::kMainWindow, ids::main::kMenuRequest, ui::kEventClicked);
  QCoreApplication::processEvents();
  EXPECT_EQ(int(QApplication::topLevelWidgets().size()), before);
  EXPECT_EQ(shown.size(), 1u);
  ui::SetMessageAnswerer(nullptr);
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
  UseTemporaryDataHome();
  assets::Init();
  radio::SetSystemVolumeMaker([] { return std::make_unique<test::SteadyVolume>(); });
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
  LoadEveryWindow();
  const struct {
    uint32_t id;
    const char* file;
  } windows[] = {{ids::kMainWindow, "main.png"},     {ids::kStationPanel, "stations.png"},
                 {ids::kBoard, "board.png"},         {ids::kDetails, "details.png"},
                 {ids::kRequestForm, "request.png"}, {ids::kSearchWindow, "search.png"}};
  for (const auto& window : windows) {
    QWidget* widget = ui::FindWindow(window.id);
    ASSERT_NE(widget, nullptr) << window.file;
    const QImage image = widget->grab().toImage();
    EXPECT_EQ(image.size(), widget->size());
    EXPECT_TRUE(image.save(dir + QLatin1Char('/') + QLatin1String(window.file))) << window.file;
  }
}

// What Orca reads: every control one can reach or click says what it is.
TEST_F(ProgramWindows, EveryControlTellsAScreenReaderWhatItIs) {
  LoadEveryWindow();
  using ui::Kind;
  int named = 0;
  for (const ui::WindowSpec& window : app::Catalogue()) {
    if (!ui::FindWindow(window.windowId)) continue;  // the Update window checks and goes
    for (const ui::ControlSpec& control : window.controls) {
      const Kind kind = control.kind;
      if (kind != Kind::Button && kind != Kind::ImageButton && kind != Kind::SuperButton &&
          kind != Kind::EditBox && kind != Kind::TreeBox && kind != Kind::ListView) {
        continue;
      }
      QWidget* widget = ui::ControlWidget(window.windowId, control.unitId);
      ASSERT_NE(widget, nullptr) << control.name;
      QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(widget);
      ASSERT_NE(spoken, nullptr) << control.name;
      EXPECT_FALSE(spoken->text(QAccessible::Name).trimmed().isEmpty()) << control.name;
      ++named;
    }
  }
  EXPECT_GE(named, 24);
  auto name = [](uint32_t window, uint32_t unit) {
    return QAccessible::queryAccessibleInterface(ui::ControlWidget(window, unit))
        ->text(QAccessible::Name);
  };
  EXPECT_EQ(name(ids::kMainWindow, ids::main::kZuixiao), QStringLiteral("最小化"));
  EXPECT_EQ(name(ids::kMainWindow, ids::main::kDiantaidaohang), QStringLiteral("电台列表"));
  EXPECT_EQ(name(ids::kRequestForm, ids::request::kHelp), QStringLiteral("点击查看帮助"));
  EXPECT_EQ(name(ids::kSearchWindow, ids::search::kStatus), QStringLiteral("搜索状态"));
  // A caption the program changes is what is said then.
  ui::SetText(ids::kDetails, ids::details::kSongTitle, core::GbkFromUtf8("月亮河"));
  EXPECT_EQ(name(ids::kDetails, ids::details::kSongTitle), QStringLiteral("月亮河"));
}

// Every caption is drawn as its control draws it, without the control's clipping: no ink may
// fall outside the control's box, nor on another control that shows something; and no control
// covers a page.
TEST_F(ProgramWindows, EveryCaptionFitsItsBoxWithoutOverlap) {
  LoadEveryWindow();
  constexpr int kMargin = 40;
  for (const ui::WindowSpec& window : app::Catalogue()) {
    QWidget* top = ui::FindWindow(window.windowId);
    if (!top) continue;
    std::vector<QRect> content;  // boxes of the controls that show something
    for (QWidget* child : top->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      auto* label = qobject_cast<QLabel*>(child);
      if (!child->isWindow() && child->isVisibleTo(top) &&
          !(label && label->text().isEmpty() && !label->pixmap()))
        content.push_back(child->geometry());
    }
    for (auto* label : top->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
      if (label->text().trimmed().isEmpty() || !label->isVisibleTo(top)) continue;
      QImage canvas(label->size() + QSize(2 * kMargin, 2 * kMargin),
                    QImage::Format_ARGB32_Premultiplied);
      canvas.fill(Qt::transparent);
      {
        QPainter painter(&canvas);
        painter.setFont(label->font());
        const int flags =
            int(label->alignment()) | Qt::TextDontClip | (label->wordWrap() ? Qt::TextWordWrap : 0);
        label->style()->drawItemText(&painter, label->contentsRect().translated(kMargin, kMargin),
                                     flags, label->palette(), true, label->text(),
                                     QPalette::WindowText);
      }
      QRect ink;
      for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
          if (qAlpha(canvas.pixel(x, y)) > 64) ink |= QRect(x, y, 1, 1);
        }
      }
      ASSERT_FALSE(ink.isEmpty()) << label->objectName().toStdString();
      const QRect box = label->geometry();
      const QRect drawn = ink.translated(box.topLeft() - QPoint(kMargin, kMargin));
      EXPECT_TRUE(box.contains(drawn))
          << window.name << " " << label->objectName().toStdString() << ": ink " << drawn.x() << ","
          << drawn.y() << " " << drawn.width() << "x" << drawn.height() << " outside " << box.x()
          << "," << box.y() << " " << box.width() << "x" << box.height();
      for (const QRect& other : content) {
        if (other == box) continue;
        EXPECT_FALSE(other.intersects(drawn))
            << window.name << " " << label->objectName().toStdString()
            << " overlaps the control at " << other.x() << "," << other.y();
      }
    }
    // A page shows whole: nothing lies over a shown browser box.
    for (const ui::ControlSpec& control : window.controls) {
      QWidget* box = ui::ControlWidget(window.windowId, control.unitId);
      if (control.kind != ui::Kind::BrowserBox || !box || !box->isVisibleTo(top)) continue;
      for (QWidget* other : top->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != box && !other->isWindow() && other->isVisibleTo(top)) {
          EXPECT_FALSE(other->geometry().intersects(box->geometry()))
              << control.name << " lies under " << other->objectName().toStdString();
        }
      }
    }
    for (auto* button : top->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
      if (button->text().isEmpty()) continue;
      const QFontMetrics metrics(button->font());
      EXPECT_LE(metrics.horizontalAdvance(button->text()), button->width())
          << button->objectName().toStdString();
      EXPECT_LE(metrics.height(), button->height() + 2) << button->objectName().toStdString();
    }
  }
}
