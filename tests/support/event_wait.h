// Waiting in tests while the event loop runs. QTest::qWaitFor sleeps between rounds of
// event handling, which starves the embedded browser's own message pump; a real QEventLoop
// keeps it going as the program's main loop does.
#pragma once

#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace sonaro::test {

// Runs the event loop until done() is true or timeoutMs has passed; done()'s last answer.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  poll.start();
  loop.exec();
  return done();
}

// Runs the event loop for ms milliseconds.
inline void Spin(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace sonaro::test
