// One process-wide tooltip window, one tool per control.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "skin/skin.h"
#include "tests/skin/skin_test_support.h"
#include "ui/props.h"
#include "ui/winproc.h"

using namespace sonaro;
using namespace sonaro::skin;

namespace {

class ToolTips : public ::testing::Test {
 protected:
  void SetUp() override {
    InitialiseSkinRuntime();
    window = new ui::Hooked<test::Backdrop>();
    window->setGeometry(200, 200, 300, 150);
    first = new ui::Hooked<QPushButton>(window);
    first->setGeometry(20, 20, 60, 30);
    second = new ui::Hooked<QPushButton>(window);
    second->setGeometry(150, 20, 80, 40);
    a.Bind(first);
    b.Bind(second);
  }
  void TearDown() override {
    if (QWidget* tip = SharedToolTipWindow()) tip->hide();
    delete window;
  }
  QLabel* Tip() const { return qobject_cast<QLabel*>(SharedToolTipWindow()); }
  // Tips show in the active window (as the system's do without "always tip").
  bool Show() {
    if (!test::ShowAndWait(window)) return false;
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
  }
  // Rests the pointer on a control until its tip shows.
  bool Hover(QWidget* control, QPoint at) {
    QTest::mouseMove(window->windowHandle(), QPoint(290, 140));
    if (Tip()) Tip()->hide();
    test::MoveTo(control, at);
    return QTest::qWaitFor([&] { return Tip() && Tip()->isVisible(); }, 3000);
  }

  QWidget* window = nullptr;
  QPushButton* first = nullptr;
  QPushButton* second = nullptr;
  SkinButton a, b;
};

}  // namespace

TEST_F(ToolTips, OneToolPerControlAndTheSecondCallOnlyChangesTheText) {
  a.SetToolTip(core::GbkFromUtf8("播放"));
  ASSERT_NE(SharedToolTipWindow(), nullptr);
  EXPECT_EQ(ui::GetPropInt(first, "Zuder_ToolTips"), 1);
  EXPECT_EQ(ToolTipToolCount(first), 1);
  EXPECT_EQ(ToolTipText(first), QStringLiteral("播放"));
  QWidget* shared = SharedToolTipWindow();
  a.SetToolTip(core::GbkFromUtf8("暂停"), false);
  EXPECT_EQ(ToolTipToolCount(first), 1);
  EXPECT_EQ(ToolTipText(first), QStringLiteral("暂停"));
  // Several controls share the one tooltip window.
  b.SetToolTip("second");
  EXPECT_EQ(SharedToolTipWindow(), shared);
  EXPECT_EQ(ToolTipToolCount(second), 1);
  EXPECT_TRUE(shared->windowFlags() & Qt::ToolTip);
  EXPECT_EQ(shared->parentWidget(), nullptr);
}

TEST_F(ToolTips, ShowsWhenThePointerRestsAndTheSecondCallChangesTheShownText) {
  a.SetToolTip("first tip");
  ASSERT_TRUE(Show());
  ASSERT_TRUE(Hover(first, QPoint(10, 10)));
  EXPECT_EQ(Tip()->text(), QStringLiteral("first tip"));
  // At the cursor (the default and atCursor true alike): just below the pointer.
  const QPoint pointer = first->mapToGlobal(QPoint(10, 10));
  EXPECT_GE(Tip()->y(), pointer.y());
  EXPECT_LE(Tip()->y(), pointer.y() + 32);
  EXPECT_NEAR(Tip()->x(), pointer.x(), 8);
  a.SetToolTip("changed");
  EXPECT_EQ(Tip()->text(), QStringLiteral("changed"));
  EXPECT_TRUE(Tip()->isVisible());
  // Leaving the control hides the tip.
  QTest::mouseMove(window->windowHandle(), QPoint(290, 140));
  EXPECT_FALSE(Tip()->isVisible());

  b.SetToolTip("at cursor", true);
  ASSERT_TRUE(Hover(second, QPoint(60, 30)));
  EXPECT_EQ(Tip()->text(), QStringLiteral("at cursor"));
  EXPECT_NEAR(Tip()->x(), second->mapToGlobal(QPoint(60, 30)).x(), 8);
}

TEST_F(ToolTips, AtCursorFalseCentresTheTipBelowTheControl) {
  b.SetToolTip("centred", false);
  ASSERT_TRUE(Show());
  ASSERT_TRUE(Hover(second, QPoint(70, 5)));
  const QRect control(second->mapToGlobal(QPoint(0, 0)), second->size());
  const QRect tip = Tip()->geometry();
  EXPECT_EQ(tip.top(), control.bottom() + 1);
  EXPECT_NEAR(tip.center().x(), control.center().x(), 1);
}

TEST_F(ToolTips, LongTextsWrapAt1024Pixels) {
  QString text;
  for (int i = 0; i < 60; ++i) text += QStringLiteral("a rather long tooltip text ");
  a.SetToolTip(core::ToGbk(text));
  ASSERT_TRUE(Show());
  ASSERT_TRUE(Hover(first, QPoint(10, 10)));
  EXPECT_EQ(Tip()->width(), 1024);
  EXPECT_GT(Tip()->height(), 3 * Tip()->fontMetrics().height());
  // A short text stays on one line, as wide as it needs.
  a.SetToolTip("short");
  ASSERT_TRUE(Hover(first, QPoint(10, 10)));
  EXPECT_LT(Tip()->width(), 200);
  EXPECT_LT(Tip()->height(), 2 * Tip()->fontMetrics().height());
}

TEST_F(ToolTips, TheToolRectangleIsTheClientRectangleAtRegistration) {
  a.SetToolTip("small tool");
  first->resize(120, 30);  // later growth does not grow the tool
  ASSERT_TRUE(Show());
  QTest::mouseMove(window->windowHandle(), QPoint(290, 140));
  test::MoveTo(first, QPoint(100, 10));  // outside the registered 60 x 30
  QTest::qWait(1500);
  EXPECT_FALSE(Tip() && Tip()->isVisible());
  ASSERT_TRUE(Hover(first, QPoint(30, 10)));
}
