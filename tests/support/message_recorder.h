// Answers the program's message boxes in tests and records what they said.
#pragma once

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "ui/facilities.h"

namespace sonaro::testing {

struct ShownMessage {
  core::Text text;
  int style = 0;
  core::Text title;
  bool onGuiThread = false;
};

class MessageRecorder {
 public:
  // Answers with the given codes in turn, then with OK.
  explicit MessageRecorder(std::deque<int> answers = {}) : answers_(std::move(answers)) {
    ui::SetMessageAnswerer([this](const core::Text& text, int style, const core::Text& title) {
      std::lock_guard lock(mutex_);
      shown_.push_back(
          {text, style, title, QThread::currentThread() == QCoreApplication::instance()->thread()});
      if (answers_.empty()) return ui::kIdOk;
      int answer = answers_.front();
      answers_.pop_front();
      return answer;
    });
  }
  ~MessageRecorder() { ui::SetMessageAnswerer(nullptr); }
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  std::vector<ShownMessage> Shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
  }

  // Lets the GUI thread run until count boxes have been shown, or gives up after timeout.
  bool WaitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(30)) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      {
        std::lock_guard lock(mutex_);
        if (shown_.size() >= count) return true;
      }
      QThread::msleep(5);
    }
    return false;
  }

 private:
  mutable std::mutex mutex_;
  std::deque<int> answers_;
  std::vector<ShownMessage> shown_;
};

}  // namespace sonaro::testing
