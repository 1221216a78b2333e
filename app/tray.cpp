#include "app/tray.h"

#include <xcb/xcb.h>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDateTime>
#include <QGuiApplication>
#include <QMenu>
#include <QMetaMethod>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "app/program.h"
#include "ui/ids.h"
#include "ui/window_system.h"
#include "ui/winproc.h"

namespace sonaro::app {

namespace {

// The icon's mouse message arriving at the owner window, as the shell sends it.
class TrayMessageEvent : public QEvent {
 public:
  TrayMessageEvent(Type type, int mouseMessage) : QEvent(type), mouseMessage(mouseMessage) {}
  int mouseMessage;
};

QEvent::Type TrayMessageType() {
  static const auto type = QEvent::Type(QEvent::registerEventType());
  return type;
}

// Tells TrayHostChanged when a tray host comes or goes: D-Bus trays by their watcher's name,
// XEmbed trays by the X11 platform's own signal for the tray selection's owner.
class TrayHostWatcher : public QObject {
  Q_OBJECT
 public:
  explicit TrayHostWatcher(QObject* parent) : QObject(parent) {
    auto* watcher = new QDBusServiceWatcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                                            QDBusConnection::sessionBus(),
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &TrayHostWatcher::Changed);
    // The platform's native interface is a QObject (its class is not public API); the X11
    // platform announces the tray window there, other platforms have no such signal.
    if (auto* native = reinterpret_cast<QObject*>(QGuiApplication::platformNativeInterface())) {
      const int signal = native->metaObject()->indexOfSignal("systemTrayWindowChanged(QScreen*)");
      if (signal >= 0) {
        connect(native, native->metaObject()->method(signal), this,
                metaObject()->method(metaObject()->indexOfSlot("Changed()")));
      }
    }
  }
 public Q_SLOTS:
  // Queued: Qt's own tray icon reacts to the same news first.
  void Changed() { QMetaObject::invokeMethod(this, &TrayHostChanged, Qt::QueuedConnection); }
};

// The balloon as a desktop notification of normal urgency (GNOME pops up none for Qt's
// low-urgency ones), with the program's icon and launcher entry, each replacing the one before.
// fallback runs when no notification server answers.
class DesktopNotifier : public QObject {
 public:
  void Send(const QString& title, const QString& body, std::function<void()> fallback) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
      fallback();
      return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue<uchar>(1)},
                            {QStringLiteral("desktop-entry"), kDesktopEntry}};
    call << QStringLiteral("Sonaro") << lastId_ << kDesktopEntry << title << body << QStringList()
         << hints << int(-1);
    // Not waited for: the GUI thread goes on while the server answers.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, fallback = std::move(fallback)](QDBusPendingCallWatcher* done) {
              const QDBusPendingReply<uint> reply = *done;
              if (reply.isError()) {
                fallback();
              } else {
                lastId_ = reply.value();
              }
              done->deleteLater();
            });
  }

 private:
  static inline const QString kDesktopEntry = QStringLiteral("org.sonaro.Sonaro");
  uint lastId_ = 0;
};

// Asks the window manager to minimise a mapped window (ICCCM's WM_CHANGE_STATE to IconicState).
// X11 only; elsewhere nothing happens.
void IconifyMapped(QWindow* window) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return;
  static constexpr char kName[] = "WM_CHANGE_STATE";
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName), nullptr);
  if (!atom) return;
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = xcb_window_t(window->winId());
  event.type = atom->atom;
  event.data.data32[0] = 3;  // IconicState
  std::free(atom);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  xcb_send_event(connection, 0, root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&event));
  xcb_flush(connection);
}

