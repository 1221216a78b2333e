#include "skin/animated_image.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "skin/image.h"
#include "skin/internal.h"
#include "skin/props.h"
#include "skin/runtime.h"
#include "skin/testing.h"
#include "ui/props.h"

namespace sonaro::skin {

namespace internal {

// The frame thread of one animation window ("Zuder_Thread" holds its address).
struct FrameThread {
  std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;
  bool shown = true;  // the thread sleeps while its window is hidden
  std::thread thread;
};

void StopFrameThread(quintptr address) {
  auto* frames = reinterpret_cast<FrameThread*>(address);
  {
    std::lock_guard lock(frames->mutex);
    frames->stop = true;
  }
  frames->wake.notify_all();
  if (frames->thread.joinable()) frames->thread.join();
  delete frames;
}

}  // namespace internal

namespace {

using internal::FrameThread;

// Delay of a frame in milliseconds: hundredths of a second, 0 or missing counting as 7.
int DelayMs(const std::vector<int>& delays, size_t index) {
  const int hundredths = index < delays.size() && delays[index] != 0 ? delays[index] : 7;
  return std::max(0, hundredths * 10);
}

// The frame thread: cycles through the frames, asking the GUI thread to draw each one and then
// sleeping its delay, until the window's destruction stops it. It touches no widget.
void RunFrames(FrameThread* self, QPointer<QWidget> window, int count, std::vector<int> delays) {
  std::unique_lock lock(self->mutex);
  while (!self->stop) {  // the window is live at the start of each cycle
    for (int i = 0; i < count; ++i) {
      self->wake.wait(lock, [self] { return self->stop || self->shown; });
      if (self->stop) return;
      QMetaObject::invokeMethod(
          QCoreApplication::instance(),
          [window, i] {
            if (window) DrawAnimationFrame(window.data(), i);
          },
          Qt::QueuedConnection);
      const auto delay = std::chrono::milliseconds(DelayMs(delays, size_t(i)));
      if (self->wake.wait_for(lock, delay, [self] { return self->stop; })) return;
    }
  }
}

// Tells the frame thread whether its window is shown: a hidden animation costs no wake-ups. The
// thread is found through the window's property, which goes with the thread, so a Hide that the
// window's destruction sends later reaches nothing.
class FramesWhileShown final : public QObject {
 public:
  explicit FramesWhileShown(QWidget* window) : QObject(window), window_(window) {
    window->installEventFilter(this);
    Set(window->isVisible());
  }

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show) Set(true);
    if (event->type() == QEvent::Hide) Set(false);
    return false;
  }

 private:
  void Set(bool shown) {
    auto* frames = ui::GetPropPtr<FrameThread>(window_, prop::kZuderThread);
    if (!frames) return;
    {
      std::lock_guard lock(frames->mutex);
      frames->shown = shown;
    }
    frames->wake.notify_all();
  }

  QWidget* window_;
};

// Windows still alive when the application goes are destroyed with it, so no frame thread
// outlives the event loop it posts to.
std::vector<QPointer<QWidget>>& LiveAnimationWindows() {
  static std::vector<QPointer<QWidget>> windows;
  return windows;
}

void DestroyRemainingAnimationWindows() {
  std::vector<QPointer<QWidget>> windows;
  windows.swap(LiveAnimationWindows());
  for (QPointer<QWidget>& window : windows) delete window.data();
}

void Remember(QWidget* window) {
  static const bool registered = (qAddPostRoutine(&DestroyRemainingAnimationWindows), true);
  (void)registered;
  auto& windows = LiveAnimationWindows();
  std::erase_if(windows, [](const QPointer<QWidget>& w) { return w.isNull(); });
  windows.push_back(window);
}

}  // namespace

