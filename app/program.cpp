#include "app/program.h"

#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QPixmap>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <memory>

#include "app/catalogue.h"
#include "app/mpris.h"
#include "app/network_watch.h"
#include "app/single_instance.h"
#include "assets/assets.h"
#include "browser/browser_control.h"
#include "browser/browser_host.h"
#include "core/background.h"
#include "radio/player.h"
#include "skin/runtime.h"
#include "skin/transparent.h"
#include "ui/ids.h"
#include "ui/picture.h"
#include "ui/window_system.h"

namespace sonaro::app {

namespace {
std::unique_ptr<ProgramState> g_state;

// The browser's pages are drawn by the software scene graph unless the user chose a backend.
bool UsesSoftwareScenes() {
  return qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") ||
         qEnvironmentVariable("QT_QUICK_BACKEND") == QLatin1String("software");
}

// Environment the platform needs before the GUI starts; nothing of the program's own is read.
void PreparePlatform() {
  // The window tricks of the Main window need X11; on a Wayland session use XWayland.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
      qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")) {
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  // The embedded browser refuses to start its sandbox as root.
  if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  }
  // Every window is drawn in software (the skin's layers, the pages' software scene graph),
  // so the X11 platform need not set up OpenGL: doing so makes the shared context at start-up
  // and loads the GL driver, which took longer than building every window.
  // Unless the user chose an OpenGL scene graph backend or a GL integration.
  if (UsesSoftwareScenes() && qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) {
    qputenv("QT_XCB_GL_INTEGRATION", "none");
  }
  // Our windows are small (the largest 450 x 529) and the animation repaints 8 times a second:
  // through shared memory each repaint also waits for the server's completion, a wake-up of two
  // threads more per frame than sending the pixels in the request. Unless the user chose.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
}

// Starting the browser engine takes longer than the rest of start-up together; the windows'
// pages (the advert box, the player's page) wait for it while the Main window paints first.
class EngineStarter : public QObject {
 public:
  explicit EngineStarter(QWidget* window) : QObject(window) {
    window->installEventFilter(this);
    // Should the window never report a paint (no display), the engine starts all the same.
    QTimer::singleShot(kLatestStart, this, &EngineStarter::Start);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      // Not at once: the painted pictures reach the X server only when the event loop next
      // waits (the connection is flushed then), and the docked windows paint right after.
      QTimer::singleShot(kAfterPaint, this, &EngineStarter::Start);
    }
    return false;
  }

 private:
  static constexpr int kAfterPaint = 150;    // ms
  static constexpr int kLatestStart = 1000;  // ms
  void Start() {
    if (started_) return;
    started_ = true;
    parent()->removeEventFilter(this);
    browser::InitBrowserControl();
    deleteLater();
  }
  bool started_ = false;
};

void StartBrowserEngineWhenPainted(QWidget* mainWindow) { new EngineStarter(mainWindow); }

}  // namespace

ProgramState& State() {
  if (!g_state) g_state = std::make_unique<ProgramState>();
  return *g_state;
}

void RunSetUpSteps() {
  // 1. The skin runtime: image library, frame dimension, the skin window class.
  skin::InitialiseSkinRuntime();
  // 2. The recoloured control classes.
  skin::RegisterRecolouredClasses();
  // 3. The tray code recognises the shell's restart by this number; 0 is kept like any other.
  State().taskbarCreatedMessage = QEvent::registerEventType();
}

int Run(int argc, char** argv) {
  // Every station starts a player with a dozen threads of its own. The C library gives threads
  // heaps of their own, and its adaptive thresholds let each ended player's heap keep about
  // 10 MiB; a fixed small trim threshold avoided that, but then the demuxer's 10 MiB probe
  // buffer was mapped fresh at every start and zeroing it cost 25 ms of page faults per switch.
  // One heap, with blocks up to 16 MiB taken from it and up to 16 MiB of free end kept: the
  // probe buffer is reused warm, and what is kept stays bounded however many players came.
#if defined(__GLIBC__)
  mallopt(M_ARENA_MAX, 1);
  mallopt(M_MMAP_THRESHOLD, 16 << 20);
  mallopt(M_TRIM_THRESHOLD, 16 << 20);
#endif
  // 1. The user-interface runtime.
  PreparePlatform();
  // The browser engine, loaded after the GUI started, needs the program-wide shared OpenGL
  // context made with the GUI; without it the engine fails when it starts. Cheap while the
  // X11 platform sets up no OpenGL (see PreparePlatform): making the context then fails at
  // once and no GL driver is loaded.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // only the Main window's end ends us
  // The launcher entry's name: Wayland compositors and docks match windows to it by this id.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.sonaro.Sonaro"));
  std::setlocale(LC_NUMERIC, "C");  // the media library needs it
  assets::Init();
  // Decoded as PNG: an icon made from a file name has Qt ask every image plugin.
  QApplication::setWindowIcon(
      QIcon(QPixmap::fromImage(ui::DecodePicture(assets::Bytes(QStringLiteral("sonaro.png"))))));
  // A second start brings the running program forward and ends.
  if (!ClaimSingleInstance(core::Utf8FromGbk(radio::PageFolder()), &RestoreMainWindow)) return 0;
  ui::InstallCatalogue(Catalogue());

  // 2. Phase 1: the program-wide objects, in order.
  g_state = std::make_unique<ProgramState>();
  // The player with its browser host; right after it the browser control is prepared (the
  // engine itself starts once the Main window is on screen, see below).
  radio::ConstructPlayer();
  browser::PrepareBrowserControl();
  // Last of all: the browser host's own program-wide state.
  browser::ConstructHostState();

  // 4. Phase 2: the set-up steps.
  RunSetUpSteps();

  // 5. Load and show the Main window; its creation handler builds the rest.
  QWidget* mainWindow = ui::LoadWindow(ids::kMainWindow, nullptr);
  if (!mainWindow) {
    std::fputs("sonaro: the Main window could not be created\n", stderr);
    return 1;
  }
  QObject::connect(mainWindow, &QObject::destroyed, &application, &QCoreApplication::quit);
  StartBrowserEngineWhenPainted(mainWindow);
  // The desktop's media controls, for as long as the Main window they can raise lives.
  StartMpris(mainWindow);
  StartNetworkWatch(mainWindow);

  // 6. The message loop, until the Main window is destroyed.
  QApplication::exec();
  // Fetches still waiting on a slow host end now rather than at their time limits.
  core::StopBackgroundWork();

  // 3./7. Clean-up: the program-wide objects go in construction order.
  radio::DestroyPlayer();
  g_state.reset();
  browser::DestroyHostState();
  browser::ShutdownBrowserControl();
  return 0;
}

}  // namespace sonaro::app
