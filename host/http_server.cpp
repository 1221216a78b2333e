#include "host/http_server.h"

#include "host/rate_limit.h"

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cctype>
#include <cerrno>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

namespace sonaro::host {
namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

// What a client may send after its request was answered before it was read whole is drained
// before closing, up to this much and for this long: closing with unread data would reset the
// connection, and the client could lose the answer.
constexpr size_t kMaxDrain = 1 << 20;
constexpr std::chrono::milliseconds kDrainTime{2000};
// Accepting again after the process ran out of file descriptors.
constexpr std::chrono::milliseconds kAcceptPause{100};
// Descriptors kept free for the database, the operator files and the log.
constexpr rlim_t kSpareDescriptors = 64;

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

bool LessNoCase(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
}

std::string_view Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 408:
      return "Request Timeout";
    case 409:
      return "Conflict";
    case 413:
      return "Payload Too Large";
    case 415:
      return "Unsupported Media Type";
    case 429:
      return "Too Many Requests";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Unknown";
  }
}

// Methods HTTP defines; a request with one of these that no route takes is "not found", any
// other method is a bad request.
bool KnownMethod(std::string_view method) {
  for (std::string_view known :
       {"GET", "HEAD", "POST", "PUT", "DELETE", "CONNECT", "OPTIONS", "TRACE", "PATCH"}) {
    if (method == known) return true;
  }
  return false;
}

std::string AddressText(const tcp::endpoint& endpoint) {
  net::ip::address address = endpoint.address();
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    return net::ip::make_address_v4(net::ip::v4_mapped, address.to_v6()).to_string();
  }
  return address.to_string();
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool HttpRequest::HasHeader(std::string_view name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& header) { return SameNoCase(header.first, name); });
}

std::string HttpRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (SameNoCase(key, name)) return value;
  }
  return {};
}

std::string DecodedPath(std::string_view target) {
  target = target.substr(0, target.find_first_of("?#"));
  std::string path;
  path.reserve(target.size());
  for (size_t i = 0; i < target.size(); ++i) {
    int high = 0;
    int low = 0;
    if (target[i] == '%' && i + 2 < target.size() && (high = HexDigit(target[i + 1])) >= 0 &&
        (low = HexDigit(target[i + 2])) >= 0) {
      path += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      path += target[i];
    }
  }
  return path;
}

std::string SerializeHead(const HttpResponse& response) {
  std::vector<std::pair<std::string, std::string>> headers = response.headers;
  headers.emplace_back("Connection", "close");
  headers.emplace_back("Content-Length", std::to_string(response.BodySize()));
  if (!response.content_type.empty()) headers.emplace_back("Content-Type", response.content_type);
  std::stable_sort(headers.begin(), headers.end(),
                   [](const auto& a, const auto& b) { return LessNoCase(a.first, b.first); });
  std::string out = "HTTP/1.1 " + std::to_string(response.status) + " ";
  out += Reason(response.status);
  out += "\r\n";
  for (const auto& [name, value] : headers) out += name + ": " + value + "\r\n";
  out += "\r\n";
  return out;
}

class HttpServer::Impl {
 public:
  explicit Impl(const ConnectionLimits& limits)
      : limits_(limits),
        threads_(limits.threads > 0 ? limits.threads
                                    : std::max(1u, std::thread::hardware_concurrency())),
        io_(static_cast<int>(threads_)),
        acceptor_(net::make_strand(io_)),
        accept_pause_(acceptor_.get_executor()),
        slow_(std::max<size_t>(1, limits.slow_threads)),
        max_connections_(limits.max_connections) {}

  ~Impl() { slow_.join(); }

  enum class Admission { kAdmitted, kOverAddress };
  class Session;

  const ConnectionLimits limits_;
  const size_t threads_;
  net::io_context io_;
  // On a strand of its own, with its pause: accepting, pausing and the close at shutdown never
  // run at once on two I/O threads.
  tcp::acceptor acceptor_;
  net::steady_timer accept_pause_;
  net::thread_pool slow_;
  std::atomic<size_t> slow_in_flight_{0};
  std::unordered_map<std::string, Handler> gets_;
  std::unordered_map<std::string, PostRoute> posts_;
  std::function<HttpResponse(int)> status_page_;
  std::function<void(const HttpRequest&, std::string_view)> error_log_;
  std::atomic<bool> stopping_{false};

  mutable std::mutex counts_mutex_;
  size_t max_connections_;
  size_t open_ = 0;
  std::unordered_map<std::string, size_t> per_address_;

  HttpResponse StatusAnswer(int status) const {
    HttpResponse response = status_page_ ? status_page_(status) : HttpResponse{};
    response.status = status;
    return response;
  }

