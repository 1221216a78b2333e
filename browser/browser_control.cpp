#include "browser/browser_control.h"

#include <QCoreApplication>
#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <memory>
#include <utility>
#include <vector>

#include "browser/browser_box.h"
#include "browser/document.h"
#include "browser/media_player.h"
#include "browser/media_session.h"

namespace sonaro::browser {

namespace {

bool g_prepared = false;
bool g_started = false;
QPointer<QWebEnginePage> g_keptPage;

struct WaitingView {
  QPointer<QWidget> parent;
  bool playerPage;
  std::function<void(QWebEngineView*)> made;
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
  // A local page kept loaded keeps the local pages' renderer alive between two Player pages.
  g_keptPage = new QWebEnginePage(QWebEngineProfile::defaultProfile(), qApp);
  g_keptPage->load(QUrl(QStringLiteral("file:///")));
  g_started = true;
  std::vector<WaitingView> waiting = std::move(Waiting());
  Waiting().clear();
  for (WaitingView& view : waiting) {
    if (view.parent) view.made(NewView(view.parent, view.playerPage));
  }
  return true;
}

bool BrowserControlReady() { return g_prepared; }

void NewViewWhenStarted(QWidget* parent, bool playerPage,
                        std::function<void(QWebEngineView*)> made) {
  if (g_started) {
    made(NewView(parent, playerPage));
    return;
  }
  Waiting().push_back({parent, playerPage, std::move(made)});
}

void ShutdownBrowserControl() {
  delete g_keptPage.data();
  Waiting().clear();
  g_started = false;
  g_prepared = false;
  MediaSession::JoinEnded();
}

QWebEngineView* NewView(QWidget* parent, bool playerPage) {
  auto* view = new QWebEngineView(parent);
  auto* page = new QWebEnginePage(QWebEngineProfile::defaultProfile(), view);
  AttachMediaPlayer(page, playerPage);
  view->setPage(page);
  return view;
}

bool IsRenderingWindow(const QWidget* widget) {
  if (!widget) return false;
  const auto* view = qobject_cast<const QWebEngineView*>(widget->parentWidget());
  return view && view->focusProxy() == widget;
}

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
  if (!window) return false;
  auto* view = qobject_cast<QWebEngineView*>(window->parentWidget());
  return view && OpenDocument(view->page(), document);
}

}  // namespace sonaro::browser
