// BrowserHost's creation and the program-wide state behind it: the control registry, the
// notification router and the right-click filter. The calls on a created window are elsewhere.
#include "browser/browser_host.h"

#include <QApplication>
#include <QChildEvent>
#include <QContextMenuEvent>
#include <QEvent>
#include <QMouseEvent>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "browser/browser_control.h"
#include "core/gbk.h"
#include "ui/winproc.h"

namespace sonaro::browser {

namespace {

// Window styles of a created window, kept on it as "Style" the way the window system would.
constexpr uint32_t kBaseStyle = 0x40331000;  // child, scroll bars, group, tab stop, 0x1000
constexpr uint32_t kVisibleStyle = 0x10000000;
constexpr uint32_t kDisabledStyle = 0x08000000;

// The hosting window: its text is the address it shows.
class HostWindow : public QWidget {
 public:
  HostWindow(QWidget* parent, const core::Text& address) : QWidget(parent) {
    setWindowTitle(core::FromGbk(address));
    const QUrl url = QUrl::fromUserInput(core::FromGbk(address));
    NewViewWhenStarted(this, true, [this, url](QWidget* view) {
      view_ = view;
      view_->setGeometry(rect());
      view_->show();
      Navigate(view_, url.isValid() ? url : QUrl(QStringLiteral("about:blank")));
    });
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    if (view_) view_->setGeometry(rect());
    QWidget::resizeEvent(event);
  }

 private:
  QWidget* view_ = nullptr;
};

struct ControlRecord {
  int identifier = 0;
  QPointer<QWidget> window;
  ControlHandler onContextMenu = nullptr;
  ControlHandler onMouse = nullptr;
  ControlHandler onNotify = nullptr;
};

// Parents that cannot take a window procedure get the router as an event filter.
class RouterFilter : public QObject {
 public:
  explicit RouterFilter(QObject* parent) : QObject(parent) {}
  bool eventFilter(QObject* watched, QEvent* event) override;
};

struct RoutedParent {
  QPointer<QWidget> window;
  ui::WndProc previous = nullptr;
  QPointer<RouterFilter> filter;  // set instead of a procedure for parents that are not hooked
};

// Swallows the right button on the rendering widget it is put on.
class RightClickFilter : public QObject {
 public:
  explicit RightClickFilter(QObject* parent) : QObject(parent) {}
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
        return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
      case QEvent::ContextMenu:  // Qt makes one of the swallowed press
        return static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Mouse;
      default:
        return false;
    }
  }
};

struct HostState {
  std::vector<ControlRecord> registry;
  std::vector<RoutedParent> routed;
  // Filter: the browser window whose rendering widget is to be filtered, the one-shot timer,
  // and the widget the filter went on.
  QPointer<QWidget> filterTarget;
  QTimer filterTimer;
  QPointer<QWidget> filtered;
};

std::unique_ptr<HostState> g_state;

HostState& State() {
  if (!g_state) ConstructHostState();
  return *g_state;
}

RoutedParent* FindRouted(const QWidget* window) {
  if (!g_state) return nullptr;
  for (RoutedParent& routed : g_state->routed) {
    if (routed.window == window) return &routed;
  }
  return nullptr;
}

bool Contains(const QWidget* control, const QPoint& position) {
  return control->geometry().contains(position);
}

// Hands a notification concerning a registered control to that control's handler. The event
// itself is not changed; the caller passes it on whatever a handler did.
void Offer(QWidget* parent, QEvent* event) {
  if (!g_state) return;
  for (const ControlRecord& record : g_state->registry) {
    QWidget* control = record.window;
    if (!control || control->parentWidget() != parent) continue;
    switch (event->type()) {
      case QEvent::ContextMenu:
        if (record.onContextMenu &&
            Contains(control, static_cast<QContextMenuEvent*>(event)->pos()))
          record.onContextMenu(record.identifier, event);
        break;
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
        if (record.onMouse &&
            Contains(control, static_cast<QMouseEvent*>(event)->position().toPoint()))
          record.onMouse(record.identifier, event);
        break;
      case QEvent::ChildAdded:
      case QEvent::ChildPolished:
      case QEvent::ChildRemoved:
        if (record.onNotify && static_cast<QChildEvent*>(event)->child() == control)
          record.onNotify(record.identifier, event);
        break;
      default:
        break;
    }
  }
}

