// Helpers for the demo stream service's tests: a loopback client that reads a bounded part of
// an endless answer, little-endian readers, and the pitch of PCM by its zero crossings.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonaro::streams::test {

using namespace std::chrono_literals;

class Client {
 public:
  explicit Client(int port);
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  bool Send(std::string_view bytes);
  // Up to limit bytes, less when the server closes or timeout passes first.
  std::string Read(size_t limit, std::chrono::milliseconds timeout);
  // Reads and drops until the server closes; false when it has not within timeout.
  bool ReadToEnd(std::chrono::milliseconds timeout);
  bool closed() const { return closed_; }

 private:
  int fd_ = -1;
  bool closed_ = false;
};

struct Reply {
  int status = 0;
  std::string head;  // lower-cased header lines
  std::string body;
  bool closed = false;  // the server closed the connection after body

  // The value of the first header of that name (lower case), or nothing.
  std::optional<std::string> Header(std::string_view name) const;
};

// Sends request and reads the answer's head and up to bodyLimit bytes of its body.
Reply Fetch(int port, std::string_view request, size_t bodyLimit,
            std::chrono::milliseconds timeout = 10s);

uint32_t Le16(const std::string& bytes, size_t at);
uint32_t Le32(const std::string& bytes, size_t at);
uint64_t Le64(const std::string& bytes, size_t at);

std::vector<int16_t> Samples(std::string_view pcm);  // 16-bit little-endian
// Frequency of mono samples at 22050 Hz by zero crossings (a dead band ignores faint noise).
double FrequencyOf(const std::vector<int16_t>& samples, int sampleRate = 22050);

}  // namespace sonaro::streams::test
