#include "support/sound_monitor.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace sonaro::test {

namespace {
constexpr int kRate = 44100;
}

struct SoundMonitor::State {
  pid_t pid = -1;
  int fd = -1;
  std::thread reader;
  std::mutex mutex;
  std::condition_variable grew;
  std::vector<int16_t> samples;
  bool ended = false;
};

namespace {

SoundMonitor::Stretch Measure(const std::vector<int16_t>& samples, size_t from, size_t count) {
  SoundMonitor::Stretch stretch;
  if (count == 0) return stretch;
  double sum = 0;
  size_t crossings = 0;
  int side = 0;  // zero crossings with a dead band, so that faint noise does not count
  for (size_t i = from; i < from + count; ++i) {
    sum += double(samples[i]) * samples[i];
    const int now = samples[i] > 300 ? 1 : samples[i] < -300 ? -1 : 0;
    if (now != 0 && now != side) {
      if (side != 0) ++crossings;
      side = now;
    }
  }
  stretch.rms = std::sqrt(sum / double(count));
  stretch.frequency = double(crossings) / 2.0 / (double(count) / kRate);
  return stretch;
}

}  // namespace

SoundMonitor::SoundMonitor(const std::string& source) : state_(std::make_shared<State>()) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeFds[1], 1);
    ::execlp("parec", "parec", "-d", source.c_str(), "--raw", "--format=s16le", "--rate=44100",
             "--channels=1", "--latency-msec=20", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  if (pid < 0) {
    ::close(pipeFds[0]);
    return;
  }
  state_->pid = pid;
  state_->fd = pipeFds[0];
  state_->reader = std::thread([state = state_] {
    std::vector<char> buffer(8192);
    std::string pending;
    for (;;) {
      const ssize_t got = ::read(state->fd, buffer.data(), buffer.size());
      if (got <= 0) break;
      pending.append(buffer.data(), size_t(got));
      std::lock_guard lock(state->mutex);
      size_t i = 0;
      for (; i + 1 < pending.size(); i += 2) {
        state->samples.push_back(
            int16_t(uint16_t(uint8_t(pending[i])) | uint16_t(uint8_t(pending[i + 1])) << 8));
      }
      pending.erase(0, i);
      state->grew.notify_all();
    }
    std::lock_guard lock(state->mutex);
    state->ended = true;
    state->grew.notify_all();
  });
  // The null sink starts delivering to a new monitor client only after its own latency.
  std::unique_lock lock(state_->mutex);
  state_->grew.wait_for(lock, std::chrono::seconds(5),
                        [&] { return state_->ended || state_->samples.size() > kRate / 10; });
}

SoundMonitor::~SoundMonitor() {
  if (state_->pid > 0) {
    ::kill(state_->pid, SIGTERM);
    ::waitpid(state_->pid, nullptr, 0);
  }
  if (state_->reader.joinable()) state_->reader.join();
  if (state_->fd >= 0) ::close(state_->fd);
}

bool SoundMonitor::Running() const {
  std::lock_guard lock(state_->mutex);
  return !state_->ended && !state_->samples.empty();
}

std::optional<SoundMonitor::Stretch> SoundMonitor::WaitForSound(std::chrono::milliseconds timeout,
                                                                double minRms) {
  const size_t window = kRate / 5;
  const auto until = std::chrono::steady_clock::now() + timeout;
  std::unique_lock lock(state_->mutex);
  size_t at = state_->samples.size();
  for (;;) {
    while (at + window <= state_->samples.size()) {
      if (Measure(state_->samples, at, window).rms > minRms) {
        const size_t follow = kRate * 2 / 5;
        state_->grew.wait_until(lock, until + std::chrono::seconds(1), [&] {
          return state_->ended || state_->samples.size() >= at + window + follow;
        });
        const size_t count = std::min(follow, state_->samples.size() - (at + window));
        return Measure(state_->samples, at + window, count);
      }
      at += window / 4;
    }
    if (state_->ended || !state_->grew.wait_until(lock, until, [&] {
          return state_->ended || at + window <= state_->samples.size();
        }))
      return std::nullopt;
  }
}

bool SoundMonitor::WaitForSilence(std::chrono::milliseconds timeout, double maxRms) {
  const size_t window = kRate * 3 / 10;
  const auto until = std::chrono::steady_clock::now() + timeout;
  std::unique_lock lock(state_->mutex);
  size_t at = state_->samples.size();
  for (;;) {
    while (at + window <= state_->samples.size()) {
      if (Measure(state_->samples, at, window).rms < maxRms) return true;
      at += window / 6;
    }
    if (state_->ended || !state_->grew.wait_until(lock, until, [&] {
          return state_->ended || at + window <= state_->samples.size();
        }))
      return false;
  }
}

std::optional<SoundMonitor::Stretch> SoundMonitor::Recent(std::chrono::milliseconds span) const {
  const size_t count = size_t(span.count()) * kRate / 1000;
  std::lock_guard lock(state_->mutex);
  if (count == 0 || state_->samples.size() < count) return std::nullopt;
  return Measure(state_->samples, state_->samples.size() - count, count);
}

}  // namespace sonaro::test
