#include "tests/host/streams_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace sonaro::streams::test {

using Clock = std::chrono::steady_clock;

Client::Client(int port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(uint16_t(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

Client::~Client() {
  if (fd_ >= 0) ::close(fd_);
}

bool Client::Send(std::string_view bytes) {
  while (fd_ >= 0 && !bytes.empty()) {
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(size_t(n));
  }
  return fd_ >= 0;
}

std::string Client::Read(size_t limit, std::chrono::milliseconds timeout) {
  std::string out;
  const Clock::time_point deadline = Clock::now() + timeout;
  char buffer[16384];
  while (fd_ >= 0 && !closed_ && out.size() < limit) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, int(left)) <= 0) continue;
    const ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, limit - out.size()), 0);
    if (n <= 0) {
      closed_ = true;
      break;
    }
    out.append(buffer, size_t(n));
  }
  return out;
}

bool Client::ReadToEnd(std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  while (!closed_ && Clock::now() < deadline) Read(size_t(1) << 20, 200ms);
  return closed_;
}

std::optional<std::string> Reply::Header(std::string_view name) const {
  const std::string key = "\n" + std::string(name) + ":";
  const std::string lines = "\n" + head;
  const size_t at = lines.find(key);
  if (at == std::string::npos) return std::nullopt;
  size_t start = at + key.size();
  while (start < lines.size() && lines[start] == ' ') ++start;
  const size_t end = lines.find("\r\n", start);
  return lines.substr(start, end - start);
}

Reply Fetch(int port, std::string_view request, size_t bodyLimit,
            std::chrono::milliseconds timeout) {
  Reply reply;
  Client client(port);
  if (!client.Send(request)) return reply;
  const Clock::time_point deadline = Clock::now() + timeout;
  std::string raw;
  size_t headEnd = std::string::npos;
  while (headEnd == std::string::npos && !client.closed() && Clock::now() < deadline) {
    raw += client.Read(1, 100ms);
    headEnd = raw.find("\r\n\r\n");
  }
  if (headEnd == std::string::npos) return reply;
  const std::string line = raw.substr(0, raw.find("\r\n"));
  if (line.starts_with("HTTP/1.") && line.size() >= 12) reply.status = std::stoi(line.substr(9, 3));
  reply.head = raw.substr(line.size() + 2, headEnd + 2 - line.size() - 2);
  std::transform(reply.head.begin(), reply.head.end(), reply.head.begin(),
                 [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  reply.body = client.Read(bodyLimit, std::max(left, 1ms));
  // One more byte tells a closed connection from a body that goes on.
  if (!client.closed() && reply.body.size() < bodyLimit + 1) {
    reply.body += client.Read(1, 300ms);
    if (reply.body.size() > bodyLimit) reply.body.resize(bodyLimit);
  }
  reply.closed = client.closed();
  return reply;
}

uint32_t Le16(const std::string& bytes, size_t at) {
  return uint32_t(uint8_t(bytes.at(at))) | uint32_t(uint8_t(bytes.at(at + 1))) << 8;
}

uint32_t Le32(const std::string& bytes, size_t at) {
  return Le16(bytes, at) | Le16(bytes, at + 2) << 16;
}

uint64_t Le64(const std::string& bytes, size_t at) {
  return uint64_t(Le32(bytes, at)) | uint64_t(Le32(bytes, at + 4)) << 32;
}

std::vector<int16_t> Samples(std::string_view pcm) {
  std::vector<int16_t> out(pcm.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = int16_t(uint16_t(uint8_t(pcm[2 * i])) | uint16_t(uint8_t(pcm[2 * i + 1])) << 8);
  }
  return out;
}

double FrequencyOf(const std::vector<int16_t>& samples, int sampleRate) {
  if (samples.empty()) return 0;
  int crossings = 0;
  int state = 0;
  for (const int16_t v : samples) {
    const int side = v > 300 ? 1 : v < -300 ? -1 : 0;
    if (side != 0 && side != state) {
      crossings += state != 0;
      state = side;
    }
  }
  return crossings / 2.0 / (double(samples.size()) / sampleRate);
}

}  // namespace sonaro::streams::test
