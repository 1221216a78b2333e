#include "core/background.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>

#include "core/webget.h"

namespace sonaro::core {

namespace {

QThreadPool& Pool() {
  // Its own pool: a download that runs for minutes must not hold up the board or the update
  // check, which would wait behind it in a pool as wide as the processor.
  static QThreadPool* pool = [] {
    auto* p = new QThreadPool;
    p->setMaxThreadCount(8);
    return p;
  }();
  return *pool;
}

// Cleared on the GUI thread when the program closes: results still queued are dropped.
bool g_delivering = true;

}  // namespace

namespace detail {

void StartInBackground(std::function<void()> job) { Pool().start(std::move(job)); }

void PostToGuiThread(std::function<void()> call) {
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(
        app,
        [call = std::move(call)] {
          if (g_delivering) call();
        },
        Qt::QueuedConnection);
  }
}

}  // namespace detail

void StopBackgroundWork() {
  g_delivering = false;
  StopAllFetches();
  Pool().waitForDone();
}

void AllowBackgroundWork() {
  AllowFetches();
  g_delivering = true;
}

}  // namespace sonaro::core
