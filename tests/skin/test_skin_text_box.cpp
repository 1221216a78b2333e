// Skinned text boxes on an ordinary window (standalone painting) and their setters.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "skin/skin.h"
#include "tests/skin/skin_test_support.h"
#include "ui/props.h"
#include "ui/winproc.h"

using namespace sonaro;
using namespace sonaro::skin;

namespace {

const QColor kBehind(0, 0, 255);

class StandaloneTextBox : public ::testing::Test {
 protected:
  void SetUp() override {
    InitialiseSkinRuntime();
    window = new ui::Hooked<test::Backdrop>(kBehind);
    window->setGeometry(100, 100, 160, 60);
    edit = new ui::Hooked<QLineEdit>(window);
    edit->setGeometry(10, 10, 120, 30);
    QFont font = edit->font();
    font.setPixelSize(20);
    edit->setFont(font);
  }
  void TearDown() override { delete window; }
  qint64 Prop(const char* name) const { return ui::GetPropInt(edit, name); }
  QColor At(const QImage& shown, int x, int y) const {
    return QColor(shown.pixel(edit->mapTo(window, QPoint(x, y))));
  }
  // Number of box pixels close to a colour.
  int Count(const QImage& shown, QColor colour, int tolerance = 40) const {
    int n = 0;
    for (int y = 2; y < edit->height() - 2; ++y) {
      for (int x = 2; x < edit->width() - 2; ++x) {
        const QColor c = At(shown, x, y);
        if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                std::abs(c.blue() - colour.blue()) <=
            tolerance) {
          ++n;
        }
      }
    }
    return n;
  }

  QWidget* window = nullptr;
  QLineEdit* edit = nullptr;
  SkinTextBox box;
};

}  // namespace

TEST_F(StandaloneTextBox, BindSetsTheDefaults) {
  const ui::WndProc own = ui::GetWindowProc(edit);
  box.Bind(edit);
  EXPECT_EQ(Prop("PngControl_Type"), 4);
  EXPECT_EQ(Prop("PngControl_BackColor"), 0xFFFFFF);
  EXPECT_EQ(Prop("PngControl_BackAlpha"), 255);
  EXPECT_EQ(Prop("PngControl_OrderColor"), 0x7B8084);
  EXPECT_EQ(Prop("PngControl_OrderAlpha"), 255);
  EXPECT_EQ(Prop("PngControl_TextColor"), 0);
  EXPECT_FALSE(ui::HasProp(edit, "PngControl_BackImage"));
  EXPECT_FALSE(ui::HasProp(edit, "PngControl_BackType"));
  EXPECT_EQ(ui::ValueToProc(quintptr(Prop("PngControl_WndProc"))), own);
  EXPECT_NE(ui::GetWindowProc(edit), own);

  SkinTextBox dead;
  dead.Bind(nullptr);
  EXPECT_FALSE(dead.IsValid());
}

TEST_F(StandaloneTextBox, AlphaIsClampedAndAnOmittedAlphaKept) {
  box.Bind(edit);
  box.SetBackColor(0x123456, 300);
  EXPECT_EQ(Prop("PngControl_BackColor"), 0x123456);
  EXPECT_EQ(Prop("PngControl_BackAlpha"), 255);
  box.SetBackColor(0x123456, -5);
  EXPECT_EQ(Prop("PngControl_BackAlpha"), 0);
  box.SetBackColor(0x654321, 77);
  box.SetBackColor(0x111111);
  EXPECT_EQ(Prop("PngControl_BackColor"), 0x111111);
  EXPECT_EQ(Prop("PngControl_BackAlpha"), 77);
  box.SetBackColor(0x111111, 0);  // given as 0 is not omitted
  EXPECT_EQ(Prop("PngControl_BackAlpha"), 0);

  box.SetBorderColor(0x00FF00, 999);
  EXPECT_EQ(Prop("PngControl_OrderColor"), 0x00FF00);
  EXPECT_EQ(Prop("PngControl_OrderAlpha"), 255);
  box.SetBorderColor(0x0000FF);
  EXPECT_EQ(Prop("PngControl_OrderAlpha"), 255);
  box.SetBorderColor(-1);
  EXPECT_EQ(Prop("PngControl_OrderColor"), -1);
  box.SetBackColor(0xFFFFFFFF);  // the 32-bit -1
  EXPECT_EQ(Prop("PngControl_BackColor"), -1);

  box.SetTextColor(0x00FF00);
  EXPECT_EQ(Prop("PngControl_TextColor"), 0x00FF00);
  box.SetBackType(2);
  EXPECT_EQ(Prop("PngControl_BackType"), 2);
  box.SetBackImageData(test::SolidPng(3, 3, Qt::red));
  EXPECT_NE(ui::GetPropPtr<Image>(edit, "PngControl_BackImage"), nullptr);
  box.SetBackImageData(QByteArray("broken"));  // a failed decode clears the image
  EXPECT_EQ(ui::GetPropPtr<Image>(edit, "PngControl_BackImage"), nullptr);
}

