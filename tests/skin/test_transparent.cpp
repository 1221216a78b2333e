// Recoloured standard controls and edit boxes that show their window's picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTest>

#include "skin/transparent.h"
#include "ui/props.h"
#include "ui/window_system.h"
#include "ui/winproc.h"

using namespace sonaro;

namespace {

constexpr uint32_t kWin = 0x52000201, kWinUnit = 0x06000201;
constexpr uint32_t kMemo = 0x16000201, kLine = 0x16000202, kPlain = 0x16000203;

const std::vector<ui::WindowSpec>& Catalogue() {
  static const std::vector<ui::WindowSpec> windows = {
      ui::WindowSpec{.windowId = kWin,
                     .unitId = kWinUnit,
                     .name = "card",
                     .rect = {50, 50, 200, 160},
                     .controls = {
                         {.unitId = kMemo,
                          .kind = ui::Kind::EditBox,
                          .name = "memo",
                          .rect = {20, 30, 120, 80},
                          .multiLine = true,
                          .borderStyle = 4},
                         {.unitId = kLine,
                          .kind = ui::Kind::EditBox,
                          .name = "line",
                          .rect = {20, 120, 100, 20},
                          .tabStop = true,
                          .borderStyle = 2},
                         {.unitId = kPlain,
                          .kind = ui::Kind::EditBox,
                          .name = "plain",
                          .rect = {130, 120, 60, 20},
                          .tabStop = true},
                     }}};
  return windows;
}

// A picture whose every pixel tells where it is: red = x, green = y.
QImage Gradient() {
  QImage image(200, 160, QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x, y, 128));
  }
  return image;
}

QByteArray Png(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

class Transparent : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallCatalogue(Catalogue());
    window_ = ui::LoadWindow(kWin);
    ASSERT_NE(window_.data(), nullptr);
    picture_ = Png(Gradient());
    ui::SetProperty(kWin, kWinUnit, ui::prop::kPicture, picture_);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
  }
  void TearDown() override { delete window_.data(); }
  QPointer<QWidget> window_;
  QByteArray picture_;
};

}  // namespace

TEST(TransparentBackground, InsetsAndThePictureCut) {
  const int expected[] = {0, 2, 3, 1, 5, 1, 0, 0};
  for (int code = 0; code < 8; ++code) EXPECT_EQ(skin::InsetForBorderStyle(code), expected[code]);
  EXPECT_EQ(skin::InsetForBorderStyle(-1), 0);

  const QImage cut = skin::BuildBackground(Png(Gradient()), 25, 35, 10, 10);
  ASSERT_EQ(cut.size(), QSize(10, 10));
  EXPECT_EQ(cut.pixel(0, 0), qRgb(25, 35, 128));
  EXPECT_EQ(cut.pixel(9, 9), qRgb(34, 44, 128));
  // Outside the picture and for a picture that does not decode: the button face.
  const QRgb face = QApplication::palette().color(QPalette::Button).rgb();
  EXPECT_EQ(skin::BuildBackground(Png(Gradient()), 195, 0, 10, 10).pixel(9, 0), face);
  EXPECT_EQ(skin::BuildBackground("not a picture", 0, 0, 4, 4).pixel(1, 1), face);
}

TEST_F(Transparent, ABoxShowsThePictureFromItsInsetPosition) {
  skin::MakeTransparent(kWin, kMemo, picture_, true);
  auto* memo = qobject_cast<QPlainTextEdit*>(ui::ControlWidget(kWin, kMemo));
  ASSERT_NE(memo, nullptr);
  // Border style 4: 5 pixels right of and below the catalogue position.
  const QImage brush = ui::GetProp(memo, "CustomBGBrush").value<QImage>();
  ASSERT_FALSE(brush.isNull());
  EXPECT_EQ(brush.pixel(0, 0), qRgb(25, 35, 128));
  EXPECT_TRUE(memo->isVisible());
  EXPECT_NE(ui::GetPropInt(memo, "OrigProcAddr"), 0);
  EXPECT_NE(ui::GetPropInt(window_, "OrigProcAddr"), 0);

  // What the user sees in an empty spot of the box is the window's picture there.
  const QImage shown = memo->viewport()->grab().toImage();
  const QPoint spot(shown.width() - 3, shown.height() - 3);
  const QPoint inWindow = memo->viewport()->mapTo(window_, spot);
  EXPECT_EQ(shown.pixel(spot), qRgb(inWindow.x(), inWindow.y(), 128));
}