void DrawAnimationFrame(QWidget* window, int index) {
  if (!IsLiveWindow(window)) return;
  Image* image = ui::GetPropPtr<Image>(window, prop::kZuderImage);
  if (!image) return;
  image->SelectFrame(index);
  const QSize size = window->frameGeometry().size();
  QImage frame = image->Frame();
  if (frame.size() != size && !size.isEmpty()) {
    frame = frame.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  if (internal::LayerSurface* surface = internal::LayerSurface::Of(window)) {
    surface->Present(frame, std::nullopt);
  }
  if (testing::FrameObserver observer = testing::GetFrameObserver()) observer(window, index);
}

bool AnimatedImageWindow::Create(std::optional<QByteArray> imageData, QWidget* owner,
                                 std::optional<int> centreMode) {
  // 1.-2.
  if (IsLiveWindow(handle_.data())) return false;
  if (!imageData || imageData->isEmpty()) return false;
  // 3. A fixed block with a copy of the bytes, and the picture decoded from it.
  auto* block = new QByteArray(*imageData);
  Image* image = Image::Decode(*block, true);
  if (!image) {
    delete block;
    return false;
  }
  // 4.
  const QSize size = image->Size();
  const int frameCount = image->FrameCount();
  // 5. Layered, topmost without an owner, at (100, 100) in the picture's size.
  QWidget* window = CreateSkinClassWindow(owner, owner == nullptr);
  if (!window) {
    DisposeImage(image);
    delete block;
    return false;
  }
  window->setWindowTitle(QLatin1String(kSkinWindowClass));
  internal::LayerSurface::Install(window);
  window->move(100, 100);
  window->resize(size);
  Remember(window);
  // 6.
  handle_ = window;
  Centre(centreMode.value_or(0));
  // 7.
  ui::SetPropPtr(window, prop::kZuderStream, block);
  ui::SetPropPtr(window, prop::kZuderImage, image);
  ui::SetProp(window, prop::kZuderFrameCount, frameCount);
  // 8.
  DrawAnimationFrame(window, 0);
  window->show();
  // 9.
  if (frameCount > 1) {
    auto* frames = new FrameThread;
    frames->thread = std::thread(&RunFrames, frames, QPointer<QWidget>(window), frameCount,
                                 image->FrameDelays());
    ui::SetPropPtr(window, prop::kZuderThread, frames);
    new FramesWhileShown(window);
  }
  return true;
}

void AnimatedImageWindow::Close() {
  QPointer<QWidget> window = handle_;
  if (!window) return;
  window->close();       // WM_CLOSE through the procedure chain
  delete window.data();  // its default processing destroys the window
}

int AnimatedImageWindow::GetWidth() const { return handle_ ? handle_->frameGeometry().width() : 0; }

int AnimatedImageWindow::GetHeight() const {
  return handle_ ? handle_->frameGeometry().height() : 0;
}

QWidget* AnimatedImageWindow::GetHandle() const { return handle_.data(); }

bool AnimatedImageWindow::IsValid() const { return IsLiveWindow(handle_.data()); }

void AnimatedImageWindow::Move(std::optional<int> x, std::optional<int> y, std::optional<int> width,
                               std::optional<int> height, std::optional<bool> noRedraw) {
  MoveWindow(handle_.data(), x, y, width, height, noRedraw);
}

void AnimatedImageWindow::Centre(int mode) {
  QWidget* window = handle_.data();
  if (!IsLiveWindow(window)) return;
  const QSize size = window->frameGeometry().size();
  QRect area;
  QScreen* screen = QGuiApplication::primaryScreen();
  switch (mode) {
    case 0:
      if (!screen) return;
      area = QRect(QPoint(0, 0), screen->geometry().size());
      break;
    case 1:
      if (!screen) return;
      area = screen->availableGeometry();
      break;
    case 2: {
      QWidget* owner = window->parentWidget();
      if (!owner) return;
      area = owner->frameGeometry();
      break;
    }
    default:
      return;
  }
  window->move(area.left() + (area.width() - size.width()) / 2,
               area.top() + (area.height() - size.height()) / 2);
}

void AnimatedImageWindow::GetSize(int& width, int& height) const {
  width = GetWidth();
  height = GetHeight();
}

bool AnimatedImageWindow::Draggable(std::optional<bool> enable) {
  QWidget* window = handle_.data();
  if (enable) ui::SetProp(window, prop::kHitMove, *enable ? 1 : 0);
  return ui::GetPropInt(window, prop::kHitMove) == 1;
}

}  // namespace sonaro::skin
