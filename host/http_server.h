// The HTTP server under the host, event-driven on Boost.Asio with Boost.Beast's request parser.
// A connection costs a file descriptor and a few kilobytes, never a thread, so idle and slow
// clients cannot starve anyone:
//   - limits are enforced at accept, before a byte is read: connections in total and per
//     address (the one over the limit gets a 503 and is closed);
//   - a request must arrive whole (line, headers, body) within a deadline counted from accept;
//   - quick routes (everything answered from memory) run on the I/O threads;
//   - slow routes (those that wait on the disk) run on a small pool with a bound on the
//     requests in flight; over it the request is answered at once, so reads always have
//     capacity however stalled the disk.
// Every connection carries exactly one request (the player opens one per request anyway) and
// every answer says "Connection: close".
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sonaro::host {

struct ConnectionLimits {
  // Time from accept until the request (line, headers and body) is complete.
  std::chrono::milliseconds request_timeout{10'000};
  // Time allowed for sending the answer.
  std::chrono::milliseconds write_timeout{10'000};
  // Request line and headers together.
  size_t max_header_bytes = 8192;
  // Request body.
  size_t max_body_bytes = 16384;
  // Open connections per client address; 0: no limit.
  size_t max_connections_per_address = 32;
  // Open connections in all; also held under the process's open-file limit.
  size_t max_connections = 4096;
  // Threads answering requests; 0: one per core.
  size_t threads = 0;
  // Slow requests (submissions) waiting or running at once; more are answered as busy.
  size_t max_slow_requests = 16;
  // Threads running slow requests.
  size_t slow_threads = 2;
};

struct HttpRequest {
  std::string method;
  std::string target;  // as sent
  std::string path;    // the target without its query, percent-decoded
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string remote_address;  // IPv4 dotted, IPv6 without the mapped-IPv4 prefix

  bool HasHeader(std::string_view name) const;
  // The first header of that name (case-insensitive); empty when missing.
  std::string Header(std::string_view name) const;
};

struct HttpResponse {
  int status = 0;  // 0: not answered
  std::string content_type;
  // Shared, so that an answer kept in memory (the feed, an operator's file) is written from that
  // very buffer, however large, without a copy per request. Null: no body.
  std::shared_ptr<const std::string> body;
  std::vector<std::pair<std::string, std::string>> headers;

  void SetContent(std::string content, std::string type) {
    SetContent(std::make_shared<const std::string>(std::move(content)), std::move(type));
  }
  void SetContent(std::shared_ptr<const std::string> content, std::string type) {
    body = std::move(content);
    content_type = std::move(type);
  }
  size_t BodySize() const { return body ? body->size() : 0; }
  void SetHeader(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
  }
};

// Why a request's body could not be read whole.
enum class BodyFault { kTooLarge, kTimedOut, kIncomplete };

class HttpServer {
 public:
  using Handler = std::function<void(const HttpRequest&, HttpResponse&)>;

  // A route taking a body. head runs on an I/O thread before the body is read: an answer it
  // sets goes out at once and the body is never read. fault answers a body that could not be
  // read, busy a request over the bound on slow requests; both run on an I/O thread. handler
  // runs on the slow pool with the whole body.
  struct PostRoute {
    Handler head;
    std::function<void(const HttpRequest&, HttpResponse&, BodyFault)> fault;
    Handler busy;
    Handler handler;
  };

  explicit HttpServer(const ConnectionLimits& limits);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Routes match the decoded path whole. A GET route answers HEAD too, without the body. Its
  // handler runs on an I/O thread: it must not wait.
  void Get(std::string path, Handler handler);
  void Post(std::string path, PostRoute route);
  // The answer for a status alone (400, 404, 408, 413, 431, 500, 503): fills the answers a
  // handler left without a body, and those given before any route is reached.
  void SetStatusPage(std::function<HttpResponse(int status)> page);
  // Called with the message of an exception a handler let out (the answer is then a 500).
  void SetErrorLog(std::function<void(const HttpRequest&, std::string_view what)> log);

  // Binds address:port (port 0: a free port) and starts listening. Returns the port, or -1
  // (errno tells why).
  int Bind(const std::string& address, int port);

  // Accepts and serves connections until Shutdown(). False when listening fails.
  bool Serve();

  // Stops accepting; Serve() returns once the connections being served are done. Works also
  // when called before Serve() (which then returns at once).
  void Shutdown();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// The head of an answer: the status line and the headers sorted by name, up to the blank line.
// Content-Type, Content-Length and "Connection: close" are added here. The body follows as it
// is (none for HEAD).
std::string SerializeHead(const HttpResponse& response);

// The path of a request target: the query and fragment cut off, %XX sequences decoded.
std::string DecodedPath(std::string_view target);

}  // namespace sonaro::host
