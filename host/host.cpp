#include "host/host.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "host/feed.h"
#include "host/log.h"
#include "host/pages.h"

namespace sonaro::host {
namespace {

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

std::unique_ptr<DedicationStore> OpenStore(const std::string& database, const DataFolder& folder) {
  if (IsPostgresUrl(database)) return OpenPostgresStore(database);
  if (!database.empty()) return OpenSqliteStore(database);
  return OpenSqliteStore(folder.File(kDatabaseFile));
}

}  // namespace

bool IsPostgresUrl(std::string_view database) {
  return database.starts_with("postgresql://") || database.starts_with("postgres://");
}

std::string DatabaseLabel(std::string_view database) {
  if (!IsPostgresUrl(database)) return std::string(database);
  // Every way a URL can carry a password stays out of the log: user:secret@, :secret@ and
  // password=secret among the parameters.
  std::string label(database);
  const size_t scheme = label.find("://") + 3;
  const size_t authorityEnd = std::min(label.find_first_of("/?", scheme), label.size());
  const size_t at =
      label.rfind('@', authorityEnd == label.size() ? std::string::npos : authorityEnd);
  if (at != std::string::npos && at >= scheme) {
    const size_t colon = label.find(':', scheme);
    if (colon < at) label.replace(colon + 1, at - colon - 1, "***");
  }
  const size_t query = label.find('?');
  for (size_t at_key = query; at_key != std::string::npos && at_key < label.size();
       at_key = label.find('&', at_key + 1)) {
    const size_t key = at_key + 1;
    const size_t equals = label.find('=', key);
    const size_t end = std::min(label.find('&', key), label.size());
    if (equals == std::string::npos || equals > end) continue;
    std::string name = label.substr(key, equals - key);
    for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (name == "password") label.replace(equals + 1, end - equals - 1, "***");
  }
  return label;
}

Host::Host(HostOptions options) : Host(std::move(options), nullptr) {}

Host::Host(HostOptions options, std::unique_ptr<DedicationStore> store)
    : options_(std::move(options)),
      folder_(options_.data_dir),
      store_(std::move(store)),
      update_page_(folder_.File(kUpdatePageFile), kPageMaxBytes, options_.convert_operator_file),
      announcement_(folder_.File(kAnnouncementFile), kAnnouncementMaxBytes,
                    options_.convert_operator_file),
      advert_page_(folder_.File(kAdvertPageFile), kPageMaxBytes, options_.convert_operator_file),
      help_page_(folder_.File(kHelpPageFile), kPageMaxBytes, options_.convert_operator_file),
      rules_{options_.submit_interval, options_.submit_cap, options_.submit_window},
      empty_form_page_(
          std::make_shared<const std::string>(DedicationPage(PageNote{}, Dedication{}))),
      server_(options_.connection) {
  if (!store_) store_ = OpenStore(options_.database, folder_);
  ReloadFeed();
  RefreshOperatorFiles();
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

bool Host::Serve() {
  watching_ = true;
  std::thread watcher([this] { WatchFeed(); });
  std::thread refresher([this] { WatchOperatorFiles(); });
  bool served = server_.Serve();
  {
    std::lock_guard lock(watch_mutex_);
    watching_ = false;
  }
  watch_wake_.notify_all();
  watcher.join();
  refresher.join();
  return served || stopping_;
}

void Host::WatchFeed() {
  // Other hosts on the same database announce their records; a check every few seconds
  // covers news that got lost and records written by other means.
  constexpr std::chrono::milliseconds kStep{500};
  constexpr std::chrono::seconds kCheckEvery{5};
  static LogBudget budget(5, std::chrono::seconds(60));
  auto last_check = std::chrono::steady_clock::now();
  while (watching_) {
    bool news = false;
    if (store_->HearsNews()) {
      news = store_->WaitForNews(kStep);
    } else {
      std::unique_lock lock(watch_mutex_);
      watch_wake_.wait_until(lock, last_check + kCheckEvery, [this] { return !watching_; });
    }
    auto now = std::chrono::steady_clock::now();
    if (!watching_ || (!news && now - last_check < kCheckEvery)) continue;
    last_check = now;
    try {
      if (store_->NewestId() != newest_id_) ReloadFeed();
    } catch (const StoreError& e) {
      Log(budget, std::string("cannot check the feed (serving the last one read): ") + e.what());
    }
  }
}

void Host::RefreshOperatorFiles() {
  for (OperatorFile* file : {&update_page_, &announcement_, &advert_page_, &help_page_}) {
    try {
      file->Refresh();
    } catch (const std::exception& e) {
      Log(std::string("cannot read an operator's file (serving what was read before): ") +
          e.what());
    }
  }
}

void Host::WatchOperatorFiles() {
  std::unique_lock lock(watch_mutex_);
  while (!watch_wake_.wait_for(lock, kOperatorFileCheck, [this] { return !watching_; })) {
    lock.unlock();
    RefreshOperatorFiles();
    lock.lock();
  }
}

void Host::Stop() {
  stopping_ = true;
  server_.Shutdown();
}

void Host::ReloadFeed() {
  std::lock_guard lock(feed_mutex_);
  // The id first: a record kept in between is in the feed read, and only makes the next check
  // read it again.
  std::int64_t newest = store_->NewestId();
  recent_ = store_->Latest(options_.feed_size);
  newest_id_ = newest;
  PublishFeed();
}

void Host::PublishFeed() {
  feed_.store(std::make_shared<const std::string>(BuildFeed(recent_, options_.field_limits)));
}

void Host::Route() {
  server_.SetStatusPage([](int status) {
    HttpResponse response;
    response.SetContent(StatusPage(status, StatusMessage(status)), std::string(kHtmlType));
    return response;
  });
  server_.SetErrorLog([](const HttpRequest& request, std::string_view what) {
    static LogBudget budget(20, std::chrono::seconds(1));
    Log(budget,
        "error while answering " + request.method + " " + request.path + ": " + std::string(what));
  });

  // Every GET is answered from memory, from a buffer shared with every other answer of the same
  // bytes. The operator's files are read on a thread of their own.
  auto serve_file = [](OperatorFile& file, std::string type) {
    return [&file, type](const HttpRequest&, HttpResponse& response) {
      std::shared_ptr<const std::string> bytes = file.Current();
      if (!bytes) {
        response.status = 404;
        return;
      }
      response.SetContent(std::move(bytes), type);
      response.SetHeader("Cache-Control", "no-cache");
    };
  };
  const std::string html(kHtmlType);
  server_.Get(std::string(kUpdatePath), serve_file(update_page_, html));
  server_.Get(std::string(kAnnouncementPath), serve_file(announcement_, "text/plain; charset=GBK"));
  server_.Get(std::string(kAdvertPath), serve_file(advert_page_, html));
  server_.Get(std::string(kHelpPath), serve_file(help_page_, html));

  // The feed is built when a dedication arrives, never per request.
  server_.Get(std::string(kFeedPath), [this](const HttpRequest&, HttpResponse& response) {
    response.SetContent(feed_.load(), "text/xml; charset=GBK");
    response.SetHeader("Cache-Control", "no-cache");
  });

  server_.Get(std::string(kDedicationPath),
              [this, html](const HttpRequest&, HttpResponse& response) {
                response.SetContent(empty_form_page_, html);
                response.SetHeader("Cache-Control", "no-cache");
              });
  HttpServer::PostRoute submission;
  submission.head = [this](const HttpRequest& request, HttpResponse& response) {
    CheckSubmissionHead(request, response);
  };
  submission.fault = [this](const HttpRequest& request, HttpResponse& response, BodyFault fault) {
    RefuseIncompleteSubmission(request, response, fault);
  };
  submission.busy = [this](const HttpRequest& request, HttpResponse& response) {
    RefuseWhileBusy(request, response);
  };
  submission.handler = [this](const HttpRequest& request, HttpResponse& response) {
    Submit(request, response);
  };
  server_.Post(std::string(kDedicationPath), std::move(submission));
}

std::string Host::ClientAddress(const HttpRequest& request) const {
  if (!request.HasHeader("X-Forwarded-For")) return request.remote_address;
  const bool trusted = std::any_of(
      options_.trusted_proxies.begin(), options_.trusted_proxies.end(),
      [&](const AddressRange& proxy) { return proxy.Contains(request.remote_address); });
  if (!trusted) {
    // Said, so that a proxy left out of --trusted-proxy does not go unnoticed: all its clients
    // would share its address and its submission limits.
    if (!options_.trusted_proxies.empty()) {
      static LogBudget budget(1, std::chrono::seconds(60));
      Log(budget, "X-Forwarded-For from " + request.remote_address +
                      " ignored: not a trusted proxy (--trusted-proxy)");
    }
    return request.remote_address;
  }
  // The proxy appends the address it saw; earlier entries (and earlier header lines, which
  // count as one list) are whatever the client claimed.
  std::string chain;
  for (const auto& [name, value] : request.headers) {
    if (Lower(name) == "x-forwarded-for") chain = value;
  }
  size_t comma = chain.rfind(',');
  std::string last = Trim(comma == std::string::npos ? chain : chain.substr(comma + 1));
  return last.empty() ? request.remote_address : last;
}

void Host::AnswerPage(HttpResponse& response, int status, const PageNote& note,
                      const Dedication& values) {
  response.status = status;
  response.SetContent(DedicationPage(note, values), std::string(kHtmlType));
  response.SetHeader("Cache-Control", "no-cache");
}

void Host::Refuse(const HttpRequest& request, HttpResponse& response, int status,
                  std::vector<std::string> lines, const Dedication& echo) {
  static LogBudget budget(20, std::chrono::seconds(1));
  Log(budget, "refused a submission from " + ClientAddress(request) + " (" +
                  std::to_string(status) + "): " + (lines.empty() ? std::string() : lines.front()));
  AnswerPage(response, status, PageNote{PageNote::Kind::kRefused, std::move(lines)}, echo);
}

void Host::CheckSubmissionHead(const HttpRequest& request, HttpResponse& response) {
  std::string type = Lower(request.Header("Content-Type"));
  if (!type.starts_with("application/x-www-form-urlencoded")) {
    Refuse(request, response, 415, {"提交的格式不对，请用本页的表单提交。"}, {});
    return;
  }
  // Refused on the announced length alone: reading (and discarding) a huge body first would
  // keep the client waiting until it timed out.
  if (request.HasHeader("Content-Length")) {
    std::string length = request.Header("Content-Length");
    unsigned long long announced = 0;
    auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), announced);
    if (error == std::errc::result_out_of_range ||
        (error == std::errc() && end == length.data() + length.size() &&
         announced > options_.connection.max_body_bytes)) {
      RefuseIncompleteSubmission(request, response, BodyFault::kTooLarge);
    }
  }
}

