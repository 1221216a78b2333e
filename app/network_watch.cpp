#include "app/network_watch.h"

#include <QDBusConnection>
#include <QNetworkInformation>
#include <QObject>
#include <QTimer>

#include "browser/browser_control.h"

namespace sonaro::app {

namespace {

class NetworkWatch : public QObject {
  Q_OBJECT

 public:
  explicit NetworkWatch(QObject* owner) : QObject(owner) {
    QDBusConnection::systemBus().connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(PrepareForSleep(bool)));
    // The backend is a plugin: loaded once the windows are up, not during start-up.
    QTimer::singleShot(2000, this, &NetworkWatch::WatchReachability);
  }

 public Q_SLOTS:
  void PrepareForSleep(bool sleeping) {
    if (!sleeping) browser::RetryStreams();
  }

 private:
  void WatchReachability() {
    if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
      return;
    QNetworkInformation* info = QNetworkInformation::instance();
    online_ = info->reachability() == QNetworkInformation::Reachability::Online;
    connect(info, &QNetworkInformation::reachabilityChanged, this,
            [this](QNetworkInformation::Reachability reachability) {
              const bool online = reachability == QNetworkInformation::Reachability::Online;
              if (online && !online_) browser::RetryStreams();
              online_ = online;
            });
  }

  bool online_ = true;
};

}  // namespace

void StartNetworkWatch(QObject* owner) { new NetworkWatch(owner); }

}  // namespace sonaro::app

#include "network_watch.moc"
