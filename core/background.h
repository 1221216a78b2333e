// Work that may wait on the network or the disk runs off the GUI thread; its result comes back
// to the GUI thread as a queued call, so the user always gets an answer at once.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <utility>

namespace sonaro::core {

namespace detail {
void StartInBackground(std::function<void()> job);
void PostToGuiThread(std::function<void()> call);
}  // namespace detail

// Runs work() on a background thread, then done(result) on the GUI thread, unless context
// (checked on the GUI thread) is gone by then. Calls from the GUI thread only.
template <typename Work, typename Done>
void RunInBackground(QObject* context, Work work, Done done) {
  detail::StartInBackground([guard = QPointer<QObject>(context), work = std::move(work),
                             done = std::move(done)]() mutable {
    auto result = std::make_shared<decltype(work())>(work());
    detail::PostToGuiThread([guard, done = std::move(done), result] {
      if (guard) done(std::move(*result));
    });
  });
}

// For closing the program: ends every fetch in flight and waits for the background work to
// finish; no result is delivered after this. Later fetches fail at once.
void StopBackgroundWork();
// Lets background work fetch and deliver again after StopBackgroundWork.
void AllowBackgroundWork();

}  // namespace sonaro::core
