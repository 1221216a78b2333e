// The HTTP server under the host: cpp-httplib's routing and request parsing, with connections
// handled here so that every client is held to firm limits. A request must arrive whole
// within the request timeout however slowly its bytes trickle in, its request line and headers
// must fit the header limit, one address may hold only so many connections at once, and every
// connection carries exactly one request (the player's HTTP/1.0 client opens one per request
// anyway), so idle keep-alive connections never hold a worker.
#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

namespace sonaro::host {

struct ConnectionLimits {
  // Time from the connection's start until the request (line, headers and body) is complete.
  std::chrono::milliseconds request_timeout{10'000};
  // Time allowed for sending the answer.
  std::chrono::milliseconds write_timeout{10'000};
  // Request line and headers together.
  size_t max_header_bytes = 8192;
  // Request body.
  size_t max_body_bytes = 16384;
  // Open connections per client address; 0: no limit.
  size_t max_connections_per_address = 32;
  // Connections served at the same time; one address may take at most half of them by default.
  size_t threads = 64;
};

// Why reading a request stopped early; the error handler turns it into the answer's status.
enum class RequestFault { kNone, kTimedOut, kHeadersTooLarge, kTooLarge };

class HttpServer : public httplib::Server {
 public:
  explicit HttpServer(const ConnectionLimits& limits);

  // Binds address:port (port 0: a free port) and starts listening. Returns the port, or -1.
  int Bind(const std::string& address, int port);

  // Accepts and serves connections until Shutdown(). False when listening fails.
  bool Serve();

  // Stops accepting; Serve() returns once the connections being served are done. Works also
  // when called before Serve() (which then returns at once).
  void Shutdown();

  // The fault of the request being handled on the calling thread.
  static RequestFault CurrentFault();

  // Tells that the answer to the request on the calling thread goes out before its body was
  // read: closing then waits a moment for the client to finish sending, since closing with
  // unread data would reset the connection and the client could lose the answer.
  static void AnswerBeforeBody();

  // The client's address as text (IPv4 dotted, IPv6 without the mapped-IPv4 prefix).
  static std::string PeerAddress(int fd);

  // The body of the answers written here without the library's help: a client over its
  // connection limit (503), or a request cut short before the library could answer (408, 431,
  // 413).
  void SetFaultPage(std::function<std::string(int status)> page) { fault_page_ = std::move(page); }

 private:
  bool process_and_close_socket(socket_t sock) override;

  std::string FaultResponse(int status) const;
  bool EnterAddress(const std::string& address);
  void LeaveAddress(const std::string& address);

  const ConnectionLimits limits_;
  std::mutex connections_mutex_;
  std::unordered_map<std::string, size_t> connections_;
  std::function<std::string(int status)> fault_page_;
};

}  // namespace sonaro::host