// The notification router, as a window procedure.
bool RouterProc(QWidget* widget, QEvent* event) {
  Offer(widget, event);
  if (RoutedParent* routed = FindRouted(widget)) {
    return ui::CallWindowProc(routed->previous, widget, event);
  }
  return ui::DefaultProc(widget, event);
}

bool RouterFilter::eventFilter(QObject* watched, QEvent* event) {
  if (auto* widget = qobject_cast<QWidget*>(watched)) Offer(widget, event);
  return false;
}

void Unroute(RoutedParent& routed) {
  if (routed.filter) {
    delete routed.filter.data();
  } else if (routed.window) {
    ui::SetWindowProc(routed.window, routed.previous);
  }
}

// Puts the router on parent once; a router on one of its ancestors is taken off again.
void InstallRouter(QWidget* parent) {
  HostState& state = State();
  std::erase_if(state.routed, [](const RoutedParent& routed) { return !routed.window; });
  for (QWidget* ancestor = parent->parentWidget(); ancestor && ancestor->parentWidget();
       ancestor = ancestor->parentWidget()) {
    for (auto it = state.routed.begin(); it != state.routed.end(); ++it) {
      if (it->window == ancestor) {
        Unroute(*it);
        state.routed.erase(it);
        break;
      }
    }
  }
  if (FindRouted(parent)) return;
  RoutedParent routed;
  routed.window = parent;
  if (ui::Hook(parent)) {
    routed.previous = ui::SetWindowProc(parent, &RouterProc);
  } else {
    routed.filter = new RouterFilter(parent);
    parent->installEventFilter(routed.filter);
  }
  state.routed.push_back(routed);
}

void OnFilterTimer() {
  HostState& state = State();
  QWidget* rendering = FindRenderingWindow(state.filterTarget);
  state.filtered = rendering;
  if (!rendering) return;
  rendering->installEventFilter(new RightClickFilter(rendering));
  // The rendering widget's parent is its view.
  rendering->parentWidget()->setContextMenuPolicy(Qt::NoContextMenu);
}

}  // namespace

void ConstructHostState() {
  if (g_state) return;
  g_state = std::make_unique<HostState>();
  g_state->filterTimer.setSingleShot(true);
  g_state->filterTimer.setInterval(100);
  QObject::connect(&g_state->filterTimer, &QTimer::timeout, &OnFilterTimer);
}

void DestroyHostState() {
  if (!g_state) return;
  g_state->filterTimer.stop();
  // Parents that outlive the state get their own procedures back.
  for (RoutedParent& routed : g_state->routed) Unroute(routed);
  g_state.reset();
}

size_t ControlRegistrySize() { return g_state ? g_state->registry.size() : 0; }

QWidget* RegisteredWindow(int identifier) {
  if (!g_state || identifier < 1 || size_t(identifier) > g_state->registry.size()) return nullptr;
  return g_state->registry[size_t(identifier - 1)].window;
}

int RouterInstallCount(const QWidget* window) {
  if (!g_state) return 0;
  return int(std::count_if(g_state->routed.begin(), g_state->routed.end(),
                           [&](const RoutedParent& routed) { return routed.window == window; }));
}

void InstallRightClickFilter(QWidget* browserWindow) {
  HostState& state = State();
  state.filterTarget = browserWindow;
  state.filterTimer.start();  // restarts a running wait
}

QWidget* RightClickFilteredWindow() { return g_state ? g_state->filtered.data() : nullptr; }

