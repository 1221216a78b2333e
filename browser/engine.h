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

struct Engine {
  size_t size;  // sizeof(Engine) in the build that made it: a stale module is refused
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
};

// The engine in use; null until UseEngine or LoadEngine gave one.
const Engine* CurrentEngine();
// Loads the module (next to the program, else where the build put it) unless an engine is in
// use; the engine, or null with the reason written to stderr once.
const Engine* LoadEngine();
void UseEngine(const Engine* engine);

// The engine as built into the module; linked by programs that use it directly.
const Engine* LinkedEngine();

}  // namespace sonaro::browser

// The module's one entry point.
extern "C" const sonaro::browser::Engine* sonaro_browser_engine();
