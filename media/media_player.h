// The media player that the pages of this program's browsers address as Player: a native
// object reached over QWebChannel, with a small script placed into every page before its own
// scripts run (so calls from the page's first line are kept, not lost).
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

class QWebEnginePage;

namespace sonaro::media {

class MediaSession;

class MediaPlayerObject : public QObject {
  Q_OBJECT

 public:
  // prepare: get the sound library ready now rather than with the first item.
  MediaPlayerObject(QWebEnginePage* page, bool prepare);
  // Stops the sound at once.
  ~MediaPlayerObject() override;

  // The addresses the page appended, in order, exactly as the page gave them.
  const QStringList& Items() const { return items_; }

  // What one page may queue: a Player page names one stream.
  static constexpr qsizetype kMaxItems = 64;
  static constexpr qsizetype kMaxAddressLength = 8192;

  // playlist.appendItem(Player.newMedia(address)) on the page, while the page is a local file
  // and within the limits above; anything else is ignored. A relative address counts from the
  // page's own address.
 public Q_SLOTS:
  void appendItem(const QString& address);

 private:
  void StartSession();

  QPointer<QWebEnginePage> page_;
  QStringList items_;
  std::unique_ptr<MediaSession> session_;
};

// Told each title the stream of a Player page sends (UTF-8), on the GUI thread; null: nobody.
// A title still on its way when its page goes is dropped with the page.
using TitleObserver = void (*)(const char* utf8Title);
void SetTitleObserver(TitleObserver observer);

// Told each change of the Player page's stream (a MediaSession::State as int), on the GUI
// thread; null: nobody. Dropped with its page as titles are.
using StateObserver = void (*)(int state);
void SetStateObserver(StateObserver observer);

// Every media session waiting to fetch its stream again tries at once (the network is back).
void RetrySessions();

// Gives the page its media player: the script, the channel and the native object, all owned
// by the page, so the sound ends with it.
void AttachMediaPlayer(QWebEnginePage* page, bool prepare);

}  // namespace sonaro::media
