// Listens to what a PulseAudio sink plays (its monitor source, through parec) and tells
// whether there is sound and at which frequency. For tests run against a null sink.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace sonaro::test {

class SoundMonitor {
 public:
  struct Stretch {
    double rms = 0;        // of 16-bit samples
    double frequency = 0;  // Hz, from the zero crossings
  };

  // source: e.g. "nullsink.monitor". Returns once samples flow.
  explicit SoundMonitor(const std::string& source = "nullsink.monitor");
  ~SoundMonitor();
  SoundMonitor(const SoundMonitor&) = delete;
  SoundMonitor& operator=(const SoundMonitor&) = delete;

  bool Running() const;
  // Waits up to timeout for a 200 ms stretch, heard after this call, louder than minRms; it
  // then measures the 400 ms that follow it.
  std::optional<Stretch> WaitForSound(std::chrono::milliseconds timeout, double minRms = 1000);
  // Waits up to timeout for a 300 ms stretch, heard after this call, quieter than maxRms.
  bool WaitForSilence(std::chrono::milliseconds timeout, double maxRms = 100);
  // The last span heard, without waiting (for callers that must keep an event loop going);
  // nothing while less than that has been heard.
  std::optional<Stretch> Recent(std::chrono::milliseconds span) const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace sonaro::test
