// A demonstration of the skin toolkit: a translucent window skinned like the Main window with
// all five kinds (SkinWindow, SkinControl, SkinTextBox, SkinButton, AnimatedImageWindow), shown
// over a desktop backdrop and written to $SONARO_BINARY_DIR/screenshots/skin-demo.png.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include "assets/assets.h"
#include "skin/skin.h"
#include "tests/skin/skin_test_support.h"
#include "ui/props.h"
#include "ui/winproc.h"

using namespace sonaro;
using namespace sonaro::skin;

namespace {

QString ScreenshotPath() {
  QString dir = qEnvironmentVariable("SONARO_BINARY_DIR");
  if (dir.isEmpty()) dir = QDir::currentPath();
  QDir().mkpath(dir + QStringLiteral("/screenshots"));
  return dir + QStringLiteral("/screenshots/skin-demo.png");
}

// A desktop to show the per-pixel alpha against: a diagonal gradient with a grid.
QImage Desktop(QSize size) {
  QImage desktop(size, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&desktop);
  QLinearGradient gradient(0, 0, size.width(), size.height());
  gradient.setColorAt(0, QColor(236, 196, 120));
  gradient.setColorAt(1, QColor(120, 170, 210));
  painter.fillRect(desktop.rect(), gradient);
  painter.setPen(QColor(255, 255, 255, 90));
  for (int x = 0; x < size.width(); x += 24) painter.drawLine(x, 0, x, size.height());
  for (int y = 0; y < size.height(); y += 24) painter.drawLine(0, y, size.width(), y);
  return desktop;
}

}  // namespace

TEST(SkinDemo, SkinsATranslucentWindowWithAllFiveKindsAndWritesAScreenshot) {
  InitialiseSkinRuntime();
  ASSERT_FALSE(assets::Bytes("main_skin.png").isEmpty());

  auto* window = new ui::Hooked<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint);
  window->setGeometry(60, 60, 400, 300);
  auto button = [window](QRect rect) {
    auto* b = new ui::Hooked<QPushButton>(window);
    b->setGeometry(rect);
    return b;
  };
  auto box = [window](QRect rect, int pixels, bool bold) {
    auto* e = new ui::Hooked<QLineEdit>(window);
    e->setGeometry(rect);
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(pixels);
    font.setBold(bold);
    e->setFont(font);
    e->setAlignment(Qt::AlignCenter);
    return e;
  };
  QPushButton* diange = button({269, 235, 91, 41});
  QPushButton* diantaidaohang = button({279, 211, 91, 41});
  QPushButton* zuixiao = button({306, 24, 19, 18});
  QPushButton* zuida = button({325, 24, 19, 18});
  QPushButton* close = button({344, 24, 28, 18});
  QLineEdit* station = box({234, 137, 136, 32}, 16, true);
  QLineEdit* status = box({303, 179, 67, 20}, 12, false);
  // A control the skin leaves alone: absent from the layered window.
  auto* plain = new ui::Hooked<QLabel>(QStringLiteral("unskinned"), window);
  plain->setGeometry(20, 20, 80, 20);

  // The Main window's skinning steps, in order.
  SkinWindow mainSkin;
  ASSERT_TRUE(mainSkin.Attach(window));
  ASSERT_TRUE(mainSkin.SetBackImageData(assets::Bytes("main_skin.png")));
  SkinTextBox statusBox, stationBox;
  statusBox.Bind(status);
  statusBox.SetBackImageData(assets::Bytes("status_box.png"));
  statusBox.SetBorderColor(0xCF7C20);  // RGB(32, 124, 207)
  statusBox.SetTextColor(0x00FF00);
  stationBox.Bind(station);
  stationBox.SetBackImageData(assets::Bytes("station_box.png"));
  stationBox.SetBorderColor(0xC26E1C);  // RGB(28, 110, 194)
  stationBox.SetTextColor(0xFFFFFF);
  SkinButton closeSkin, minimiseSkin, maximiseSkin, panelSkin, dedicationSkin;
  const struct {
    SkinButton* skin;
    QPushButton* control;
    const char* normal;
    const char* over;
  } buttons[] = {{&closeSkin, close, "close_normal.png", "close_hover.png"},
                 {&minimiseSkin, zuixiao, "minimise_normal.png", "minimise_hover.png"},
                 {&maximiseSkin, zuida, "maximise_normal.png", "maximise_hover.png"},
                 {&panelSkin, diantaidaohang, "stations_normal.png", "stations_hover.png"},
                 {&dedicationSkin, diange, "request_normal.png", "request_hover.png"}};
  for (const auto& b : buttons) {
    b.skin->Bind(b.control);
    b.skin->SetImageData(assets::Bytes(b.normal), assets::Bytes(b.over));
  }
  AnimatedImageWindow mainAnimation;
  ASSERT_TRUE(mainAnimation.Create(assets::Bytes("animation.gif"), window));
  mainAnimation.Move(window->x() + 18, window->y() + 175);
  mainSkin.AdoptControls();

  // The fifth kind, SkinControl itself, carries the close button's tooltip.
  SkinControl closeControl;
  ASSERT_TRUE(closeControl.Attach(close));
  closeControl.SetToolTip(core::GbkFromUtf8("关闭"), false);

  station->setText(QStringLiteral("中国之声"));
  status->setText(QStringLiteral("播放中"));
  ASSERT_TRUE(test::ShowAndWait(window));
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));

  // Hover the station list button and let the close button's tip come up.
  test::MoveTo(diantaidaohang, QPoint(40, 20));
  EXPECT_EQ(ui::GetPropInt(diantaidaohang, "Zuder_DrawState"), 1);
  test::MoveTo(close, QPoint(14, 9));
  ASSERT_TRUE(QTest::qWaitFor(
      [] { return SharedToolTipWindow() && SharedToolTipWindow()->isVisible(); }, 3000));
  // The hovered station button keeps its over look only while the pointer is on it; show it
  // hovered in the picture by composing with that state.
  ui::SetProp(diantaidaohang, "Zuder_DrawState", 1);
  ComposeLayer(window);
  QTest::qWait(250);  // a few animation frames

  // The screenshot: the desktop, the layered window as it is presented, the animation window
  // and the tooltip at their places.
  const QPoint origin(40, 30);
  QImage shot = Desktop(QSize(480, 400));
  {
    QPainter painter(&shot);
    const QImage layer = test::Grab(window);
    painter.drawImage(origin, layer);
    QWidget* animation = mainAnimation.GetHandle();
    painter.drawImage(origin + (animation->pos() - window->pos()), PresentedLayer(animation));
    QWidget* tip = SharedToolTipWindow();
    painter.drawPixmap(origin + (tip->pos() - window->pos()), tip->grab());
  }
  const QString path = ScreenshotPath();
  ASSERT_TRUE(shot.save(path, "PNG")) << path.toStdString();

  // The transparent margin of the skin shows the desktop; the unskinned label is absent.
  const QImage desktop = Desktop(QSize(480, 400));
  EXPECT_EQ(shot.pixel(origin + QPoint(1, 1)), desktop.pixel(origin + QPoint(1, 1)));
  const QImage layer = ComposeLayerImage(window);
  EXPECT_EQ(qAlpha(layer.pixel(1, 1)), 0);
  EXPECT_EQ(layer.pixel(30, 30), ComposeLayerImage(window).pixel(30, 30));
  EXPECT_TRUE(QFile::exists(path));

  mainAnimation.Close();
  delete window;
}
