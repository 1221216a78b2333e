// The skin toolkit: composing and presenting a 400 x 300 layer with seven skinned controls (the
// Main window's five image buttons and two text boxes), against a plain 400 x 300 QImage fill plus
// one drawImage of the background in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <cstdlib>
#include <memory>

#include "assets/assets.h"
#include "bench/ratios.h"
#include "skin/skin.h"
#include "ui/winproc.h"

namespace sonaro::bench {
namespace {

// The widgets need an application; the benchmarks make one on first use (offscreen platform).
void EnsureApplication() {
  if (QApplication::instance()) return;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "sonaro_skin_bench";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // lives until the process ends
}

// A window skinned like the Main window (its skinning steps), shown.
struct SkinnedWindow {
  SkinnedWindow() {
    EnsureApplication();
    skin::InitialiseSkinRuntime();
    window = std::make_unique<ui::Hooked<QWidget>>(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window->setGeometry(50, 50, 400, 300);
    mainSkin.Attach(window.get());
    mainSkin.SetBackImageData(assets::Bytes("main_skin.png"));
    auto box = [this](QRect rect, skin::SkinTextBox& skin, const char* picture, const QString& text,
                      skin::Colour border, skin::Colour colour) {
      auto* edit = new ui::Hooked<QLineEdit>(window.get());
      edit->setGeometry(rect);
      QFont font;
      font.setFamilies({QStringLiteral("Noto Sans CJK SC")});
      font.setPixelSize(rect.height() > 24 ? 16 : 12);
      edit->setFont(font);
      edit->setText(text);
      skin.Bind(edit);
      skin.SetBackImageData(assets::Bytes(picture));
      skin.SetBorderColor(border);
      skin.SetTextColor(colour);
    };
    box({303, 179, 67, 20}, statusBox, "status_box.png", QStringLiteral("播放中"), 0xCF7C20,
        0x00FF00);
    box({234, 137, 136, 32}, stationBox, "station_box.png", QStringLiteral("中国之声"), 0xC26E1C,
        0xFFFFFF);
    const struct {
      QRect rect;
      const char* normal;
      const char* over;
    } buttons[] = {{{344, 24, 28, 18}, "close_normal.png", "close_hover.png"},
                   {{306, 24, 19, 18}, "minimise_normal.png", "minimise_hover.png"},
                   {{325, 24, 19, 18}, "maximise_normal.png", "maximise_hover.png"},
                   {{279, 211, 91, 41}, "stations_normal.png", "stations_hover.png"},
                   {{269, 235, 91, 41}, "request_normal.png", "request_hover.png"}};
    for (int i = 0; i < 5; ++i) {
      auto* button = new ui::Hooked<QPushButton>(window.get());
      button->setGeometry(buttons[i].rect);
      buttonSkins[i].Bind(button);
      buttonSkins[i].SetImageData(assets::Bytes(buttons[i].normal), assets::Bytes(buttons[i].over));
    }
    mainSkin.AdoptControls();
    window->show();
    QCoreApplication::processEvents();
  }

  std::unique_ptr<QWidget> window;
  skin::SkinWindow mainSkin;
  skin::SkinTextBox statusBox, stationBox;
  skin::SkinButton buttonSkins[5];
};

SkinnedWindow& Window() {
  static SkinnedWindow window;
  return window;
}

void BM_SkinLayer_Reference(benchmark::State& state) {
  EnsureApplication();
  const QImage background = QImage::fromData(assets::Bytes("main_skin.png"))
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.drawImage(0, 0, background);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_SkinLayer_Reference)->Unit(benchmark::kMicrosecond);

// What every look change of a control costs: compose the whole layer, present it (the frame handed
// to the window's per-pixel-alpha surface, an update requested) and the window painting the
// presented picture through its real paint path (the window and its seven children) into an
// ARGB32 premultiplied surface of its size, as a compositing X server's backing store is.
void BM_SkinLayer_ComposeAndPresent(benchmark::State& state) {
  QWidget* window = Window().window.get();
  QImage surface(window->size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    skin::ComposeLayer(window);
    window->render(&surface, QPoint(), QRegion(), QWidget::DrawChildren);
    benchmark::DoNotOptimize(surface.constBits());
  }
}
BENCHMARK(BM_SkinLayer_ComposeAndPresent)->Unit(benchmark::kMicrosecond);

// For information: the platform's own repaint and flush of the window (on the offscreen
// platform a conversion into its RGB32 store; under X11 the transfer to the server). Not the
// toolkit's work, and the same for any way of painting the window.
void BM_SkinLayer_PlatformRepaint(benchmark::State& state) {
  QWidget* window = Window().window.get();
  for (auto _ : state) window->repaint();
}
BENCHMARK(BM_SkinLayer_PlatformRepaint)->Unit(benchmark::kMicrosecond);

// Composition alone (background, five buttons, two boxes with their text).
void BM_SkinLayer_ComposeOnly(benchmark::State& state) {
  QWidget* window = Window().window.get();
  for (auto _ : state) {
    QImage layer = skin::ComposeLayerImage(window);
    benchmark::DoNotOptimize(layer.constBits());
  }
}
BENCHMARK(BM_SkinLayer_ComposeOnly)->Unit(benchmark::kMicrosecond);

// A caret blink: the kept frame presented again with the caret line, no recomposition, painted
// as above.
void BM_SkinLayer_Blink(benchmark::State& state) {
  QWidget* window = Window().window.get();
  const QImage frame = skin::ComposeLayerImage(window);
  QImage surface(window->size(), QImage::Format_ARGB32_Premultiplied);
  bool phase = false;
  for (auto _ : state) {
    phase = !phase;
    skin::PresentLayer(window, frame, phase);
    window->render(&surface, QPoint(), QRegion(), QWidget::DrawChildren);
    benchmark::DoNotOptimize(surface.constBits());
  }
}
BENCHMARK(BM_SkinLayer_Blink)->Unit(benchmark::kMicrosecond);

const bool kRatios = AddRatio({"BM_SkinLayer_ComposeAndPresent", "BM_SkinLayer_Reference", 3.0}) &&
                     AddRatio({"BM_SkinLayer_ComposeOnly", "BM_SkinLayer_Reference", 0}) &&
                     AddRatio({"BM_SkinLayer_Blink", "BM_SkinLayer_Reference", 0}) &&
                     AddRatio({"BM_SkinLayer_PlatformRepaint", "BM_SkinLayer_Reference", 0});

}  // namespace
}  // namespace sonaro::bench