class SystemTrayShell final : public TrayShell {
 public:
  bool Available() override { return QSystemTrayIcon::isSystemTrayAvailable(); }
  void Add(const TrayRecord& record, QWidget* window) override {
    if (!icon_) {
      // Goes with the application, not with this program-long object.
      if (!watcher_) watcher_ = new TrayHostWatcher(QCoreApplication::instance());
      icon_ = std::make_unique<QSystemTrayIcon>();
      QObject::connect(icon_.get(), &QSystemTrayIcon::activated,
                       [](QSystemTrayIcon::ActivationReason reason) {
                         switch (reason) {
                           case QSystemTrayIcon::Trigger:
                             DeliverTrayMessage(kTrayLeftDown);
                             break;
                           case QSystemTrayIcon::Context:
                             DeliverTrayMessage(kTrayRightDown);
                             break;
                           case QSystemTrayIcon::DoubleClick:
                             DeliverTrayMessage(kTrayLeftDoubleClick);
                             break;
                           case QSystemTrayIcon::MiddleClick:
                             DeliverTrayMessage(kTrayMiddleDown);
                             break;
                           case QSystemTrayIcon::Unknown:
                             break;
                         }
                       });
    }
    if (window) icon_->setIcon(window->windowIcon());
    // D-Bus trays show only a menu the icon exports; set before show() so it goes with the
    // registration. (Qt then also pops it up itself on an XEmbed right click: see TrayHandler.)
    icon_->setContextMenu(ui::FindMenu(ids::kMainWindow, ids::main::kMenu));
    icon_->setToolTip(core::FromGbk(record.tip));
    icon_->show();
  }
  void Modify(const TrayRecord& record) override {
    if (!icon_) return;
    if (record.flags & kTrayFlagTip) icon_->setToolTip(core::FromGbk(record.tip));
    if (record.flags & kTrayFlagInfo) {
      const auto icon = record.infoFlags == kBalloonInfoIcon ? QSystemTrayIcon::Information
                                                             : QSystemTrayIcon::NoIcon;
      const QString title = core::FromGbk(record.infoTitle), text = core::FromGbk(record.info);
      if (!notifier_) notifier_ = new DesktopNotifier;
      notifier_->Send(title, text,
                      [icon = QPointer<QSystemTrayIcon>(icon_.get()), title, text, kind = icon] {
                        if (icon) icon->showMessage(title, text, kind);
                      });
    }
  }
  void Delete(const TrayRecord&) override { icon_.reset(); }

 private:
  std::unique_ptr<QSystemTrayIcon> icon_;
  QPointer<TrayHostWatcher> watcher_;
  DesktopNotifier* notifier_ = nullptr;  // program-long
};

TrayShell* g_testShell = nullptr;

TrayShell& Shell() {
  static SystemTrayShell system;
  return g_testShell ? *g_testShell : system;
}

TrayRecord& Record() { return State().trayRecord; }

void PopUpMenu() {
  if (QMenu* menu = ui::FindMenu(ids::kMainWindow, ids::main::kMenu)) menu->popup(QCursor::pos());
}

constexpr qint64 kTrayBackWithinMs = 10'000;  // a screen lock and unlock, not a new session
constexpr qint64 kMinimisingMs = 2'000;       // the window manager minimises a mapped window

bool JustLostTray() {
  return State().trayLostAtMs != 0 &&
         QDateTime::currentMSecsSinceEpoch() - State().trayLostAtMs < kMinimisingMs;
}

bool TrayProc(QWidget* window, QEvent* event) {
  const ui::WndProc previous = State().savedWindowProc;
  // Where no tray shows the icon, the menu lives on the Main window itself.
  if (event->type() == QEvent::ContextMenu && !TrayAvailable()) {
    PopUpMenu();
    return true;
  }
  // Back from the taskbar: as a click on the icon brings it back, with its animation. (Not the
  // moment a window that lost its tray is mapped and then minimised by the window manager.)
  if (event->type() == QEvent::WindowStateChange && State().minimisedToTaskbar &&
      !(window->windowState() & Qt::WindowMinimized) && !JustLostTray()) {
    State().minimisedToTaskbar = false;
    RecreateMainAnimation();
  }
  if (event->type() == ui::DestroyEventType()) {
    TrayRemove();
    return ui::CallWindowProc(previous, window, event);
  }
  if (event->type() == TrayMessageType()) {
    if (State().trayCallback) {
      State().trayCallback(static_cast<TrayMessageEvent*>(event)->mouseMessage);
      return true;
    }
    return ui::CallWindowProc(previous, window, event);
  }
  if (State().taskbarCreatedMessage != 0 && event->type() == State().taskbarCreatedMessage) {
    // The tray host came back: add the icon again as the record stands, with its tip.
    TrayRecord again = Record();
    again.flags |= kTrayFlagMessage | kTrayFlagIcon | kTrayFlagTip;
    Shell().Add(again, window);
    return ui::CallWindowProc(previous, window, event);
  }
  return ui::CallWindowProc(previous, window, event);
}

}  // namespace

