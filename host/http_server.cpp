#include "host/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace sonaro::host {
namespace {

using Clock = std::chrono::steady_clock;

thread_local RequestFault current_fault = RequestFault::kNone;
thread_local bool body_left_unread = false;

// Waits until fd is ready for events or deadline passes.
bool WaitUntil(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, events, 0};
    int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 60'000)));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
}

// One connection's bytes, held to the request's deadline and sizes. The library reads the
// request line and headers a byte at a time, so reads are buffered here.
class ConnectionStream final : public httplib::Stream {
 public:
  ConnectionStream(int fd, const ConnectionLimits& limits)
      : fd_(fd), limits_(limits), read_deadline_(Clock::now() + limits.request_timeout) {}

  bool is_readable() const override {
    return pos_ < len_ || (fault_ == RequestFault::kNone && WaitUntil(fd_, POLLIN, read_deadline_));
  }

  bool is_writable() const override { return WaitUntil(fd_, POLLOUT, WriteDeadline()); }

  ssize_t read(char* ptr, size_t size) override {
    if (fault_ != RequestFault::kNone) return -1;
    if (pos_ == len_) {
      ssize_t n;
      do {
        if (!WaitUntil(fd_, POLLIN, read_deadline_)) {
          Fail(RequestFault::kTimedOut);
          return -1;
        }
        n = ::recv(fd_, buffer_, sizeof buffer_, MSG_DONTWAIT);
      } while (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK));
      if (n <= 0) return n;
      pos_ = 0;
      len_ = static_cast<size_t>(n);
    }
    size_t n = std::min(size, len_ - pos_);
    if (!Account(buffer_ + pos_, n)) return -1;
    std::memcpy(ptr, buffer_ + pos_, n);
    pos_ += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    WriteDeadline();
    size_t sent = 0;
    while (sent < size) {
      ssize_t n = ::send(fd_, ptr + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        sent += static_cast<size_t>(n);
        wrote_ = true;
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (!WaitUntil(fd_, POLLOUT, *write_deadline_)) break;
      } else {
        break;
      }
    }
    return sent > 0 ? static_cast<ssize_t>(sent) : -1;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = HttpServer::PeerAddress(fd_);
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    port = -1;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      if (address.ss_family == AF_INET) {
        port = ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
      } else if (address.ss_family == AF_INET6) {
        port = ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
      }
    }
  }

  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    ip.clear();
    port = -1;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
      auto* in = reinterpret_cast<sockaddr_in*>(&address);
      ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
      port = ntohs(in->sin_port);
    } else if (address.ss_family == AF_INET6) {
      auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
      ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
      port = ntohs(in6->sin6_port);
    }
    ip = text;
  }

  socket_t socket() const override { return fd_; }

  RequestFault fault() const { return fault_; }
  bool wrote() const { return wrote_; }
  size_t bytes_read() const { return header_bytes_ + body_bytes_; }

 private:
  void Fail(RequestFault fault) {
    fault_ = fault;
    current_fault = fault;
  }

  // Counts bytes handed out: the header part ends with the first empty line after the request
  // line. False (and the fault set) when a limit is passed.
  bool Account(const char* bytes, size_t n) {
    if (!in_headers_) {
      body_bytes_ += n;
    } else {
      for (size_t i = 0; i < n; ++i) {
        ++header_bytes_;
        if (header_bytes_ > limits_.max_header_bytes) {
          Fail(RequestFault::kHeadersTooLarge);
          return false;
        }
        char c = bytes[i];
        if (c == '\n') {
          if (line_length_ == 0 && had_line_) {
            in_headers_ = false;
            body_bytes_ += n - i - 1;
            break;
          }
          had_line_ = had_line_ || line_length_ > 0;
          line_length_ = 0;
        } else if (c != '\r') {
          ++line_length_;
        }
      }
    }
    if (body_bytes_ > limits_.max_body_bytes) {
      Fail(RequestFault::kTooLarge);
      return false;
    }
    return true;
  }

  Clock::time_point WriteDeadline() const {
    if (!write_deadline_) write_deadline_ = Clock::now() + limits_.write_timeout;
    return *write_deadline_;
  }

  int fd_;
  const ConnectionLimits& limits_;
  Clock::time_point read_deadline_;
  mutable std::optional<Clock::time_point> write_deadline_;
  char buffer_[4096];
  size_t pos_ = 0;
  size_t len_ = 0;
  bool in_headers_ = true;
  bool had_line_ = false;
  size_t line_length_ = 0;
  size_t header_bytes_ = 0;
  size_t body_bytes_ = 0;
  RequestFault fault_ = RequestFault::kNone;
  bool wrote_ = false;
};

std::string_view Reason(int status) {
  switch (status) {
    case 408:
      return "Request Timeout";
    case 413:
      return "Payload Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

void SendAll(int fd, std::string_view bytes, Clock::time_point deadline) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitUntil(fd, POLLOUT, deadline)) return;
    } else {
      return;
    }
  }
}