  // Runs a handler; an exception becomes a 500. An answer left without a status is a 200, one
  // with an error status and no body gets the status page.
  void Run(const Handler& handler, const HttpRequest& request, HttpResponse& response) const {
    try {
      handler(request, response);
    } catch (const std::exception& e) {
      if (error_log_) error_log_(request, e.what());
      response = StatusAnswer(500);
    } catch (...) {
      if (error_log_) error_log_(request, "unknown error");
      response = StatusAnswer(500);
    }
    Complete(response);
  }

  void Complete(HttpResponse& response) const {
    if (response.status == 0) response.status = 200;
    if (response.status >= 400 && response.BodySize() == 0) {
      HttpResponse page = StatusAnswer(response.status);
      response.body = std::move(page.body);
      response.content_type = std::move(page.content_type);
    }
  }

  // Counts a connection in at accept. Nothing when the total is full: the connection is
  // closed unanswered.
  // An IPv6 client is counted by its /64 (ClientKey).
  std::optional<Admission> Enter(const std::string& address) {
    std::lock_guard lock(counts_mutex_);
    if (open_ >= max_connections_) return std::nullopt;
    ++open_;
    size_t limit = limits_.max_connections_per_address;
    if (limit > 0) {
      size_t& mine = per_address_[ClientKey(address)];
      if (mine >= limit) return Admission::kOverAddress;
      ++mine;
    }
    return Admission::kAdmitted;
  }

  void Leave(const std::string& address, Admission admission) {
    std::lock_guard lock(counts_mutex_);
    --open_;
    if (admission != Admission::kAdmitted || limits_.max_connections_per_address == 0) return;
    auto it = per_address_.find(ClientKey(address));
    if (it != per_address_.end() && --it->second == 0) per_address_.erase(it);
  }

  void Accept();
};

class HttpServer::Impl::Session : public std::enable_shared_from_this<Session> {
 public:
  Session(Impl& server, tcp::socket socket, std::string address, Admission admission)
      : server_(server),
        limits_(server.limits_),
        socket_(std::move(socket)),
        deadline_(socket_.get_executor()),
        buffer_(limits_.max_header_bytes + limits_.max_body_bytes + 4096),
        admission_(admission) {
    request_.remote_address = std::move(address);
  }

  ~Session() { server_.Leave(request_.remote_address, admission_); }

