// The browser control underneath every browser window of the program: its one-time set-up,
// its views, and the two services every browser window shares (finding the page's rendering
// widget and reaching the page's document).
#pragma once

#include <functional>
#include <string>

class QObject;
class QUrl;
class QWidget;

namespace sonaro::browser {

class ScriptObject;

// Once at start-up, while the program-wide objects are made and before any browser window
// exists: the engine's settings (pages of one site share one renderer) and the browser box
// registered with the window system. Cheap: the engine itself is not started. Idempotent;
// false without an application (browser windows then cannot be created).
bool PrepareBrowserControl();
// Prepares if need be, loads the engine (browser/engine.h) and starts it: keeps a local page
// loaded so that the player's local pages start without waiting for a renderer, then makes the
// views that were waiting for it. The program calls it once its Main window is on screen, as
// loading and starting the engine takes longer than everything else in start-up together.
// Idempotent; false when the engine cannot be loaded.
bool InitBrowserControl();
// Prepared: browser windows can be created (their pages may still wait for the engine).
bool BrowserControlReady();
// handler is told each title the Player page's stream sends (UTF-8), on the GUI thread, from
// the time the engine starts; null for nobody.
void SetStreamTitleHandler(void (*handler)(const char* utf8Title));
// handler is told each change of the Player page's stream (0 connecting, 1 playing, 2 failed),
// on the GUI thread, from the time the engine starts; null for nobody.
void SetStreamStateHandler(void (*handler)(int state));
// Streams waiting to be fetched again try at once (the network came back, the system woke up).
void RetryStreams();
// The Player page about to be written will play address (GBK): its stream may be opened while
// the page loads. Nothing before the engine has started.
void PrefetchStream(const std::string& gbkAddress);
// At clean-up: the kept page goes and every ended media session's thread is joined.
void ShutdownBrowserControl();

// A view (a QWebEngineView) for the program's browser windows, its page carrying the media
// player; starts the engine if need be. playerPage: the page is a Player page, so the sound
// library is made ready at once. Null when the engine cannot be loaded.
QWidget* NewView(QWidget* parent, bool playerPage);
// NewView at once when the engine runs, else as soon as it starts; made gets the view. Nothing
// happens when parent is gone by then, or once the engine failed to load.
void NewViewWhenStarted(QWidget* parent, bool playerPage, std::function<void(QWidget*)> made);
// Shows url in a view NewView made.
void Navigate(QWidget* view, const QUrl& url);

// The widget that renders a view's page (the view's focus proxy).
bool IsRenderingWindow(const QWidget* widget);
// The page (a QWebEnginePage) a rendering widget renders; null for any other widget.
QObject* RenderedPage(const QWidget* widget);
// Depth-first, in child order, below window (window itself is not tested); null if none.
// letMessagesRun: pending events are handled after each sibling step.
QWidget* FindRenderingWindow(QWidget* window, bool letMessagesRun = false);

// The document of the page that window (a rendering widget, or any widget above one) shows.
// False when there is no rendering widget, or the page does not answer within 1000 ms.
bool GetDocument(QWidget* window, ScriptObject* document);

}  // namespace sonaro::browser