// --- BrowserHost ----------------------------------------------------------------------------

BrowserHost::~BrowserHost() {
  handle_ = nullptr;
  width_ = height_ = left_ = top_ = identifier_ = 0;
}

void BrowserHost::RecordState(int left, int top, int width, int height, int visible, int disabled,
                              QWidget* handle, int identifier) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  visible_ = visible;
  disabled_ = disabled;
  handle_ = handle;
  window_ = handle;
  identifier_ = identifier;
}

bool BrowserHost::IsCreated() const { return !window_.isNull(); }

QWidget* BrowserHost::GetHandle() const { return handle_; }

void BrowserHost::Close() {
  // The window goes now, not later from the event loop: the old page's sound must end
  // before a new page starts.
  delete window_.data();
}

void BrowserHost::RecordHandler(int slot, ControlHandler handler) {
  if (!g_state || identifier_ < 1 || size_t(identifier_) > g_state->registry.size()) return;
  ControlRecord& record = g_state->registry[size_t(identifier_ - 1)];
  (slot == 29 ? record.onContextMenu : slot == 30 ? record.onMouse : record.onNotify) = handler;
}

void BrowserHost::SetContextMenuHandler(ControlHandler handler) { RecordHandler(29, handler); }
void BrowserHost::SetMouseHandler(ControlHandler handler) { RecordHandler(30, handler); }
void BrowserHost::SetNotifyHandler(ControlHandler handler) { RecordHandler(31, handler); }

QWidget* BrowserHost::Create(const std::optional<core::Text>& address, std::optional<int> left,
                             std::optional<int> top, std::optional<int> width,
                             std::optional<int> height, std::optional<bool> visible,
                             std::optional<bool> disabled, std::optional<QWidget*> parent) {
  HostState& state = State();
  // 1. Without a parent, the window the user works in.
  QWidget* owner = parent ? *parent : QApplication::activeWindow();
  // 2. The notification router on the parent.
  if (owner) InstallRouter(owner);
  // 3.-4. Defaults.
  const int x = left.value_or(10), y = top.value_or(10);
  const int w = width.value_or(250), h = height.value_or(200);
  const bool shown = visible.value_or(true), off = disabled.value_or(false);
  const core::Text shownAddress = address ? *address : core::Text(kDefaultHomePage);
  // 5.-6. The next identifier and the style.
  const int identifier = int(state.registry.size()) + 1;
  assignedIdentifier_ = identifier;
  const uint32_t style = kBaseStyle | (shown ? kVisibleStyle : 0) | (off ? kDisabledStyle : 0);
  // 7. The window: a child window needs a parent, and the control must be ready.
  QWidget* handle = nullptr;
  if (owner && BrowserControlReady()) {
    handle = new HostWindow(owner, shownAddress);
    handle->setProperty("Style", style);
    handle->setProperty("ControlId", identifier);
    handle->setFocusPolicy(Qt::TabFocus);
    handle->setGeometry(x, y, w, h);
    handle->setEnabled(!off);
    if (shown) handle->show();
  }
  // 8. Success: the fields, the creation geometry, the registry record.
  if (handle) {
    RecordState(x, y, w, h, shown ? 1 : 0, off ? 1 : 0, handle, identifier);
    creationLeft_ = x;
    creationTop_ = y;
    creationWidth_ = w;
    creationHeight_ = h;
    state.registry.resize(size_t(identifier));
    state.registry[size_t(identifier - 1)].identifier = identifier;
    state.registry[size_t(identifier - 1)].window = handle;
  }
  // 9.
  lastResult_ = handle;
  return handle;
}

QWidget* BrowserHost::Recreate(const core::Text& address) {
  Close();
  return CreateAgain(address);
}

QWidget* BrowserHost::CreateAgain(const core::Text& address) {
  return Create(address, creationLeft_, creationTop_, width_, height_);
}

}  // namespace sonaro::browser