// Closes a connection without resetting it: a client still sending (a body that was refused,
// a request that was answered early) would otherwise get a reset in place of the answer. When
// the client may still send, waits a moment for it to finish; otherwise reads only what is
// already there.
void CloseGently(int fd, bool client_may_still_send) {
  ::shutdown(fd, SHUT_WR);
  constexpr size_t kMaxDrain = 1 << 20;
  auto deadline = Clock::now() + (client_may_still_send ? std::chrono::milliseconds(2000)
                                                        : std::chrono::milliseconds(0));
  char sink[4096];
  size_t drained = 0;
  while (drained < kMaxDrain) {
    ssize_t n = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
    if (n > 0) {
      drained += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitUntil(fd, POLLIN, deadline)) break;
    } else {
      break;  // the client closed its side, or the connection is gone
    }
  }
  ::close(fd);
}

}  // namespace

HttpServer::HttpServer(const ConnectionLimits& limits) : limits_(limits) {
  size_t threads = std::max<size_t>(1, limits_.threads);
  new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  set_payload_max_length(limits_.max_body_bytes);
  set_keep_alive_max_count(1);
  // Only SO_REUSEADDR: the library's default also sets SO_REUSEPORT, which would let a second
  // host bind the same port unnoticed and take half of the connections.
  set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
}

int HttpServer::Bind(const std::string& address, int port) {
  int bound = port == 0 ? bind_to_any_port(address) : (bind_to_port(address, port) ? port : -1);
  if (bound <= 0) return -1;
  // The library listens with a backlog of 5; connection-per-request clients arrive in bursts.
  ::listen(svr_sock_, SOMAXCONN);
  return bound;
}

bool HttpServer::Serve() { return listen_after_bind(); }

void HttpServer::Shutdown() {
  if (is_running()) {
    stop();
    return;
  }
  // The library's stop() does nothing before the accept loop runs; a listening socket that is
  // shut down ends the loop as soon as it starts. (Only shut down here: the loop closes it.)
  socket_t sock = svr_sock_;
  if (sock != INVALID_SOCKET) ::shutdown(sock, SHUT_RDWR);
}

RequestFault HttpServer::CurrentFault() { return current_fault; }

void HttpServer::AnswerBeforeBody() { body_left_unread = true; }

std::string HttpServer::PeerAddress(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return "unknown";
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET) {
    ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&address)->sin_addr, text, sizeof text);
  } else if (address.ss_family == AF_INET6) {
    const in6_addr& in6 = reinterpret_cast<sockaddr_in6*>(&address)->sin6_addr;
    if (IN6_IS_ADDR_V4MAPPED(&in6)) {
      ::inet_ntop(AF_INET, &in6.s6_addr[12], text, sizeof text);
    } else {
      ::inet_ntop(AF_INET6, &in6, text, sizeof text);
    }
  } else {
    return "unknown";
  }
  return text;
}

bool HttpServer::EnterAddress(const std::string& address) {
  std::lock_guard lock(connections_mutex_);
  size_t& open = connections_[address];
  if (limits_.max_connections_per_address > 0 && open >= limits_.max_connections_per_address) {
    return false;
  }
  ++open;
  return true;
}

void HttpServer::LeaveAddress(const std::string& address) {
  std::lock_guard lock(connections_mutex_);
  auto it = connections_.find(address);
  if (it != connections_.end() && --it->second == 0) connections_.erase(it);
}

bool HttpServer::process_and_close_socket(socket_t sock) {
  // Headers and body leave in as few packets as possible; the cork comes off before closing.
  int on = 1;
  ::setsockopt(sock, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
  std::string address = PeerAddress(sock);
  bool ok = false;
  bool client_may_still_send = true;
  if (!EnterAddress(address)) {
    SendAll(sock, FaultResponse(503), Clock::now() + limits_.write_timeout);
  } else {
    ConnectionStream stream(sock, limits_);
    current_fault = RequestFault::kNone;
    body_left_unread = false;
    bool closed = false;
    ok = process_request(stream, /*close_connection=*/true, closed, nullptr);
    RequestFault fault = stream.fault();
    if (fault != RequestFault::kNone && !stream.wrote() && stream.bytes_read() > 0) {
      int status = fault == RequestFault::kTimedOut          ? 408
                   : fault == RequestFault::kHeadersTooLarge ? 431
                                                             : 413;
      SendAll(sock, FaultResponse(status), Clock::now() + limits_.write_timeout);
    }
    client_may_still_send = !ok || fault != RequestFault::kNone || body_left_unread;
    current_fault = RequestFault::kNone;
    LeaveAddress(address);
  }
  int off = 0;
  ::setsockopt(sock, IPPROTO_TCP, TCP_CORK, &off, sizeof off);
  CloseGently(sock, client_may_still_send);
  return ok;
}

std::string HttpServer::FaultResponse(int status) const {
  std::string body = fault_page_ ? fault_page_(status) : std::string();
  std::string response =
      "HTTP/1.1 " + std::to_string(status) + " " + std::string(Reason(status)) +
      "\r\nContent-Type: text/html; charset=GBK\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\nConnection: close\r\n";
  if (status == 503) response += "Retry-After: 1\r\n";
  return response + "\r\n" + body;
}

}  // namespace sonaro::host
