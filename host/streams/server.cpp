#include "host/streams/server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "host/streams/audio.h"
#include "host/streams/responses.h"

namespace sonaro::streams {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxConnections = 256;
constexpr size_t kMaxHead = 8192;
constexpr int kHeadTimeoutMs = 10000;
constexpr int kStallTimeoutMs = 10000;  // a client that reads nothing for this long is dropped
constexpr int kLeadMs = 1500;           // sent at once, so playback starts without waiting
constexpr int kTickMs = 40;

std::string Where(const Listener& listener) {
  const bool v6 = listener.host.find(':') != std::string::npos;
  return (v6 ? "[" + listener.host + "]" : listener.host) + ":" + std::to_string(listener.port);
}

// A listening socket on a numeric address; -1 with errno or a message on failure.
int Listen(const Listener& listener, std::string& why) {
  sockaddr_storage address{};
  socklen_t length = 0;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
  if (::inet_pton(AF_INET, listener.host.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(uint16_t(listener.port));
    length = sizeof(sockaddr_in);
  } else if (::inet_pton(AF_INET6, listener.host.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(uint16_t(listener.port));
    length = sizeof(sockaddr_in6);
  } else {
    why = "not a numeric address";
    return -1;
  }
  const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    why = std::strerror(errno);
    return -1;
  }
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 64) != 0) {
    why = std::strerror(errno);
    ::close(fd);
    return -1;
  }
  return fd;
}

int LocalPort(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  if (address.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
  }
  return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

// The request head up to its empty line; empty when the client sends none in time.
std::string ReadHead(int fd) {
  std::string head;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kHeadTimeoutMs);
  char buffer[2048];
  while (head.find("\r\n\r\n") == std::string::npos) {
    if (head.size() > kMaxHead) return {};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return {};
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, int(std::min<int64_t>(left, kTickMs * 5))) < 0 && errno != EINTR) return {};
    if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0) return {};
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return {};
    }
    head.append(buffer, size_t(n));
  }
  return head;
}

// True when the client has closed its side (anything it sends meanwhile is dropped).
bool PeerClosed(int fd) {
  char buffer[512];
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0) return true;
    if (n < 0) return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
  }
}

}  // namespace

Server::Server(Plan plan, Log log) : plan_(std::move(plan)), log_(std::move(log)) {}

Server::~Server() { Stop(); }

size_t Server::Start() {
  size_t bound = 0;
  fds_.assign(plan_.listeners.size(), -1);
  ports_.assign(plan_.listeners.size(), 0);
  for (size_t i = 0; i < plan_.listeners.size(); ++i) {
    std::string why;
    const int fd = Listen(plan_.listeners[i], why);
    if (fd < 0) {
      log_("skipped " + Where(plan_.listeners[i]) + " (" +
           std::to_string(plan_.listeners[i].routes.size()) + " streams): " + why);
      continue;
    }
    fds_[i] = fd;
    ports_[i] = LocalPort(fd);
    ++bound;
  }
  for (size_t i = 0; i < fds_.size(); ++i) {
    if (fds_[i] >= 0) acceptors_.emplace_back([this, i] { Accept(i, fds_[i]); });
  }
  return bound;
}

int Server::BoundPort(size_t listener) const {
  return listener < ports_.size() ? ports_[listener] : 0;
}

void Server::Stop() {
  stopping_ = true;
  changed_.notify_all();
  for (std::thread& acceptor : acceptors_) acceptor.join();
  acceptors_.clear();
  for (int& fd : fds_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return connections_ == 0; });
}

bool Server::WaitOrStop(int milliseconds) {
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                            [this] { return stopping_.load(); });
}

void Server::Accept(size_t listener, int fd) {
  while (!stopping_) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kTickMs) <= 0 || !(p.revents & POLLIN)) continue;
    const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (client < 0) continue;
    {
      std::lock_guard lock(mutex_);
      if (connections_ >= kMaxConnections) {
        ::close(client);
        continue;
      }
      ++connections_;
    }
    std::thread([this, listener, client] {
      Serve(listener, client);
      ::close(client);
      std::lock_guard lock(mutex_);
      --connections_;
      changed_.notify_all();
    }).detach();
  }
}

bool Server::SendAll(int fd, std::string_view bytes) {
  Clock::time_point progress = Clock::now();
  while (!bytes.empty()) {
    if (stopping_) return false;
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      bytes.remove_prefix(size_t(n));
      progress = Clock::now();
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
    if (Clock::now() - progress > std::chrono::milliseconds(kStallTimeoutMs)) return false;
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, kTickMs);
  }
  return true;
}

void Server::Serve(size_t listenerIndex, int fd) {
  const Listener& listener = plan_.listeners[listenerIndex];
  const std::string head = ReadHead(fd);
  if (head.empty()) return;
  Answer answer = Respond(listener, head);
  if (!SendAll(fd, answer.bytes) || !answer.feed) {
    ::shutdown(fd, SHUT_WR);
    return;
  }
  // Live audio: a lead at once, then no further ahead of real time than that lead.
  const Clock::time_point began = Clock::now();
  int64_t sentMs = 0;
  while (!stopping_) {
    const int64_t elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
    while (sentMs < elapsed + kLeadMs) {
      if (!SendAll(fd, answer.feed->Next())) return;
      sentMs += kUnitMs;
    }
    if (PeerClosed(fd) || !WaitOrStop(kTickMs)) return;
  }
}

}  // namespace sonaro::streams
