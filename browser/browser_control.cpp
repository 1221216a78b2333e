#include "browser/browser_control.h"

#include <QCoreApplication>
#include <QPointer>
#include <QUrl>
#include <utility>
#include <vector>

#include "browser/browser_box.h"
#include "browser/document.h"
#include "browser/engine.h"
#include "core/gbk.h"

namespace sonaro::browser {

namespace {

bool g_prepared = false;
bool g_started = false;
bool g_failed = false;  // the engine could not be loaded or started: no view will ever come
void (*g_titleHandler)(const char*) = nullptr;
void (*g_stateHandler)(int) = nullptr;

struct WaitingView {
  QPointer<QWidget> parent;
  bool playerPage;
  std::function<void(QWidget*)> made;
};
std::vector<WaitingView>& Waiting() {
  static std::vector<WaitingView> waiting;
  return waiting;
}

void AddChromiumFlag(const char* flag) {
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  if (flags.split(' ').contains(flag)) return;
  if (!flags.isEmpty()) flags += ' ';
  flags += flag;
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

}  // namespace

bool PrepareBrowserControl() {
  if (g_prepared) return true;
  if (!QCoreApplication::instance()) return false;
  // Read when the engine starts, which is with the first page: pages of one site (all local
  // pages are one) share a renderer instead of each starting its own.
  AddChromiumFlag("--process-per-site");
  // The program's pages are small (the player's 6 x 3, the advert box 216 x 87): the software
  // scene graph draws them without an OpenGL context in this process, which machines without
  // a GPU (virtual X servers among them) lack and whose drivers leave memory behind at exit.
  // A backend the user chose stays.
  if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) qputenv("QT_QUICK_BACKEND", "software");
  RegisterBrowserBox();
  g_prepared = true;
  return true;
}

bool InitBrowserControl() {
  if (!PrepareBrowserControl()) return false;
  if (g_started) return true;
  const Engine* engine = LoadEngine();
  if (!engine || !engine->start()) {
    g_failed = true;
    Waiting().clear();  // their windows stay without a page
    return false;
  }
  g_started = true;
  engine->setStreamTitleHandler(g_titleHandler);
  engine->setStreamStateHandler(g_stateHandler);
  std::vector<WaitingView> waiting = std::move(Waiting());
  Waiting().clear();
  for (WaitingView& view : waiting) {
    if (view.parent) view.made(engine->newView(view.parent, view.playerPage));
  }
  return true;
}

bool BrowserControlReady() { return g_prepared; }

void NewViewWhenStarted(QWidget* parent, bool playerPage, std::function<void(QWidget*)> made) {
  if (g_started) {
    made(CurrentEngine()->newView(parent, playerPage));
    return;
  }
  if (g_failed) return;
  Waiting().push_back({parent, playerPage, std::move(made)});
}

void SetStreamTitleHandler(void (*handler)(const char*)) {
  g_titleHandler = handler;
  // Kept for an engine that starts later: the module is loaded only then.
  if (g_started) CurrentEngine()->setStreamTitleHandler(handler);
}

void SetStreamStateHandler(void (*handler)(int)) {
  g_stateHandler = handler;
  if (g_started) CurrentEngine()->setStreamStateHandler(handler);
}

void RetryStreams() {
  if (g_started) CurrentEngine()->retryStreams();
}

void PrefetchStream(const std::string& gbkAddress) {
  if (g_started) CurrentEngine()->prefetchStream(core::FromGbk(gbkAddress));
}

void ShutdownBrowserControl() {
  if (g_started) CurrentEngine()->shutdown();
  Waiting().clear();
  g_started = false;
  g_prepared = false;
  g_failed = false;
}

QWidget* NewView(QWidget* parent, bool playerPage) {
  if (!InitBrowserControl()) return nullptr;
  return CurrentEngine()->newView(parent, playerPage);
}

void Navigate(QWidget* view, const QUrl& url) {
  if (const Engine* engine = CurrentEngine(); engine && view) engine->navigate(view, url);
}

QObject* RenderedPage(const QWidget* widget) {
  const Engine* engine = CurrentEngine();
  return engine && widget ? engine->renderedPage(widget) : nullptr;
}

bool IsRenderingWindow(const QWidget* widget) { return RenderedPage(widget) != nullptr; }

QWidget* FindRenderingWindow(QWidget* window, bool letMessagesRun) {
  if (!window) return nullptr;
  // Events handled between steps may destroy widgets of the tree being walked.
  QList<QPointer<QWidget>> children;
  for (QObject* child : window->children()) {
    if (auto* widget = qobject_cast<QWidget*>(child)) children.append(widget);
  }
  for (const QPointer<QWidget>& widget : children) {
    if (!widget) continue;
    if (IsRenderingWindow(widget)) return widget;
    if (QWidget* found = FindRenderingWindow(widget, letMessagesRun)) return found;
    if (letMessagesRun) QCoreApplication::processEvents();
  }
  return nullptr;
}

bool GetDocument(QWidget* window, ScriptObject* document) {
  if (!IsRenderingWindow(window)) window = FindRenderingWindow(window);
  return window && OpenDocument(RenderedPage(window), document);
}

}  // namespace sonaro::browser
