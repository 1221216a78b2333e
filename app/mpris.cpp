#include "app/mpris.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include "app/main_window.h"
#include "app/tray.h"
#include "core/gbk.h"
#include "radio/now_playing.h"
#include "radio/player.h"
#include "ui/event.h"

namespace sonaro::app {

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.org.sonaro.Sonaro");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

QString PlaybackStatus() {
  // Playing only while sound comes: a station still connecting, or one that failed, is not.
  const radio::NowPlaying& now = radio::CurrentlyPlaying();
  return now.playing && now.state == radio::StreamState::Playing ? QStringLiteral("Playing")
                                                                 : QStringLiteral("Stopped");
}

bool CanPlay() { return !radio::CurrentlyPlaying().address.empty(); }

QVariantMap Metadata() {
  const radio::NowPlaying& now = radio::CurrentlyPlaying();
  QVariantMap metadata;
  if (now.play == 0) return metadata;
  // A new id with every Play: the desktop takes it for a new track, even of the same station.
  metadata.insert(QStringLiteral("mpris:trackid"),
                  QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/sonaro/Sonaro/track/") +
                                                      QString::number(now.play))));
  if (!now.title.empty()) metadata.insert(QStringLiteral("xesam:title"), core::FromGbk(now.title));
  if (!now.displayName.empty()) {
    const QString name = core::FromGbk(now.displayName);
    metadata.insert(QStringLiteral("xesam:artist"), QStringList{name});
    metadata.insert(QStringLiteral("xesam:album"), name);
  }
  return metadata;
}

void PlayAgain() {
  // A copy: Play lets pending events run, which may change the record.
  const radio::NowPlaying now = radio::CurrentlyPlaying();
  if (now.playing || now.address.empty()) return;
  if (radio::PagePlayer* player = radio::Player()) player->Play(now.address, now.displayName);
}

// A live stream cannot wait: pausing ends it as stopping does.
void EndStream() {
  if (!radio::CurrentlyPlaying().playing) return;
  if (radio::PagePlayer* player = radio::Player()) player->Close();
}

class RootAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ yes)
  Q_PROPERTY(bool CanRaise READ yes)
  Q_PROPERTY(bool Fullscreen READ no)
  Q_PROPERTY(bool CanSetFullscreen READ no)
  Q_PROPERTY(bool HasTrackList READ no)
  Q_PROPERTY(QString Identity READ identity)
  Q_PROPERTY(QString DesktopEntry READ desktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ none)
  Q_PROPERTY(QStringList SupportedMimeTypes READ none)

 public:
  explicit RootAdaptor(QObject* parent) : QDBusAbstractAdaptor(parent) {}
  bool yes() const { return true; }
  bool no() const { return false; }
  QString identity() const { return QStringLiteral("Sonaro"); }
  QString desktopEntry() const { return QStringLiteral("org.sonaro.Sonaro"); }
  QStringList none() const { return {}; }

 public Q_SLOTS:
  void Raise() { RestoreMainWindow(); }
  void Quit() { OnMenuExit(ui::Event{}); }
};

class PlayerAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
  Q_PROPERTY(QVariantMap Metadata READ metadata)
  Q_PROPERTY(double Rate READ one)
  Q_PROPERTY(double MinimumRate READ one)
  Q_PROPERTY(double MaximumRate READ one)
  // The volume knob sets the system's volume, not the player's.
  Q_PROPERTY(double Volume READ one)
  Q_PROPERTY(qlonglong Position READ position)
  Q_PROPERTY(bool CanPlay READ canPlay)
  Q_PROPERTY(bool CanPause READ yes)
  Q_PROPERTY(bool CanControl READ yes)
  Q_PROPERTY(bool CanGoNext READ no)
  Q_PROPERTY(bool CanGoPrevious READ no)
  Q_PROPERTY(bool CanSeek READ no)

 public:
  explicit PlayerAdaptor(QObject* parent) : QDBusAbstractAdaptor(parent) {}
  QString playbackStatus() const { return PlaybackStatus(); }
  QVariantMap metadata() const { return Metadata(); }
  double one() const { return 1.0; }
  qlonglong position() const { return 0; }
  bool canPlay() const { return CanPlay(); }
  bool yes() const { return true; }
  bool no() const { return false; }

 public Q_SLOTS:
  void Play() { PlayAgain(); }
  void Pause() { EndStream(); }
  void PlayPause() { radio::CurrentlyPlaying().playing ? EndStream() : PlayAgain(); }
  void Stop() { EndStream(); }
  // A radio has no other track and no position.
  void Next() {}
  void Previous() {}
  void Seek(qlonglong) {}
  void SetPosition(const QDBusObjectPath&, qlonglong) {}
  void OpenUri(const QString&) {}

 Q_SIGNALS:
  void Seeked(qlonglong Position);
};

// The bus object with both interfaces; tells the bus what changed in the player.
class MprisObject final : public QObject {
 public:
  explicit MprisObject(QObject* owner) : QObject(owner) {
    new RootAdaptor(this);
    new PlayerAdaptor(this);
    Remember();
    radio::SetNowPlayingObserver([this] { Changed(); });
  }
  ~MprisObject() override {
    radio::SetNowPlayingObserver({});
    QDBusConnection::sessionBus().unregisterObject(kPath);
  }

 private:
  void Remember() {
    const radio::NowPlaying& now = radio::CurrentlyPlaying();
    status_ = PlaybackStatus();
    play_ = now.play;
    title_ = now.title;
    displayName_ = now.displayName;
    canPlay_ = CanPlay();
  }

  void Changed() {
    const radio::NowPlaying& now = radio::CurrentlyPlaying();
    QVariantMap changed;
    if (PlaybackStatus() != status_)
      changed.insert(QStringLiteral("PlaybackStatus"), PlaybackStatus());
    if (now.play != play_ || now.title != title_ || now.displayName != displayName_) {
      changed.insert(QStringLiteral("Metadata"), Metadata());
    }
    if (CanPlay() != canPlay_) changed.insert(QStringLiteral("CanPlay"), CanPlay());
    Remember();
    if (changed.isEmpty()) return;
    QDBusMessage signal =
        QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
  }

  QString status_;
  uint64_t play_ = 0;
  core::Text title_;
  core::Text displayName_;
  bool canPlay_ = false;
};

}  // namespace

void StartMpris(QObject* owner) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  auto* object = new MprisObject(owner);
  if (!bus.registerObject(kPath, object, QDBusConnection::ExportAdaptors)) {
    delete object;
    return;
  }
  // Asked without waiting for the answer: the bus daemon's round trip stays off start-up. One
  // program runs per user, so the name is free; should it not be, the desktop sees no player.
  QDBusMessage request = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
  request << kService << uint(4);  // 4: do not queue for the name
  bus.asyncCall(request);
}

}  // namespace sonaro::app

#include "mpris.moc"
