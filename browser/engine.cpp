#include "browser/engine.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <memory>

#include "core/stages.h"
#include "media/media_player.h"
#include "media/media_session.h"
#include "media/prefetch.h"

namespace sonaro::browser {

namespace {

QPointer<QWebEnginePage> g_keptPage;
bool g_started = false;

bool Start() {
  if (g_started) return true;
  if (!QCoreApplication::instance()) return false;
  // A local page kept loaded keeps the local pages' renderer alive between two Player pages.
  g_keptPage = new QWebEnginePage(QWebEngineProfile::defaultProfile(), qApp);
  g_keptPage->load(QUrl(QStringLiteral("file:///")));
  g_started = true;
  return true;
}

void Shutdown() {
  delete g_keptPage.data();
  g_started = false;
  media::MediaSession::JoinEnded();
}

// A page from the network that was shown and is now out of sight (its window gone to the tray)
// gives its renderer's memory back: discarded, and loaded anew when shown again. Player pages
// keep playing whatever is shown, and the Request form's page, scripted but never shown, keeps
// its state; neither is touched.
class DiscardWhileHidden final : public QObject {
 public:
  explicit DiscardWhileHidden(QWebEngineView* view) : QObject(view), view_(view) {
    view->installEventFilter(this);
  }

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      shown_ = true;
      if (view_->page()->lifecycleState() != QWebEnginePage::LifecycleState::Active) {
        view_->page()->setLifecycleState(QWebEnginePage::LifecycleState::Active);
      }
    } else if (event->type() == QEvent::Hide && shown_) {
      // Once the hiding is through: the engine refuses to discard a page it deems visible.
      QTimer::singleShot(0, this, [this] {
        QWebEnginePage* page = view_->page();
        if (!view_->isVisible() &&
            page->lifecycleState() == QWebEnginePage::LifecycleState::Active) {
          page->setLifecycleState(QWebEnginePage::LifecycleState::Discarded);
        }
      });
    }
    return false;
  }

 private:
  QWebEngineView* view_;
  bool shown_ = false;
};

QWidget* NewView(QWidget* parent, bool playerPage) {
  auto* view = new QWebEngineView(parent);
  auto* page = new QWebEnginePage(QWebEngineProfile::defaultProfile(), view);
  // Only the player's own views may reach the media player: never the advert box or the
  // Request form's page, which come from the network.
  if (playerPage) {
    media::AttachMediaPlayer(page, true);
    QObject::connect(page, &QWebEnginePage::loadFinished, [] { core::NoteStage("page loaded"); });
  }
  view->setPage(page);
  if (!playerPage) new DiscardWhileHidden(view);
  return view;
}

void Navigate(QWidget* view, const QUrl& url) {
  if (auto* webView = qobject_cast<QWebEngineView*>(view)) webView->setUrl(url);
}

QObject* RenderedPage(const QWidget* widget) {
  if (!widget) return nullptr;
  auto* view = qobject_cast<QWebEngineView*>(widget->parentWidget());
  return view && view->focusProxy() == widget ? view->page() : nullptr;
}

bool RunScript(QObject* target, const QString& script, int timeLimitMs, QVariant* result) {
  auto* page = qobject_cast<QWebEnginePage*>(target);
  if (!page) return false;
  struct Wait {
    bool done = false;
    QVariant result;
    QEventLoop* loop = nullptr;
  };
  auto wait = std::make_shared<Wait>();
  QPointer<QWebEnginePage> guard(page);
  page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [wait](const QVariant& answer) {
    wait->done = true;
    wait->result = answer;
    if (wait->loop) wait->loop->quit();
  });
  if (!wait->done) {
    QEventLoop loop;
    wait->loop = &loop;
    QTimer::singleShot(timeLimitMs, &loop, &QEventLoop::quit);
    QObject::connect(page, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
    wait->loop = nullptr;
  }
  if (!wait->done || !guard) return false;
  if (result) *result = wait->result;
  return true;
}

// Encoded as the page's appendItem will hand the same address to its session.
void PrefetchStream(const QString& address) {
  const QUrl url(address.trimmed(), QUrl::TolerantMode);
  if (url.isValid() && !url.isRelative()) media::PrefetchStream(url.toEncoded().toStdString());
}

constexpr Engine kEngine{kEngineInterface,
                         &Start,
                         &Shutdown,
                         &NewView,
                         &Navigate,
                         &RenderedPage,
                         &RunScript,
                         &media::SetTitleObserver,
                         &media::SetStateObserver,
                         &media::RetrySessions,
                         &PrefetchStream};

}  // namespace

const Engine* LinkedEngine() { return &kEngine; }

}  // namespace sonaro::browser
