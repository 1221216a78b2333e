#include "host/host.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <stdexcept>

#include "host/feed.h"
#include "host/log.h"
#include "host/pages.h"

namespace sonaro::host {
namespace {

using httplib::Request;
using httplib::Response;

// Paths are matched whole and literally.
std::string LiteralPattern(std::string_view path) {
  std::string pattern;
  for (char c : path) {
    if (std::strchr(".^$|()[]{}*+?\\", c) != nullptr) pattern += '\\';
    pattern += c;
  }
  return pattern;
}

std::string_view StatusMessage(int status) {
  switch (status) {
    case 400:
      return "请求的格式不对。";
    case 404:
      return "服务器上没有这个页面。";
    case 408:
      return "在规定的时间内没有收到完整的请求。";
    case 413:
      return "提交的内容太长了。";
    case 414:
      return "网址太长了。";
    case 431:
      return "请求头太长了。";
    case 500:
      return "服务器处理请求时出错了，请稍后再试。";
    case 503:
      return "同时打开的连接太多了，请稍后再试。";
    default:
      return "请求没有成功。";
  }
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Trim(std::string_view text) {
  size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(" \t");
  return std::string(text.substr(start, end - start + 1));
}

}  // namespace

Host::Host(HostOptions options) : Host(std::move(options), nullptr) {}

Host::Host(HostOptions options, std::unique_ptr<DedicationStore> store)
    : options_(std::move(options)),
      folder_(options_.data_dir),
      store_(std::move(store)),
      update_page_(folder_.File(kUpdatePageFile)),
      announcement_(folder_.File(kAnnouncementFile)),
      advert_page_(folder_.File(kAdvertPageFile)),
      help_page_(folder_.File(kHelpPageFile)),
      limiter_({options_.submit_interval, options_.submit_cap, options_.submit_window}),
      empty_form_page_(DedicationPage(PageNote{}, Dedication{})),
      server_(options_.connection) {
  if (!store_) store_ = OpenSqliteStore(folder_.File(kDatabaseFile));
  ReloadFeed();
  Route();
}

Host::~Host() = default;

int Host::Bind() {
  int port = server_.Bind(options_.address, options_.port);
  if (port < 0) {
    throw std::runtime_error("cannot listen on " + options_.address + ":" +
                             std::to_string(options_.port) + ": " + std::strerror(errno));
  }
  return port;
}

bool Host::Serve() { return server_.Serve() || stopping_; }

void Host::Stop() {
  stopping_ = true;
  server_.Shutdown();
}

void Host::ReloadFeed() {
  std::lock_guard lock(submit_mutex_);
  recent_ = store_->Latest(options_.feed_size);
  PublishFeed();
}

void Host::PublishFeed() { feed_.store(std::make_shared<const std::string>(BuildFeed(recent_))); }

void Host::Route() {
  server_.SetFaultPage([](int status) { return StatusPage(status, StatusMessage(status)); });

  auto serve_file = [](OperatorFile& file, std::string type) {
    return [&file, type](const Request&, Response& response) {
      std::shared_ptr<const std::string> bytes = file.Get();
      if (!bytes) {
        response.status = 404;
        return;
      }
      response.set_content(*bytes, type);
      response.set_header("Cache-Control", "no-cache");
    };
  };
  const std::string html(kHtmlType);
  server_.Get(LiteralPattern(kUpdatePath), serve_file(update_page_, html));
  server_.Get(LiteralPattern(kAnnouncementPath),
              serve_file(announcement_, "text/plain; charset=GBK"));
  server_.Get(LiteralPattern(kAdvertPath), serve_file(advert_page_, html));
  server_.Get(LiteralPattern(kHelpPath), serve_file(help_page_, html));

  // The feed is built when a dedication arrives, never per request.
  server_.Get(LiteralPattern(kFeedPath), [this](const Request&, Response& response) {
    std::shared_ptr<const std::string> feed = feed_.load();
    response.set_content(*feed, "text/xml; charset=GBK");
    response.set_header("Cache-Control", "no-cache");
  });

  server_.Get(LiteralPattern(kDedicationPath), [this, html](const Request&, Response& response) {
    response.set_content(empty_form_page_, html);
    response.set_header("Cache-Control", "no-cache");
  });
  server_.Post(LiteralPattern(kDedicationPath),
               [this](const Request& request, Response& response,
                      const httplib::ContentReader& reader) { Submit(request, response, reader); });

  server_.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const Request&, Response& response) -> httplib::Server::HandlerResponse {
        // A handler's own answer stands as it is.
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        switch (HttpServer::CurrentFault()) {
          case RequestFault::kTimedOut:
            response.status = 408;
            break;
          case RequestFault::kHeadersTooLarge:
            response.status = 431;
            break;
          case RequestFault::kTooLarge:
            response.status = 413;
            break;
          case RequestFault::kNone:
            break;
        }
        response.set_content(StatusPage(response.status, StatusMessage(response.status)),
                             std::string(kHtmlType));
        return httplib::Server::HandlerResponse::Handled;
      }));
  server_.set_exception_handler(
      [](const Request& request, Response& response, std::exception_ptr error) {
        std::string what = "unknown error";
        try {
          std::rethrow_exception(error);
        } catch (const std::exception& e) {
          what = e.what();
        } catch (...) {
        }
        static LogBudget budget(20, std::chrono::seconds(1));
        Log(budget, "error while answering " + request.method + " " + request.path + ": " + what);
        response.status = 500;
        response.set_content(StatusPage(500, StatusMessage(500)), std::string(kHtmlType));
      });
}