TEST_F(Transparent, ReadOnlyBoxesRefuseTypingAndPastingButNotSelection) {
  auto* memo = qobject_cast<QPlainTextEdit*>(ui::ControlWidget(kWin, kMemo));
  auto* line = qobject_cast<QLineEdit*>(ui::ControlWidget(kWin, kLine));
  memo->setPlainText(QStringLiteral("祝你生日快乐"));
  skin::MakeTransparent(kWin, kMemo, picture_, true);
  skin::MakeTransparent(kWin, kLine, picture_);  // transparent, still writable
  EXPECT_TRUE(skin::IsReadOnlyTransparent(memo));
  EXPECT_FALSE(skin::IsReadOnlyTransparent(line));

  memo->setFocus();
  QTest::keyClicks(memo, QStringLiteral("abc"));
  QTest::keyClick(memo, Qt::Key_Backspace);
  QTest::keyClick(memo, Qt::Key_Return);
  QTest::keyClick(memo, Qt::Key_Delete);
  QApplication::clipboard()->setText(QStringLiteral("pasted"));
  QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
  QTest::keyClick(memo, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(memo->toPlainText(), QStringLiteral("祝你生日快乐"));
  QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(memo->textCursor().selectedText(), QStringLiteral("祝你生日快乐"));

  line->setFocus();
  QTest::keyClicks(line, QStringLiteral("ok"));
  EXPECT_EQ(line->text(), QStringLiteral("ok"));

  // Making it transparent again keeps it read-only.
  skin::MakeTransparent(kWin, kMemo, picture_, false);
  EXPECT_TRUE(skin::IsReadOnlyTransparent(memo));
}

TEST_F(Transparent, ThePictureDoesNotScrollWithTheText) {
  auto* memo = qobject_cast<QPlainTextEdit*>(ui::ControlWidget(kWin, kMemo));
  QStringList lines;
  for (int i = 0; i < 60; ++i) lines << QStringLiteral("第%1行").arg(i);
  memo->setPlainText(lines.join(QLatin1Char('\n')));
  skin::MakeTransparent(kWin, kMemo, picture_, true);
  memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum() / 2);
  QCoreApplication::processEvents();
  const QImage shown = memo->viewport()->grab().toImage();
  const QPoint spot(shown.width() - 2, 6);  // right edge: beyond every short line
  const QPoint inWindow = memo->viewport()->mapTo(window_, spot);
  EXPECT_EQ(shown.pixel(spot), qRgb(inWindow.x(), inWindow.y(), 128));
}

TEST_F(Transparent, DestroyingTheWindowEmptiesTheReadOnlyList) {
  skin::MakeTransparent(kWin, kMemo, picture_, true);
  // A second window answers to the ID from now on; its line box is read-only too.
  QPointer<QWidget> second = ui::LoadWindow(kWin);
  ASSERT_NE(second.data(), window_.data());
  skin::MakeTransparent(kWin, kLine, picture_, true);
  auto* secondLine = qobject_cast<QLineEdit*>(ui::ControlWidget(kWin, kLine));
  ASSERT_TRUE(skin::IsReadOnlyTransparent(secondLine));
  secondLine->setFocus();
  QTest::keyClicks(secondLine, QStringLiteral("no"));
  EXPECT_EQ(secondLine->text(), QString());

  // Destroying the first window empties the list for every window.
  delete window_.data();
  EXPECT_FALSE(skin::IsReadOnlyTransparent(secondLine));
  QTest::keyClicks(secondLine, QStringLiteral("yes"));
  EXPECT_EQ(secondLine->text(), QStringLiteral("yes"));
  delete second.data();
}

TEST(Recoloured, ClassesFillWithTheirColourFirst) {
  skin::RegisterRecolouredClasses();
  ASSERT_TRUE(skin::RecolouredClassesRegistered());
  EXPECT_NE(skin::ModuleHandle(), 0u);
  QWidget parent;
  parent.resize(100, 100);
  EXPECT_EQ(skin::CreateRecolouredControl("BUTTON", &parent), nullptr);
  QWidget* label = skin::CreateRecolouredControl("MySt", &parent);
  QWidget* button = skin::CreateRecolouredControl("mybut", &parent);
  ASSERT_NE(label, nullptr);
  ASSERT_NE(button, nullptr);
  label->resize(20, 20);
  const QRgb face = QApplication::palette().color(QPalette::Button).rgb();
  EXPECT_EQ(label->grab().toImage().pixel(10, 10), face);
  skin::SetRecolouredColour(label, ui::Rgb(200, 10, 20));
  EXPECT_EQ(label->grab().toImage().pixel(10, 10), qRgb(200, 10, 20));
  EXPECT_NE(ui::GetWindowProc(button), &ui::DefaultProc);
}
