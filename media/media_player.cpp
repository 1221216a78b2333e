#include "media/media_player.h"

#include <QFile>
#include <QUrl>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include "core/stages.h"
#include "media/media_session.h"

// The shim is a resource of this static library: registered by hand, as nothing else would
// pull its object file in.
static void InitMediaResources() { Q_INIT_RESOURCE(media); }

namespace sonaro::media {

namespace {

TitleObserver g_titleObserver = nullptr;  // the GUI thread's own
StateObserver g_stateObserver = nullptr;  // the GUI thread's own

QString ReadResource(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

// Qt's channel client and our shim in one function scope, so neither leaves a global name
// behind but Player and playlist.
const QString& PageScript() {
  InitMediaResources();
  static const QString script =
      QStringLiteral("(function () {\n") +
      ReadResource(QStringLiteral(":/qtwebchannel/qwebchannel.js")) + QStringLiteral("\n") +
      ReadResource(QStringLiteral(":/sonaro/media/media_shim.js")) + QStringLiteral("\n})();\n");
  return script;
}

}  // namespace

void SetTitleObserver(TitleObserver observer) { g_titleObserver = observer; }
void SetStateObserver(StateObserver observer) { g_stateObserver = observer; }
void RetrySessions() { MediaSession::RetryNow(); }

MediaPlayerObject::MediaPlayerObject(QWebEnginePage* page, bool prepare)
    : QObject(page), page_(page) {
  if (prepare) StartSession();
}

void MediaPlayerObject::StartSession() {
  // Queued to this object: the title reaches the GUI thread, and not at all once the page (and
  // this object with it) is gone. The session calls no more once it is destroyed, which happens
  // before this object's QObject part goes.
  session_ = std::make_unique<MediaSession>(
      [this](const std::string& title) {
        QMetaObject::invokeMethod(
            this,
            [title] {
              if (g_titleObserver) g_titleObserver(title.c_str());
            },
            Qt::QueuedConnection);
      },
      [this](MediaSession::State state) {
        QMetaObject::invokeMethod(
            this,
            [state] {
              if (g_stateObserver) g_stateObserver(int(state));
            },
            Qt::QueuedConnection);
      });
}

MediaPlayerObject::~MediaPlayerObject() = default;

void MediaPlayerObject::appendItem(const QString& address) {
  // Only the Player page the program wrote into its own folder plays: a page that navigated
  // away, to anything from the network, has lost the player. And even that page queues little.
  if (!page_ || !page_->url().isLocalFile()) return;
  if (items_.size() >= kMaxItems || address.size() > kMaxAddressLength) return;
  QUrl url(address, QUrl::TolerantMode);
  if (page_ && url.isRelative() && !address.isEmpty()) url = page_->url().resolved(url);
  items_.append(address);
  core::NoteStage("appendItem");
  if (!session_) StartSession();
  session_->Append(url.toEncoded().toStdString());
}

void AttachMediaPlayer(QWebEnginePage* page, bool prepare) {
  QWebEngineScript script;
  script.setName(QStringLiteral("sonaro-media-player"));
  script.setSourceCode(PageScript());
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setRunsOnSubFrames(false);
  page->scripts().insert(script);

  auto* channel = new QWebChannel(page);
  channel->registerObject(QStringLiteral("SonaroMediaPlayer"),
                          new MediaPlayerObject(page, prepare));
  page->setWebChannel(channel, QWebEngineScript::MainWorld);
}

}  // namespace sonaro::media
