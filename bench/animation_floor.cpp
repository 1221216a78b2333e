// The Main window's animation shown by itself, three ways, so that bench/animation_floor.sh can
// tell what showing it costs at all from what the program adds:
//   skin  the program's own path: the skin's animation window, its frame thread asking the GUI
//         thread for each frame, the layer surface sending only what changed;
//   qt    a bare translucent Qt window of the same size, a GUI-thread timer with the picture's
//         delays, each frame painted whole;
//   xcb   no toolkit: a 32-bit window and one PutImage per frame, the same delays.
// Runs until killed.
#include <xcb/xcb.h>

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "assets/assets.h"
#include "skin/skin.h"

namespace {

struct Frame {
  QImage image;  // premultiplied ARGB, as a 32-bit window takes it
  int delayMs = 70;
};

// Prints the frame rate the picture's delays give (for the script's per-frame figures).
std::vector<Frame> Frames() {
  QByteArray bytes = sonaro::assets::Bytes(QStringLiteral("animation.gif"));
  QBuffer buffer(&bytes);
  QImageReader reader(&buffer);
  std::vector<Frame> frames;
  for (QImage image; reader.read(&image);) {
    const int delay = reader.nextImageDelay();
    frames.push_back(
        {image.convertToFormat(QImage::Format_ARGB32_Premultiplied), delay > 0 ? delay : 70});
  }
  int cycle = 0;
  for (const Frame& frame : frames) cycle += frame.delayMs;
  if (cycle > 0) std::printf("frames per second: %.2f\n", 1000.0 * double(frames.size()) / cycle);
  std::fflush(stdout);
  return frames;
}

class BareWindow final : public QWidget {
 public:
  explicit BareWindow(std::vector<Frame> frames)
      : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), frames_(std::move(frames)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(frames_.front().image.size());
    move(100, 100);
    Next();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, frames_[index_].image);
  }

 private:
  void Next() {
    update();
    QTimer::singleShot(frames_[index_].delayMs, Qt::PreciseTimer, this, [this] {
      index_ = (index_ + 1) % frames_.size();
      Next();
    });
  }

  std::vector<Frame> frames_;
  size_t index_ = 0;
};

int RunXcb(const std::vector<Frame>& frames) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) return 1;
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  xcb_visualid_t visual = 0;
  for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem && !visual;
       xcb_depth_next(&depths)) {
    if (depths.data->depth != 32) continue;
    for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
         xcb_visualtype_next(&visuals)) {
      if (visuals.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
        visual = visuals.data->visual_id;
        break;
      }
    }
  }
  if (!visual) return 1;
  const xcb_colormap_t colormap = xcb_generate_id(connection);
  xcb_create_colormap(connection, XCB_COLORMAP_ALLOC_NONE, colormap, screen->root, visual);
  const xcb_window_t window = xcb_generate_id(connection);
  const QSize size = frames.front().image.size();
  const uint32_t values[] = {0, 0, 1, colormap};  // back pixel, border pixel, override, colormap
  xcb_create_window(
      connection, 32, window, screen->root, 100, 100, uint16_t(size.width()),
      uint16_t(size.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, visual,
      XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_COLORMAP, values);
  xcb_map_window(connection, window);
  const xcb_gcontext_t gc = xcb_generate_id(connection);
  xcb_create_gc(connection, gc, window, 0, nullptr);
  for (size_t i = 0;; i = (i + 1) % frames.size()) {
    const QImage& image = frames[i].image;
    xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc, uint16_t(image.width()),
                  uint16_t(image.height()), 0, 0, 0, 32, uint32_t(image.sizeInBytes()),
                  image.constBits());
    xcb_flush(connection);
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) std::free(event);
    if (xcb_connection_has_error(connection)) return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(frames[i].delayMs));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (std::strcmp(mode, "xcb") == 0) {
    QCoreApplication app(argc, argv);  // the picture's decoder, no connection of Qt's own
    const std::vector<Frame> frames = Frames();
    return frames.size() < 2 ? 1 : RunXcb(frames);
  }
  QApplication app(argc, argv);
  std::vector<Frame> frames = Frames();
  if (frames.size() < 2) {
    std::fprintf(stderr, "the animation has no frames\n");
    return 1;
  }
  if (std::strcmp(mode, "qt") == 0) {
    BareWindow window(std::move(frames));
    window.show();
    return app.exec();
  }
  if (std::strcmp(mode, "skin") == 0) {
    sonaro::skin::InitialiseSkinRuntime();
    sonaro::skin::AnimatedImageWindow animation;
    if (!animation.Create(sonaro::assets::Bytes(QStringLiteral("animation.gif")))) return 1;
    return app.exec();
  }
  std::fprintf(stderr, "usage: sonaro_animation_floor skin|qt|xcb\n");
  return 2;
}