TEST_F(StandaloneTextBox, GetTextReturnsTheBoxTextInGbk) {
  box.Bind(edit);
  edit->setText(QStringLiteral("电台ABC"));
  EXPECT_EQ(box.GetText(), core::GbkFromUtf8("电台ABC"));
}

TEST_F(StandaloneTextBox, PaintsFillBorderAndItsOwnTextInTheTextColour) {
  box.Bind(edit);
  edit->setFocusPolicy(Qt::NoFocus);  // no text cursor in the pictures
  ASSERT_TRUE(test::ShowAndWait(window));
  QImage shown = test::Grab(window);
  // Fill white inside, the border 0x7B8084 (R 0x84, G 0x80, B 0x7B) on the box's outer pixels.
  EXPECT_EQ(At(shown, 5, 5), QColor(255, 255, 255));
  EXPECT_EQ(At(shown, 60, 15), QColor(255, 255, 255));
  const QColor border(0x84, 0x80, 0x7B);
  EXPECT_EQ(At(shown, 0, 0), border);
  EXPECT_EQ(At(shown, 119, 29), border);
  EXPECT_EQ(At(shown, 60, 0), border);
  EXPECT_EQ(At(shown, 0, 15), border);
  EXPECT_EQ(At(shown, 1, 1), QColor(255, 255, 255));
  EXPECT_EQ(Count(shown, QColor(0, 0, 0)), 0);  // an empty box shows no text

  // Its own text, in the text colour (green), over the skin.
  edit->setText(QStringLiteral("MMMMM"));
  box.SetTextColor(0x00FF00);
  shown = test::Grab(window);
  EXPECT_GT(Count(shown, QColor(0, 255, 0)), 20);
  EXPECT_EQ(Count(shown, QColor(0, 0, 0), 60), 0);

  // No fill and no border: what lies behind the box shows through.
  edit->clear();
  box.SetBackColor(-1);
  box.SetBorderColor(-1);
  shown = test::Grab(window);
  EXPECT_EQ(At(shown, 0, 0), kBehind);
  EXPECT_EQ(At(shown, 60, 15), kBehind);
}

TEST_F(StandaloneTextBox, AnImageSmallerThanTheBoxShowsTheFillAroundIt) {
  box.Bind(edit);
  box.SetBackColor(0x00FFFF);  // yellow
  box.SetBorderColor(-1);
  box.SetBackImageData(test::SolidPng(50, 10, QColor(255, 0, 255)));
  ASSERT_TRUE(test::ShowAndWait(window));
  const QImage shown = test::Grab(window);
  EXPECT_EQ(At(shown, 0, 0), QColor(255, 0, 255));
  EXPECT_EQ(At(shown, 49, 9), QColor(255, 0, 255));
  EXPECT_EQ(At(shown, 50, 5), QColor(255, 255, 0));   // right of the image
  EXPECT_EQ(At(shown, 10, 10), QColor(255, 255, 0));  // below it
  EXPECT_EQ(At(shown, 119, 29), QColor(255, 255, 0));
}

TEST_F(StandaloneTextBox, TypingRepaintsOverTheSkinWithoutTraces) {
  box.Bind(edit);
  box.SetTextColor(0x0000FF);  // red
  ASSERT_TRUE(test::ShowAndWait(window));
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  edit->setFocus();
  QTest::keyClicks(edit, QStringLiteral("WWWW"));
  EXPECT_EQ(edit->text(), QStringLiteral("WWWW"));
  EXPECT_GT(Count(test::Grab(window), QColor(255, 0, 0)), 20);
  for (int i = 0; i < 4; ++i) QTest::keyClick(edit, Qt::Key_Backspace);
  edit->clearFocus();  // no cursor line either
  const QImage shown = test::Grab(window);
  EXPECT_EQ(Count(shown, QColor(255, 0, 0)), 0);
  EXPECT_EQ(Count(shown, QColor(255, 255, 255), 0), (edit->width() - 4) * (edit->height() - 4));
}
