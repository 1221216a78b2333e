// The browser engine behind every browser window: Qt WebEngine and all code that names its
// types. The program does not link it: loading it took longer than everything before the Main
// window's first paint, so it is a module loaded when the engine starts. A program that links
// it (a test looking into pages) hands it over with UseEngine before any browser window.
#pragma once

#include <cstddef>

class QObject;
class QString;
class QUrl;
class QVariant;
class QWidget;

namespace sonaro::browser {

// Changes whenever this header does (the build derives it from the header's contents): a
// module built against another version of this interface is refused rather than called.
#ifndef SONARO_ENGINE_INTERFACE
#error "SONARO_ENGINE_INTERFACE is defined by the build"
#endif
inline constexpr const char* kEngineInterface = SONARO_ENGINE_INTERFACE;

struct Engine {
  const char* interface;  // kEngineInterface of the build that made the engine
  // Starts the engine with a local page it keeps loaded. Idempotent.
  bool (*start)();
  // The kept page goes and the threads of ended media sessions are joined.
  void (*shutdown)();
  // A view, child of parent, whose page carries the media player. playerPage: the page is a
  // Player page, so the sound library is made ready at once.
  QWidget* (*newView)(QWidget* parent, bool playerPage);
  void (*navigate)(QWidget* view, const QUrl& url);
  // The page that widget renders (widget is a view's focus proxy); null for any other widget.
  QObject* (*renderedPage)(const QWidget* widget);
  // Runs script in the page's isolated scripting world and waits (events are handled
  // meanwhile); false when the page does not answer within the limit or goes.
  bool (*runScript)(QObject* page, const QString& script, int timeLimitMs, QVariant* result);
  // handler is told each title the Player page's stream sends (UTF-8), on the GUI thread; null
  // for nobody. A new Player page's stream starts without one.
  void (*setStreamTitleHandler)(void (*handler)(const char* utf8Title));
  // handler is told each change of the Player page's stream, on the GUI thread: 0 connecting,
  // 1 playing, 2 failed (nothing plays after every address and retry); null for nobody.
  void (*setStreamStateHandler)(void (*handler)(int state));
  // Streams waiting to be fetched again try at once: the network came back.
  void (*retryStreams)();
  // The Player page about to be written will play address: its stream may be opened now.
  void (*prefetchStream)(const QString& address);
};

// The engine in use; null until UseEngine or LoadEngine gave one.
const Engine* CurrentEngine();
// Loads the module unless an engine is in use: the one next to the program, else the file the
// environment variable SONARO_BROWSER_ENGINE names (the tests' way to reach the built one).
// The engine, or null with the reasons written to stderr, once: a failure is final.
const Engine* LoadEngine();
void UseEngine(const Engine* engine);

// The engine as built into the module; linked by programs that use it directly.
const Engine* LinkedEngine();

}  // namespace sonaro::browser

// The module's one entry point.
extern "C" const sonaro::browser::Engine* sonaro_browser_engine();