std::string Host::ClientAddress(const Request& request) const {
  if (options_.trust_forwarded_for && request.has_header("X-Forwarded-For")) {
    // The proxy appends the address it saw; earlier entries are whatever the client claimed.
    std::string chain = request.get_header_value("X-Forwarded-For");
    size_t comma = chain.rfind(',');
    std::string last = Trim(comma == std::string::npos ? chain : chain.substr(comma + 1));
    if (!last.empty()) return last;
  }
  return request.remote_addr;
}

void Host::AnswerPage(Response& response, int status, const PageNote& note,
                      const Dedication& values) {
  response.status = status;
  response.set_content(DedicationPage(note, values), std::string(kHtmlType));
  response.set_header("Cache-Control", "no-cache");
}

void Host::Submit(const Request& request, Response& response,
                  const httplib::ContentReader& reader) {
  const std::string address = ClientAddress(request);
  auto refuse = [&](int status, std::vector<std::string> lines, const Dedication& echo) {
    static LogBudget budget(20, std::chrono::seconds(1));
    Log(budget, "refused a submission from " + address + " (" + std::to_string(status) +
                    "): " + (lines.empty() ? std::string() : lines.front()));
    AnswerPage(response, status, PageNote{PageNote::Kind::kRefused, std::move(lines)}, echo);
  };

  std::string type = Lower(request.get_header_value("Content-Type"));
  if (!type.starts_with("application/x-www-form-urlencoded")) {
    HttpServer::AnswerBeforeBody();
    refuse(415, {"提交的格式不对，请用本页的表单提交。"}, {});
    return;
  }
  const size_t max_body = options_.connection.max_body_bytes;
  auto refuse_size = [&] {
    HttpServer::AnswerBeforeBody();
    refuse(413, {"提交的内容太长了：最多" + std::to_string(max_body) + "字节。"}, {});
  };
  // Refused on the announced length alone: reading (and discarding) a huge body first would
  // keep the client waiting until it timed out.
  if (request.has_header("Content-Length")) {
    std::string length = request.get_header_value("Content-Length");
    unsigned long long announced = 0;
    auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), announced);
    if (error == std::errc::result_out_of_range ||
        (error == std::errc() && end == length.data() + length.size() && announced > max_body)) {
      refuse_size();
      return;
    }
  }
  std::string body;
  bool too_large = false;
  // A request without a length and without chunks has no body (the library would wait for
  // the connection to close).
  bool has_body = request.has_header("Content-Length") || request.has_header("Transfer-Encoding");
  bool received = !has_body || reader([&](const char* data, size_t length) {
    if (body.size() + length > max_body) {
      too_large = true;
      return false;
    }
    body.append(data, length);
    return true;
  });
  if (too_large || response.status == 413 ||
      HttpServer::CurrentFault() == RequestFault::kTooLarge) {
    refuse_size();
    return;
  }
  if (!received) {
    HttpServer::AnswerBeforeBody();
    bool timed_out = HttpServer::CurrentFault() == RequestFault::kTimedOut;
    refuse(timed_out ? 408 : 400, {"没有收到完整的提交，请再试一次。"}, {});
    return;
  }
  std::optional<FormData> form = ParseUrlEncoded(body);
  if (!form) {
    refuse(400, {"提交的数据格式不对，请用本页的表单提交。"}, {});
    return;
  }
  SubmissionReading reading = ReadSubmission(*form, options_.field_limits);
  if (!reading.dedication) {
    refuse(400, std::move(reading.problems), reading.echo);
    return;
  }
  const Dedication& dedication = *reading.dedication;

  std::int64_t id = 0;
  {
    std::lock_guard lock(submit_mutex_);
    // The board lists each wishes text once: a repeat of one it may still show would never
    // appear there.
    bool repeated = std::any_of(recent_.begin(), recent_.end(),
                                [&](const Dedication& d) { return d.wishes == dedication.wishes; });
    if (repeated) {
      refuse(409, {"这句祝福语最近已经有人送过了，点歌台上每句祝福语只显示一次，请换一句。"},
             reading.echo);
      return;
    }
    auto now = SubmissionLimiter::Clock::now();
    if (auto wait = limiter_.Take(address, now)) {
      long long seconds = (wait->count() + 999) / 1000;
      refuse(429, {"提交太频繁了，请过" + std::to_string(seconds) + "秒再提交。"}, reading.echo);
      return;
    }
    try {
      id = store_->Add(dedication, address);
    } catch (const StoreError& e) {
      limiter_.GiveBack(address, now);
      Log(std::string("cannot store a dedication: ") + e.what());
      refuse(503, {"服务器暂时无法保存点歌，请稍后再试。"}, reading.echo);
      return;
    }
    try {
      recent_ = store_->Latest(options_.feed_size);
    } catch (const StoreError& e) {
      // Stored but not readable back just now: the feed goes on from memory.
      Log(std::string("cannot read the feed back: ") + e.what());
      recent_.push_back(dedication);
      if (recent_.size() > options_.feed_size) {
        recent_.erase(recent_.begin(), recent_.begin() + static_cast<std::ptrdiff_t>(
                                                             recent_.size() - options_.feed_size));
      }
    }
    PublishFeed();
  }
  Log("stored dedication " + std::to_string(id) + " from " + address);
  AnswerPage(response, 200, PageNote{PageNote::Kind::kStored, {}}, Dedication{});
}

}  // namespace sonaro::host