  void Start() {
    // The one deadline for the whole request, counted from accept.
    Arm(limits_.request_timeout);
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(limits_.max_header_bytes));
    // The body's limit is set once the route is known: a route's head check answers an
    // announced length first, and a GET's body is never read.
    parser_->body_limit(boost::none);
    http::async_read_header(
        socket_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code error, size_t) { self->OnHeader(error); });
  }

  // Answers a connection over its address's limit without reading from it.
  void Refuse(int status) {
    HttpResponse response = server_.StatusAnswer(status);
    if (status == 503) response.SetHeader("Retry-After", "1");
    may_still_send_ = false;
    Send(std::move(response));
  }

 private:
  bool SomethingArrived() const { return (parser_ && parser_->got_some()) || buffer_.size() > 0; }

  // Sets the connection's deadline: when it passes, whatever the connection waits for is
  // cancelled and the operation reports a timeout.
  void Arm(std::chrono::milliseconds after) {
    deadline_.expires_after(after);
    deadline_.async_wait([self = shared_from_this(), armed = ++armed_](beast::error_code error) {
      // A wait replaced by a later deadline may have completed before it was cancelled.
      if (error || armed != self->armed_) return;
      self->expired_ = true;
      beast::error_code ignored;
      self->socket_.cancel(ignored);
    });
  }

  // The error an operation ended with, a cancellation by the deadline told as a timeout.
  beast::error_code Outcome(beast::error_code error) const {
    if (expired_ && (error == net::error::operation_aborted || !error)) {
      return beast::error::timeout;
    }
    return error;
  }

  void OnHeader(beast::error_code error) {
    error = Outcome(error);
    if (error) {
      if (error == beast::error::timeout) {
        if (SomethingArrived()) return Send(server_.StatusAnswer(408));
      } else if (error == http::error::header_limit) {
        return Send(server_.StatusAnswer(431));
      } else if (error != http::error::end_of_stream && error != http::error::partial_message &&
                 error.category() != net::error::get_system_category() &&
                 error != net::error::operation_aborted) {
        return Send(server_.StatusAnswer(400));
      }
      return Close();
    }
    const auto& message = parser_->get();
    request_.method = std::string(message.method_string());
    request_.target = std::string(message.target());
    request_.path = DecodedPath(request_.target);
    for (const auto& field : message) {
      request_.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    Route(message.version());
  }

  void Route(unsigned version) {
    const std::string& method = request_.method;
    if (method == "GET" || method == "HEAD") {
      head_ = method == "HEAD";
      auto route = server_.gets_.find(request_.path);
      if (route == server_.gets_.end()) return Send(server_.StatusAnswer(404));
      HttpResponse response;
      server_.Run(route->second, request_, response);
      return Send(std::move(response));
    }
    if (method != "POST") return Send(server_.StatusAnswer(KnownMethod(method) ? 404 : 400));
    auto route = server_.posts_.find(request_.path);
    if (route == server_.posts_.end()) return Send(server_.StatusAnswer(404));
    post_ = &route->second;
    if (post_->head) {
      HttpResponse response;
      server_.Run(post_->head, request_, response);
      if (response.status != 0 && response.status != 200) return Send(std::move(response));
    }
    if (auto length = parser_->content_length(); length && *length > limits_.max_body_bytes) {
      return OnBody(http::error::body_limit);
    }
    parser_->body_limit(limits_.max_body_bytes);
    // A client waiting to be told to go on is told only now, after its head passed.
    if (version >= 11 && SameNoCase(request_.Header("Expect"), "100-continue") &&
        !parser_->is_done()) {
      static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
      return net::async_write(socket_, net::buffer(kContinue.data(), kContinue.size()),
                              [self = shared_from_this()](beast::error_code error, size_t) {
                                if (error) return self->Close();
                                self->ReadBody();
                              });
    }
    ReadBody();
  }

  void ReadBody() {
    // The deadline may have passed between two operations, cancelling neither.
    if (expired_) return OnBody(beast::error::timeout);
    http::async_read(
        socket_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code error, size_t) { self->OnBody(error); });
  }

  void OnBody(beast::error_code error) {
    error = Outcome(error);
    if (error) {
      BodyFault fault = error == http::error::body_limit ? BodyFault::kTooLarge
                        : error == beast::error::timeout ? BodyFault::kTimedOut
                                                         : BodyFault::kIncomplete;
      HttpResponse response;
      if (post_->fault) {
        server_.Run([&](const HttpRequest& request,
                        HttpResponse& answer) { post_->fault(request, answer, fault); },
                    request_, response);
      } else {
        response = server_.StatusAnswer(fault == BodyFault::kTooLarge   ? 413
                                        : fault == BodyFault::kTimedOut ? 408
                                                                        : 400);
      }
      return Send(std::move(response));
    }
    request_.body = std::move(parser_->get().body());
    // Slow requests in flight are bounded so that a stalled disk fills no more than the pool;
    // the rest are answered at once.
    if (server_.slow_in_flight_.fetch_add(1) >= limits_.max_slow_requests) {
      server_.slow_in_flight_.fetch_sub(1);
      HttpResponse response;
      if (post_->busy) {
        server_.Run(post_->busy, request_, response);
      } else {
        response = server_.StatusAnswer(503);
      }
      return Send(std::move(response));
    }
    net::post(server_.slow_, [self = shared_from_this(),
                              work = net::make_work_guard(socket_.get_executor())] {
      auto response = std::make_shared<HttpResponse>();
      self->server_.Run(self->post_->handler, self->request_, *response);
      self->server_.slow_in_flight_.fetch_sub(1);
      net::post(work.get_executor(), [self, response] { self->Send(std::move(*response)); });
    });
  }

  void Send(HttpResponse response) {
    server_.Complete(response);
    if (parser_ && !parser_->is_done()) may_still_send_ = true;
    out_head_ = SerializeHead(response);
    // Held until written: the body goes out from the handler's buffer, not a copy.
    if (!head_) out_body_ = std::move(response.body);
    std::array<net::const_buffer, 2> out = {
        net::buffer(out_head_), out_body_ ? net::buffer(*out_body_) : net::const_buffer()};
    expired_ = false;
    Arm(limits_.write_timeout);
    net::async_write(socket_, out,
                     [self = shared_from_this()](beast::error_code, size_t) { self->Close(); });
  }

  // Closes without resetting the connection: what the client still sends is read and dropped
  // for a moment when it may still be sending; otherwise only what is already there.
  void Close() {
    beast::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    buffer_.clear();
    if (!may_still_send_) {
      socket_.non_blocking(true, ignored);
      while (drained_ < kMaxDrain) {
        size_t n = socket_.read_some(buffer_.prepare(4096), ignored);
        if (ignored || n == 0) break;
        drained_ += n;
      }
      return Finish();
    }
    Arm(kDrainTime);
    Drain();
  }

  void Drain() {
    socket_.async_read_some(buffer_.prepare(4096),
                            [self = shared_from_this()](beast::error_code error, size_t n) {
                              self->drained_ += n;
                              if (error || self->drained_ >= kMaxDrain) return self->Finish();
                              self->Drain();
                            });
  }

  // The last step: nothing is pending afterwards, so the session ends.
  void Finish() {
    beast::error_code ignored;
    socket_.close(ignored);
    ++armed_;
    deadline_.cancel();
  }

  Impl& server_;
  const ConnectionLimits& limits_;
  tcp::socket socket_;
  net::steady_timer deadline_;
  unsigned armed_ = 0;
  bool expired_ = false;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  HttpRequest request_;
  const PostRoute* post_ = nullptr;
  std::string out_head_;
  std::shared_ptr<const std::string> out_body_;
  const Admission admission_;
  bool head_ = false;
  bool may_still_send_ = false;
  size_t drained_ = 0;
};

