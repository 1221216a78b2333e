#include "support/private_pulse.h"

#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace sonaro::test {

namespace {

std::string Run(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  std::array<char, 512> buffer{};
  while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) output.append(buffer.data(), n);
  return pclose(pipe) == 0 ? output : std::string();
}

}  // namespace

PrivatePulse::PrivatePulse(std::vector<std::string> sinks) {
  char pattern[] = "/tmp/sonaro-pulse-XXXXXX";
  if (!mkdtemp(pattern)) return;
  dir_ = pattern;
  server_ = "unix:" + dir_ + "/pulse/native";
  std::string command = "HOME=" + dir_ + " XDG_RUNTIME_DIR=" + dir_ +
                        " pulseaudio -n -D --exit-idle-time=-1 --log-target=stderr"
                        " -L module-native-protocol-unix";
  for (const std::string& sink : sinks) command += " -L 'module-null-sink " + sink + "'";
  command += " 2>/dev/null";
  if (std::system(command.c_str()) != 0) return;
  for (int i = 0; i < 100 && !running_; ++i) {
    running_ = !Pactl("info").empty();
    if (!running_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (running_ && !sinks.empty()) {
    const std::string& first = sinks.front();
    const size_t name = first.find("sink_name=");
    if (name != std::string::npos) {
      const std::string rest = first.substr(name + 10);
      Pactl("set-default-sink " + rest.substr(0, rest.find(' ')));
    }
  }
  setenv("PULSE_SERVER", server_.c_str(), 1);
}

PrivatePulse::~PrivatePulse() {
  if (!dir_.empty()) {
    std::system(
        ("HOME=" + dir_ + " XDG_RUNTIME_DIR=" + dir_ + " pulseaudio --kill 2>/dev/null").c_str());
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  unsetenv("PULSE_SERVER");
}

std::string PrivatePulse::Pactl(const std::string& arguments) const {
  return Run("PULSE_SERVER=" + server_ + " pactl " + arguments + " 2>/dev/null");
}

}  // namespace sonaro::test
