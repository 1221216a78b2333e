// A private PulseAudio daemon with null sinks, for tests on a machine without a sound card.
// It lives in its own runtime folder; the test process is pointed at it through PULSE_SERVER.
#pragma once

#include <string>
#include <vector>

namespace sonaro::test {

class PrivatePulse {
 public:
  // Sinks to create, e.g. "sink_name=nullsink" or "sink_name=mono channels=1"; the first
  // becomes the default sink.
  explicit PrivatePulse(std::vector<std::string> sinks = {"sink_name=nullsink"});
  ~PrivatePulse();
  PrivatePulse(const PrivatePulse&) = delete;
  PrivatePulse& operator=(const PrivatePulse&) = delete;

  bool Running() const { return running_; }
  const std::string& Server() const { return server_; }  // "unix:<socket>"
  // Runs pactl against this daemon; returns its standard output, or "" on failure.
  std::string Pactl(const std::string& arguments) const;

 private:
  std::string dir_;
  std::string server_;
  bool running_ = false;
};

}  // namespace sonaro::test