void HttpServer::Impl::Accept() {
  acceptor_.async_accept(
      net::make_strand(io_), [this](beast::error_code error, tcp::socket socket) {
        if (stopping_ || !acceptor_.is_open()) return;
        if (error) {
          // Out of descriptors or memory: wait for connections to end rather than spin.
          if (error == net::error::no_descriptors || error == net::error::no_buffer_space ||
              error == net::error::no_memory ||
              error == boost::system::errc::too_many_files_open_in_system) {
            accept_pause_.expires_after(kAcceptPause);
            accept_pause_.async_wait([this](beast::error_code waited) {
              if (!waited) Accept();
            });
            return;
          }
          return Accept();
        }
        beast::error_code unknown;
        tcp::endpoint peer = socket.remote_endpoint(unknown);
        if (!unknown) {
          std::string address = AddressText(peer);
          if (std::optional<Admission> admission = Enter(address)) {
            auto session = std::make_shared<Session>(*this, std::move(socket), address, *admission);
            if (*admission == Admission::kAdmitted) {
              session->Start();
            } else {
              session->Refuse(503);
            }
          }
        }
        Accept();
      });
}

HttpServer::HttpServer(const ConnectionLimits& limits) : impl_(std::make_unique<Impl>(limits)) {}

HttpServer::~HttpServer() = default;

void HttpServer::Get(std::string path, Handler handler) {
  impl_->gets_[std::move(path)] = std::move(handler);
}

void HttpServer::Post(std::string path, PostRoute route) {
  impl_->posts_[std::move(path)] = std::move(route);
}

void HttpServer::SetStatusPage(std::function<HttpResponse(int)> page) {
  impl_->status_page_ = std::move(page);
}

void HttpServer::SetErrorLog(std::function<void(const HttpRequest&, std::string_view)> log) {
  impl_->error_log_ = std::move(log);
}

int HttpServer::Bind(const std::string& address, int port) {
  beast::error_code error;
  net::ip::address ip = net::ip::make_address(address, error);
  if (error) {
    errno = EINVAL;
    return -1;
  }
  tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
  tcp::acceptor& acceptor = impl_->acceptor_;
  // Only SO_REUSEADDR: SO_REUSEPORT would let a second host bind the same port unnoticed and
  // take half of the connections.
  if (acceptor.open(endpoint.protocol(), error) ||
      acceptor.set_option(net::socket_base::reuse_address(true), error) ||
      acceptor.bind(endpoint, error) ||
      acceptor.listen(net::socket_base::max_listen_connections, error)) {
    errno = error.value();
    beast::error_code ignored;
    acceptor.close(ignored);
    return -1;
  }
  // Connections are bounded by the open-file limit, raised to what the system allows, as a
  // server's should be; a few descriptors stay free for the files the host opens itself.
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0) {
    if (files.rlim_cur < files.rlim_max) {
      files.rlim_cur = files.rlim_max;
      ::setrlimit(RLIMIT_NOFILE, &files);
      ::getrlimit(RLIMIT_NOFILE, &files);
    }
    if (files.rlim_cur != RLIM_INFINITY) {
      rlim_t usable = files.rlim_cur > 2 * kSpareDescriptors ? files.rlim_cur - kSpareDescriptors
                                                             : files.rlim_cur / 2;
      std::lock_guard lock(impl_->counts_mutex_);
      impl_->max_connections_ = std::min<size_t>(impl_->max_connections_, usable);
    }
  }
  return acceptor.local_endpoint().port();
}

bool HttpServer::Serve() {
  Impl& impl = *impl_;
  if (impl.stopping_) return true;
  if (!impl.acceptor_.is_open()) return false;
  net::post(impl.acceptor_.get_executor(), [&impl] { impl.Accept(); });
  std::vector<std::thread> threads;
  for (size_t i = 1; i < impl.threads_; ++i) threads.emplace_back([&impl] { impl.io_.run(); });
  impl.io_.run();
  for (std::thread& thread : threads) thread.join();
  return impl.stopping_;
}

void HttpServer::Shutdown() {
  impl_->stopping_ = true;
  // Closed on the acceptor's strand: a close from this thread could run while an I/O thread is
  // inside the accept handler.
  net::post(impl_->acceptor_.get_executor(), [impl = impl_.get()] {
    beast::error_code ignored;
    impl->acceptor_.close(ignored);
    impl->accept_pause_.cancel();
  });
}

}  // namespace sonaro::host
