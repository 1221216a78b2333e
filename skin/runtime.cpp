#include "skin/runtime.h"

#include <QMouseEvent>
#include <QWindow>

#include "skin/image.h"
#include "skin/internal.h"
#include "skin/props.h"
#include "skin/testing.h"
#include "ui/props.h"
#include "ui/window_system.h"

namespace sonaro::skin {

namespace {

// The process-wide state of this Part: the time frame dimension and the registered class.
QUuid g_timeFrameDimension;
bool g_classRegistered = false;

constexpr const char* kTimeFrameDimensionText = "{6AEDBD6D-3FB5-418A-83A6-7F45229DC872}";

}  // namespace

namespace testing {

Counters& Count() {
  static Counters counters;
  return counters;
}

namespace {
FrameObserver g_frameObserver = nullptr;
}  // namespace

void SetFrameObserver(FrameObserver observer) { g_frameObserver = observer; }
FrameObserver GetFrameObserver() { return g_frameObserver; }

std::vector<std::string>& CleanupTrace() {
  static std::vector<std::string> trace;
  return trace;
}

}  // namespace testing

void InitialiseSkinRuntime() {
  // 1. The image library: Qt decodes pictures itself; nothing to start.
  // 2. The time frame dimension.
  g_timeFrameDimension = QUuid::fromString(QLatin1String(kTimeFrameDimensionText));
  // 3. The skin window class (a second registration fails and changes nothing).
  g_classRegistered = true;
}

QUuid TimeFrameDimension() { return g_timeFrameDimension; }

bool SkinWindowClassRegistered() { return g_classRegistered; }

bool ZuderWindowProc(QWidget* window, QEvent* event) {
  if (event->type() == ui::DestroyEventType()) {
    // The frame thread must have ended before the image and the memory go.
    if (const quintptr thread = quintptr(ui::GetPropInt(window, prop::kZuderThread))) {
      internal::StopFrameThread(thread);
      ui::RemoveProp(window, prop::kZuderThread);
      testing::CleanupTrace().push_back("thread");
    }
    if (Image* image = ui::GetPropPtr<Image>(window, prop::kZuderImage)) {
      DisposeImage(image);
      ui::RemoveProp(window, prop::kZuderImage);
      testing::CleanupTrace().push_back("image");
    }
    if (auto* stream = ui::GetPropPtr<QByteArray>(window, prop::kZuderStream)) {
      delete stream;
      ui::RemoveProp(window, prop::kZuderStream);
      testing::CleanupTrace().push_back("stream");
    }
    return ui::DefaultProc(window, event);
  }

  ui::HookBase* hook = ui::Hook(window);
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const bool result = ui::DefaultProc(window, event);
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton && ui::GetPropInt(window, prop::kHitMove) == 1) {
        // Release the capture and let the system drag the window as by its caption.
        if (QWidget* grabber = QWidget::mouseGrabber(); grabber == window) window->releaseMouse();
        QWindow* handle = window->windowHandle();
        if (!(handle && handle->startSystemMove()) && hook) {
          // No window manager to do it: follow the pointer ourselves.
          hook->dragging = true;
          hook->dragOffset = mouse->globalPosition().toPoint() - window->frameGeometry().topLeft();
        }
      }
      return result;
    }
    case QEvent::MouseMove: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (hook && hook->dragging && (mouse->buttons() & Qt::LeftButton)) {
        window->move(mouse->globalPosition().toPoint() - hook->dragOffset);
      }
      return ui::DefaultProc(window, event);
    }
    case QEvent::MouseButtonRelease:
      if (hook && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        hook->dragging = false;
      }
      return ui::DefaultProc(window, event);
    default:
      return ui::DefaultProc(window, event);
  }
}

QWidget* CreateSkinClassWindow(QWidget* owner, bool topmost) {
  if (!g_classRegistered) return nullptr;
  Qt::WindowFlags flags = (owner ? Qt::Tool : Qt::Window) | Qt::FramelessWindowHint;
  if (topmost) flags |= Qt::WindowStaysOnTopHint;
  auto* window = new ui::Hooked<QWidget>(owner, flags);
  window->setObjectName(QLatin1String(kSkinWindowClass));
  window->setCursor(Qt::ArrowCursor);
  ui::SetWindowProc(window, &ZuderWindowProc);
  return window;
}

bool IsLiveWindow(const QWidget* window) { return window && !ui::IsBeingDestroyed(window); }

void MoveWindow(QWidget* window, std::optional<int> x, std::optional<int> y,
                std::optional<int> width, std::optional<int> height, std::optional<bool>) {
  if (!IsLiveWindow(window)) return;
  // The window rectangle: on the screen for a window, in the parent's client area for a control.
  const QRect current = window->isWindow() ? window->frameGeometry() : window->geometry();
  const bool noMove = !x && !y;
  const bool noSize = !width && !height;
  if (!noMove) window->move(x.value_or(current.x()), y.value_or(current.y()));
  if (!noSize) window->resize(width.value_or(current.width()), height.value_or(current.height()));
  window->raise();  // HWND_TOP: a move also brings the window to the top of its Z order
}

bool ForwardToKept(const char* property, QWidget* widget, QEvent* event) {
  return ui::CallWindowProc(ui::ValueToProc(quintptr(ui::GetPropInt(widget, property))), widget,
                            event);
}

bool HookAndKeep(QWidget* widget, ui::WndProc proc, const char* property) {
  if (!ui::Hook(widget)) return false;
  const ui::WndProc previous = ui::SetWindowProc(widget, proc);
  ui::SetProp(widget, property, QVariant::fromValue(quint64(ui::ProcToValue(previous))));
  return true;
}

}  // namespace sonaro::skin