void CopyToBuffer(char* buffer, size_t size, const core::Text& text) {
  if (size == 0) return;
  std::memset(buffer, 0, size);
  size_t length = 0;
  // Walk whole characters: a byte of 0x80 or above starts a two-byte character.
  while (length < text.size()) {
    const size_t step = static_cast<unsigned char>(text[length]) >= 0x80 ? 2 : 1;
    if (length + step > size - 1 || length + step > text.size()) break;
    length += step;
  }
  std::memcpy(buffer, text.data(), length);
}

void SetTrayShell(TrayShell* shell) { g_testShell = shell; }

void TrayAdd(QWidget* window, const std::optional<core::Text>& tip, TrayCallback callback) {
  State().trayWindow = window;
  if (State().savedWindowProc) {
    if (tip) TrayChangeTip(*tip);
    return;
  }
  State().savedWindowProc = ui::SetWindowProc(window, &TrayProc);
  if (callback) State().trayCallback = callback;
  TrayRecord& record = Record();
  record.icon = 1;
  record.size = sizeof(TrayRecord);
  record.window = ids::kMainWindow;
  record.id = 1;
  record.flags = kTrayFlagMessage | kTrayFlagIcon | kTrayFlagTip;
  record.callbackMessage = kTrayCallbackMessage;
  CopyToBuffer(record.tip, sizeof record.tip, tip.value_or(core::Text()));
  Shell().Add(record, window);
}

void TrayChangeTip(const core::Text& tip) {
  TrayRecord& record = Record();
  record.flags = kTrayFlagMessage | kTrayFlagIcon | kTrayFlagTip;
  CopyToBuffer(record.tip, sizeof record.tip, tip);
  Shell().Modify(record);
}

void TrayShowBalloon(const core::Text& title, const core::Text& text, uint32_t iconFlag) {
  TrayRecord& record = Record();
  record.flags = kTrayFlagInfo;
  CopyToBuffer(record.infoTitle, sizeof record.infoTitle, title);
  CopyToBuffer(record.info, sizeof record.info, text);
  record.infoFlags = iconFlag;
  Shell().Modify(record);
}

void TrayRemove() {
  if (State().trayWindow) ui::SetWindowProc(State().trayWindow, State().savedWindowProc);
  State().savedWindowProc = nullptr;
  Shell().Delete(Record());
}

bool TrayInstalled() { return State().savedWindowProc != nullptr; }

const TrayRecord& CurrentTrayRecord() { return Record(); }

void DeliverTrayMessage(int mouseMessage) {
  QWidget* window = State().trayWindow;
  if (!window) return;
  TrayMessageEvent event(TrayMessageType(), mouseMessage);
  QCoreApplication::sendEvent(window, &event);
}

void DeliverTaskbarCreated() {
  QWidget* window = State().trayWindow;
  if (!window || State().taskbarCreatedMessage == 0) return;
  QEvent event(QEvent::Type(State().taskbarCreatedMessage));
  QCoreApplication::sendEvent(window, &event);
}

