#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <cstdio>

namespace sonaro::app {

namespace {

constexpr char kShowRequest[] = "show\n";

void Serve(const QString& path, std::function<void()> show) {
  auto* server = new QLocalServer(QCoreApplication::instance());
  // Only the holder of the lock gets here: a socket file left behind is a dead program's.
  QLocalServer::removeServer(path);
  server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server->listen(path)) {
    std::fprintf(stderr, "sonaro: cannot listen at %s: %s\n", qPrintable(path),
                 qPrintable(server->errorString()));
    return;
  }
  QObject::connect(server, &QLocalServer::newConnection, server, [server, show] {
    while (QLocalSocket* client = server->nextPendingConnection()) {
      QObject::connect(client, &QLocalSocket::readyRead, client, [client, show] {
        if (client->readAll().contains("show")) show();
        client->disconnectFromServer();
      });
      QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    }
  });
}

// The running program may have taken the lock a moment before it listens.
bool AskToShow(const QString& path) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (socket.waitForConnected(250)) {
      socket.write(kShowRequest);
      return socket.waitForBytesWritten(1000);
    }
    QThread::msleep(100);
  }
  return false;
}

}  // namespace

bool ClaimSingleInstance(const std::string& folder, std::function<void()> show) {
  if (folder.empty()) return true;
  const int lock = ::open((folder + "instance.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock < 0) return true;  // an unwritable folder holds no Player page either
  const QString socketPath = QString::fromStdString(folder + "instance");
  // Held, with its descriptor, until the process ends; the system lets go of it even after a
  // crash.
  if (::flock(lock, LOCK_EX | LOCK_NB) == 0) {
    Serve(socketPath, std::move(show));
    return true;
  }
  const int error = errno;
  ::close(lock);
  if (error != EWOULDBLOCK) return true;
  if (!AskToShow(socketPath)) {
    std::fprintf(stderr, "sonaro: already running, but it did not answer at %s\n",
                 qPrintable(socketPath));
  }
  return false;
}

}  // namespace sonaro::app