void Host::RefuseIncompleteSubmission(const HttpRequest& request, HttpResponse& response,
                                      BodyFault fault) {
  if (fault == BodyFault::kTooLarge) {
    Refuse(
        request, response, 413,
        {"提交的内容太长了：最多" + std::to_string(options_.connection.max_body_bytes) + "字节。"},
        {});
    return;
  }
  Refuse(request, response, fault == BodyFault::kTimedOut ? 408 : 400,
         {"没有收到完整的提交，请再试一次。"}, {});
}

void Host::RefuseWhileBusy(const HttpRequest& request, HttpResponse& response) {
  // The values go back into the form, so that sending again later is one click.
  Dedication echo;
  if (std::optional<FormData> form = ParseUrlEncoded(request.body)) {
    echo = ReadSubmission(*form, options_.field_limits).echo;
  }
  Refuse(request, response, 503, {"服务器暂时无法保存点歌，请稍后再试。"}, echo);
  response.SetHeader("Retry-After", "1");
}

void Host::Submit(const HttpRequest& request, HttpResponse& response) {
  const std::string address = ClientAddress(request);
  std::optional<FormData> form = ParseUrlEncoded(request.body);
  if (!form) {
    Refuse(request, response, 400, {"提交的数据格式不对，请用本页的表单提交。"}, {});
    return;
  }
  SubmissionReading reading = ReadSubmission(*form, options_.field_limits);
  if (!reading.dedication) {
    Refuse(request, response, 400, std::move(reading.problems), reading.echo);
    return;
  }
  const Dedication& dedication = *reading.dedication;

  // The store checks and keeps it in one step, in the same order for every host sharing it.
  Submission result;
  try {
    result = store_->Submit(dedication, ClientKey(address), rules_, options_.feed_size);
  } catch (const StoreError& e) {
    Log(std::string("cannot store a dedication: ") + e.what());
    Refuse(request, response, 503, {"服务器暂时无法保存点歌，请稍后再试。"}, reading.echo);
    return;
  }
  switch (result.outcome) {
    case Submission::Outcome::kRepeated:
      // The board lists each wishes text once: a repeat of one it may still show would never
      // appear there.
      Refuse(request, response, 409,
             {"这句祝福语最近已经有人送过了，点歌台上每句祝福语只显示一次，请换一句。"},
             reading.echo);
      return;
    case Submission::Outcome::kTooSoon: {
      long long seconds = (result.wait.count() + 999) / 1000;
      Refuse(request, response, 429,
             {"提交太频繁了，请过" + std::to_string(seconds) + "秒再提交。"}, reading.echo);
      return;
    }
    case Submission::Outcome::kStored:
      break;
  }
  {
    std::lock_guard lock(feed_mutex_);
    try {
      std::int64_t newest = store_->NewestId();
      recent_ = store_->Latest(options_.feed_size);
      newest_id_ = newest;
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
  const std::int64_t id = result.id;
  Log("stored dedication " + std::to_string(id) + " from " + address);
  AnswerPage(response, 200, PageNote{PageNote::Kind::kStored, {}}, Dedication{});
}

}  // namespace sonaro::host
