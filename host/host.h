// The service host: everything the player fetches from its one web host, and the dedication
// page it submits through.
//
//   /gengxin.html                          update page       (data folder: update.html)
//   /gg/diangatai1/xmlxianshi.asp          dedication feed   (database)
//   /gonggao.txt                           announcement      (data folder: announcement.txt)
//   /gg/diangatai1/index.asp               dedication page   (GET: the form; POST: submit)
//   /gg/gg/gg.html                         advert page       (data folder: advert.html)
//   /tessaly/shouyinji/bangzhu/01.html     help page         (data folder: help.html)
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/service_contract.h"
#include "host/data_folder.h"
#include "host/form.h"
#include "host/http_server.h"
#include "host/pages.h"
#include "host/proxies.h"
#include "host/rate_limit.h"
#include "host/store.h"

namespace sonaro::host {

// The paths the player asks for (core/service_contract.h).
inline constexpr std::string_view kUpdatePath = core::resource::kUpdatePage;
inline constexpr std::string_view kFeedPath = core::resource::kFeed;
inline constexpr std::string_view kAnnouncementPath = core::resource::kAnnouncement;
inline constexpr std::string_view kDedicationPath = core::resource::kDedicationPage;
inline constexpr std::string_view kAdvertPath = core::resource::kAdvertPage;
inline constexpr std::string_view kHelpPath = core::resource::kHelpPage;

struct HostOptions {
  std::string address = "127.0.0.1";
  int port = 8760;  // 0: any free port
  std::filesystem::path data_dir;
  // Where dedications are kept: a postgresql:// URL (a database several hosts may share), a
  // SQLite file, or empty for the data folder's SQLite file.
  std::string database;
  // Dedications in the feed: the most recent ones.
  size_t feed_size = 50;
  // Time one address has to wait between two stored submissions; 0: no limit (nor cap).
  std::chrono::milliseconds submit_interval{10'000};
  // Submissions one address may have stored within the window; 0: no cap.
  size_t submit_cap = 10;
  std::chrono::milliseconds submit_window{3'600'000};
  // Peers whose X-Forwarded-For is taken: the client's address is then its last entry (for a
  // host behind reverse proxies that set it). From anyone else, and with none named, the
  // connection's address counts.
  std::vector<AddressRange> trusted_proxies;
  FieldLimits field_limits;
  ConnectionLimits connection;
  // Turns an operator's file into what is served (GBK). Tests hold it up, to show that answers
  // never wait for it.
  OperatorFile::Convert convert_operator_file = GbkFromOperatorFile;
};

// How often the operator's files are looked at: an edit is served within about this long.
inline constexpr std::chrono::milliseconds kOperatorFileCheck{1000};

// Whether database names a PostgreSQL database rather than a SQLite file.
bool IsPostgresUrl(std::string_view database);
// database as it may be logged: a URL's password is starred out.
std::string DatabaseLabel(std::string_view database);

class Host {
 public:
  // Opens the data folder (creating it and its default files when missing) and the database
  // (options.database, by default the SQLite file in the data folder). Throws std::runtime_error
  // (StoreError included) with a message for the operator.
  explicit Host(HostOptions options);
  // The same with another store in place of the data folder's database.
  Host(HostOptions options, std::unique_ptr<DedicationStore> store);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Starts listening; returns the port. Throws std::runtime_error when the address cannot be
  // bound.
  int Bind();
  // Serves until Stop(); call after Bind(). False when serving failed rather than stopped.
  bool Serve();
  // Stops serving: Serve() returns once the connections being served are done. May be called
  // from any thread, also before Serve() (which then returns at once).
  void Stop();

  // Reads the feed from the store again, for when the database was changed from outside (which
  // Serve also notices by itself within seconds).
  void ReloadFeed();

  // The feed as it is served now.
  std::shared_ptr<const std::string> Feed() const { return feed_.load(); }

 private:
  void Route();
  // A submission in three steps: its head before the body is read, the body that could not be
  // read whole, and the whole body (on the server's slow pool: it waits on the database).
  void CheckSubmissionHead(const HttpRequest& request, HttpResponse& response);
  void RefuseIncompleteSubmission(const HttpRequest& request, HttpResponse& response,
                                  BodyFault fault);
  void RefuseWhileBusy(const HttpRequest& request, HttpResponse& response);
  void Submit(const HttpRequest& request, HttpResponse& response);
  void Refuse(const HttpRequest& request, HttpResponse& response, int status,
              std::vector<std::string> lines, const Dedication& echo);
  void AnswerPage(HttpResponse& response, int status, const PageNote& note,
                  const Dedication& values);
  std::string ClientAddress(const HttpRequest& request) const;
  void PublishFeed();
  // Keeps the feed in step with the store while serving (records kept by other hosts).
  void WatchFeed();
  // Reads the operator's files that changed, off the I/O threads.
  void RefreshOperatorFiles();
  void WatchOperatorFiles();

  HostOptions options_;
  DataFolder folder_;
  std::unique_ptr<DedicationStore> store_;
  OperatorFile update_page_;
  OperatorFile announcement_;
  OperatorFile advert_page_;
  OperatorFile help_page_;
  const SubmissionRules rules_;
  const std::shared_ptr<const std::string> empty_form_page_;  // GBK

  // The feed is rebuilt from the store after each stored dedication, one rebuild at a time.
  std::mutex feed_mutex_;
  std::vector<Dedication> recent_;  // what the feed holds, oldest first
  std::atomic<std::shared_ptr<const std::string>> feed_;
  std::atomic<std::int64_t> newest_id_{0};  // the store's newest record when the feed was read
  std::atomic<bool> watching_{false};
  std::mutex watch_mutex_;
  std::condition_variable watch_wake_;  // ends the watchers' waits when serving ends

  std::atomic<bool> stopping_{false};
  HttpServer server_;
};

}  // namespace sonaro::host
