#include "browser/browser_host.h"

#include <QApplication>
#include <QChildEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFont>
#include <QMouseEvent>
#include <QPalette>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/winsys/winproc.h"
#include "browser/browser_control.h"

namespace sonaro::browser {

namespace {

// Window styles of a created window, kept on it as "Style" the way the window system would.
constexpr uint32_t kBaseStyle = 0x40331000;  // child, scroll bars, group, tab stop, 0x1000
constexpr uint32_t kVisibleStyle = 0x10000000;
constexpr uint32_t kDisabledStyle = 0x08000000;
constexpr int kTextBuffer = 32000;  // ReadText's buffer, its last byte the terminator

// The hosting window: its text is the address it shows.
class HostWindow : public QWidget {
 public:
  HostWindow(QWidget* parent, const Text& address) : QWidget(parent) {
    setWindowTitle(FromGbk(address));
    const QUrl url = QUrl::fromUserInput(FromGbk(address));
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

bool BrowserHost::SendMessage(QEvent* event) {
  return window_ && event && QCoreApplication::sendEvent(window_, event);
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

void BrowserHost::Apply() {
  if (!window_) return;
  window_->setGeometry(left_, top_, width_, height_);
  window_->repaint();
}

void BrowserHost::Move(std::optional<int> left, std::optional<int> top, std::optional<int> width,
                       std::optional<int> height) {
  left_ = left.value_or(left_);
  top_ = top.value_or(top_);
  width_ = width.value_or(width_);
  height_ = height.value_or(height_);
  Apply();
}

bool BrowserHost::Disabled(std::optional<bool> value) {
  if (!value) return disabled_ != 0;
  disabled_ = *value ? 1 : 0;
  if (window_) window_->setEnabled(!*value);
  return disabled_ != 0;
}

uint32_t BrowserHost::DefaultBackColour() const {
  const QColor colour = QApplication::palette().color(QPalette::Button);
  return uint32_t(colour.red()) | uint32_t(colour.green()) << 8 | uint32_t(colour.blue()) << 16;
}

Text BrowserHost::WindowText(const std::optional<Text>& text) {
  if (text && !text->empty() && window_) window_->setWindowTitle(FromGbk(*text));
  return window_ ? ToGbk(window_->windowTitle()) : Text();
}

Text BrowserHost::ReadText() const {
  if (!window_) return {};
  Text text = ToGbk(window_->windowTitle());
  if (text.size() < size_t(kTextBuffer)) return text;
  // Cut to the buffer without leaving half a double-byte character behind.
  size_t keep = 0;
  for (size_t i = 0; i < size_t(kTextBuffer - 1);) {
    const size_t length = static_cast<unsigned char>(text[i]) >= 0x81 ? 2 : 1;
    if (i + length > size_t(kTextBuffer - 1)) break;
    i += length;
    keep = i;
  }
  text.resize(keep);
  return text;
}

Text BrowserHost::TextValue(const std::optional<Text>& text) {
  if (text) SetText(*text);
  return ReadText();
}

void BrowserHost::SetText(const Text& text) {
  if (window_) window_->setWindowTitle(FromGbk(text));
}

void BrowserHost::PostMessage(QEvent* event) {
  if (!event) return;
  if (!window_) {
    delete event;
    return;
  }
  QCoreApplication::postEvent(window_, event);
}

int BrowserHost::Width(std::optional<int> value) {
  if (value) Move({}, {}, value, {});
  return width_;
}

int BrowserHost::Height(std::optional<int> value) {
  if (value) Move({}, {}, {}, value);
  return height_;
}

int BrowserHost::Left(std::optional<int> value) {
  if (value) Move(value, {}, {}, {});
  return left_;
}

int BrowserHost::Top(std::optional<int> value) {
  if (value) Move({}, value, {}, {});
  return top_;
}

int BrowserHost::ScreenLeft() const { return window_ ? window_->mapToGlobal(QPoint(0, 0)).x() : 0; }

int BrowserHost::ScreenTop() const { return window_ ? window_->mapToGlobal(QPoint(0, 0)).y() : 0; }

bool BrowserHost::Visible(std::optional<bool> value) {
  if (!window_) return false;
  if (value) {
    window_->setVisible(*value);
    visible_ = *value ? 1 : 0;
    window_->repaint();
  }
  return window_->isVisible();
}

void BrowserHost::SetFont(const Text& face, int height, bool bold) {
  if (!window_) return;
  QFont font = window_->font();
  if (!face.empty()) font.setFamily(FromGbk(face));
  font.setPixelSize(height > 0 ? height : 12);
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  window_->setFont(font);
}

bool BrowserHost::IsCreated() const { return !window_.isNull(); }

QWidget* BrowserHost::GetHandle() const { return handle_; }

void BrowserHost::SetPosition(std::optional<int> left, std::optional<int> top,
                              std::optional<int> width, std::optional<int> height) {
  Move(left, top, width, height);
}

void BrowserHost::Close() {
  // The window goes now, not later from the event loop: the old page's sound must end
  // before a new page starts.
  delete window_.data();
}

void BrowserHost::SetFocus() {
  if (window_) window_->setFocus();
}

bool BrowserHost::HasFocus() const {
  return window_ && QApplication::focusWidget() == window_.data();
}

int BrowserHost::InnerWidth() const { return window_ ? window_->frameGeometry().width() - 4 : -4; }

int BrowserHost::InnerHeight() const {
  return window_ ? window_->frameGeometry().height() - 8 : -8;
}

void BrowserHost::SetOwner(QWidget* window) {
  if (!window_ || !window) return;
  const QRect geometry = window_->geometry();
  const bool shown = !window_->isHidden();
  window_->setParent(window);
  window_->setGeometry(geometry);
  window_->setVisible(shown);
}

void BrowserHost::RecordHandler(int slot, ControlHandler handler) {
  if (!g_state || identifier_ < 1 || size_t(identifier_) > g_state->registry.size()) return;
  ControlRecord& record = g_state->registry[size_t(identifier_ - 1)];
  (slot == 29 ? record.onContextMenu : slot == 30 ? record.onMouse : record.onNotify) = handler;
}

void BrowserHost::SetContextMenuHandler(ControlHandler handler) { RecordHandler(29, handler); }
void BrowserHost::SetMouseHandler(ControlHandler handler) { RecordHandler(30, handler); }
void BrowserHost::SetNotifyHandler(ControlHandler handler) { RecordHandler(31, handler); }

QWidget* BrowserHost::Create(const std::optional<Text>& address, std::optional<int> left,
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
  const Text shownAddress = address ? *address : Text(kDefaultHomePage);
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

QWidget* BrowserHost::Recreate(const Text& address) {
  Close();
  return CreateAgain(address);
}

QWidget* BrowserHost::CreateAgain(const Text& address) {
  return Create(address, creationLeft_, creationTop_, width_, height_);
}

}  // namespace sonaro::browser