void TrayHandler(int mouseMessage) {
  switch (mouseMessage) {
    case kTrayLeftDown:
      // Only the Main window comes back; the panel and the board wait for their buttons.
      ui::SetProperty(ids::kMainWindow, ids::kMainWindowUnit, ui::prop::kVisible, true);
      // One that a lost tray had minimised was taken back into the tray as it was: shown from
      // there, it comes back normal. (Clearing the state while it was hidden would map it.)
      if (QWidget* window = ui::FindWindow(ids::kMainWindow);
          window && (window->windowState() & Qt::WindowMinimized)) {
        window->showNormal();
      }
      RecreateMainAnimation();
      break;
    case kTrayRightDown:
      // An XEmbed icon has already shown its context menu (synchronously) before it reports the
      // click: only a click that came without the menu opens it here.
      if (QMenu* menu = ui::FindMenu(ids::kMainWindow, ids::main::kMenu);
          menu && !menu->isVisible()) {
        PopUpMenu();
      }
      break;
    default:
      break;
  }
}

bool TrayAvailable() { return Shell().Available(); }

namespace {

// Without a tray host nothing would bring a hidden window back: the taskbar keeps it.
void MinimiseToTaskbar(QWidget* mainWindow) {
  State().minimisedToTaskbar = true;
  mainWindow->showMinimized();
  // A window that was mapped before is mapped again as it was, shown: the hint to start
  // minimised counts only for a first map. So once it is mapped, it is minimised as a user
  // would, through the window manager.
  for (int delay : {100, 500, 1500}) {
    QTimer::singleShot(delay, mainWindow, [window = QPointer<QWidget>(mainWindow)] {
      if (!window || !JustLostTray() || !window->isVisible() ||
          (window->windowState() & Qt::WindowMinimized)) {
        return;
      }
      if (QWindow* handle = window->windowHandle()) IconifyMapped(handle);
    });
  }
}

}  // namespace

void TrayHostChanged() {
  QWidget* window = State().trayWindow;
  if (!TrayInstalled() || !window) return;
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  if (!window->isVisible() && !TrayAvailable()) {
    State().trayLostAtMs = now;
    MinimiseToTaskbar(window);
    return;
  }
  // Back soon after it went, with the window still minimised where it had put it: into the
  // tray again, as it was.
  if (TrayAvailable() && State().trayLostAtMs != 0 &&
      now - State().trayLostAtMs <= kTrayBackWithinMs && window->isVisible() &&
      (window->windowState() & Qt::WindowMinimized)) {
    State().trayLostAtMs = 0;
    State().minimisedToTaskbar = false;
    window->hide();  // still minimised for Qt: TrayHandler shows it normal again
    TrayRecord again = Record();
    again.flags |= kTrayFlagMessage | kTrayFlagIcon | kTrayFlagTip;
    Shell().Add(again, window);
  }
}

void RestoreMainWindow() {
  QWidget* window = ui::FindWindow(ids::kMainWindow);
  if (!window) return;
  State().trayLostAtMs = 0;  // the user's own restore, not the window manager's doing
  if (State().minimisedToTaskbar) {
    window->showNormal();  // its state change brings the animation back
  } else {
    TrayHandler(kTrayLeftDown);
  }
  window->raise();
  window->activateWindow();
}

void MinimiseToTray() {
  QWidget* mainWindow = ui::FindWindow(ids::kMainWindow);
  TrayAdd(mainWindow, core::GbkFromUtf8("收音机"), &TrayHandler);
  const bool tray = TrayAvailable();
  // The docked windows go either way; the Main window hides only where a tray icon brings it
  // back.
  for (auto [window, unit] :
       {std::pair{ids::kMainWindow, ids::kMainWindowUnit},
        std::pair{ids::kStationPanel, ids::kStationPanelUnit},
        std::pair{ids::kBoard, ids::kBoardUnit}, std::pair{ids::kDetails, ids::kDetailsUnit}}) {
    if (window == ids::kMainWindow && !tray) continue;
    ui::SetProperty(window, unit, ui::prop::kVisible, false);
  }
  CloseMainAnimation();
  if (!tray) {
    if (mainWindow) MinimiseToTaskbar(mainWindow);
    return;
  }
  TrayShowBalloon(core::GbkFromUtf8("窗口最小化"), core::GbkFromUtf8("左键单击恢复窗口"),
                  kBalloonInfoIcon);
}

}  // namespace sonaro::app

#include "tray.moc"
