#include "media/http_source.h"

#include <curl/curl.h>
#include <sys/stat.h>

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/stages.h"
#include "media/icy.h"
#include "media/playlist.h"

namespace sonaro::media {

namespace {

constexpr size_t kBufferLimit = size_t(1) << 20;  // a reader this far behind pauses the transfer
constexpr long kConnectSeconds = 10;
constexpr long kStallSeconds = 30;  // no byte for this long counts as a broken stream
const char* const kUserAgent = "Sonaro/2.0 (internet radio)";

}  // namespace

namespace {

void GlobalCurlInit() {
  static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
  (void)done;
}

}  // namespace

struct HttpSource::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::string buffer;  // bytes not yet read, from `offset` on
  size_t offset = 0;
  bool finished = false;
  bool failed = false;
  bool cancelled = false;
  bool paused = false;
  bool gotBytes = false;
  std::atomic<int64_t> length{-1};
  std::string effectiveAddress;  // where the body came from, after redirects; under mutex
  std::string contentType;       // under mutex
  bool lengthRead = false;       // the transfer thread's own: read once, with the first body bytes
  IcyReader icy;                 // the transfer thread's own, set up with the length
  HttpSource::TitleHandler onTitle;         // under mutex
  std::optional<std::string> unheardTitle;  // came while nobody listened; under mutex
  CURL* easy = nullptr;
  CURLM* multi = nullptr;  // valid while the thread runs; guarded by mutex for wakeups

  size_t Pending() const { return buffer.size() - offset; }
  void Wake() {
    if (multi) curl_multi_wakeup(multi);
  }
};

namespace {

// The icy-metaint of the answer (after any redirects); 0 when it has none.
size_t MetadataInterval(CURL* easy) {
  curl_header* header = nullptr;
  if (curl_easy_header(easy, "icy-metaint", 0, CURLH_HEADER, -1, &header) != CURLHE_OK) return 0;
  const std::string_view value(header->value);
  size_t interval = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), interval);
  return error == std::errc() && end == value.data() + value.size() ? interval : 0;
}

size_t OnBody(char* data, size_t, size_t count, void* user) {
  auto* shared = static_cast<HttpSource::Shared*>(user);
  // The length is known before any reader sees a byte, so nobody takes a file for a stream.
  if (!shared->lengthRead) {
    shared->lengthRead = true;
    core::NoteStage("stream bytes");
    curl_off_t length = -1;
    if (curl_easy_getinfo(shared->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        length >= 0) {
      shared->length = int64_t(length);
    }
    shared->icy = IcyReader(MetadataInterval(shared->easy));
    const char* effective = nullptr;
    const char* type = nullptr;
    curl_easy_getinfo(shared->easy, CURLINFO_EFFECTIVE_URL, &effective);
    curl_easy_getinfo(shared->easy, CURLINFO_CONTENT_TYPE, &type);
    std::lock_guard lock(shared->mutex);
    if (effective) shared->effectiveAddress = effective;
    if (type) shared->contentType = type;
  }
  std::optional<std::string> title;
  HttpSource::TitleHandler handler;
  {
    std::lock_guard lock(shared->mutex);
    if (shared->cancelled) return 0;  // aborts the transfer
    if (shared->Pending() >= kBufferLimit) {
      shared->paused = true;
      return CURL_WRITEFUNC_PAUSE;  // the same bytes come again once unpaused
    }
    if (shared->offset > kBufferLimit) {
      shared->buffer.erase(0, shared->offset);
      shared->offset = 0;
    }
    const size_t before = shared->buffer.size();
    title = shared->icy.Feed(std::string_view(data, count), shared->buffer);
    if (shared->buffer.size() > before) {
      shared->gotBytes = true;
      shared->changed.notify_all();
    }
    if (title && shared->onTitle) {
      handler = shared->onTitle;
    } else if (title) {
      shared->unheardTitle = std::move(title);
      title.reset();
    }
  }
  // Outside the lock: the handler may take locks of its own, and readers need not wait for it.
  if (title) handler(*title);
  return count;
}

void Transfer(const std::string& address, const std::shared_ptr<HttpSource::Shared>& shared) {
  GlobalCurlInit();
  CURL* easy = curl_easy_init();
  CURLM* multi = curl_multi_init();
  if (!easy || !multi) {
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    std::lock_guard lock(shared->mutex);
    shared->finished = shared->failed = true;
    shared->changed.notify_all();
    return;
  }
  curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  if (const char* certificates = CertificateFile()) {
    curl_easy_setopt(easy, CURLOPT_CAINFO, certificates);
  }
  // The stream's title comes only to a client that asks for it.
  curl_slist* headers = curl_slist_append(nullptr, "Icy-MetaData: 1");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  // Older streaming servers answer with this status line, which libcurl would refuse as HTTP/0.9.
  curl_slist* aliases = curl_slist_append(nullptr, "ICY 200 OK");
  curl_easy_setopt(easy, CURLOPT_HTTP200ALIASES, aliases);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, shared.get());
  shared->easy = easy;
  curl_multi_add_handle(multi, easy);
  {
    std::lock_guard lock(shared->mutex);
    shared->multi = multi;
  }

  CURLcode result = CURLE_OK;
  bool done = false;
  while (!done) {
    {
      std::lock_guard lock(shared->mutex);
      if (shared->cancelled) break;
    }
    int running = 0;
    curl_multi_perform(multi, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
      if (message->msg == CURLMSG_DONE) {
        result = message->data.result;
        done = true;
      }
    }
    if (done) break;
    bool unpause = false;
    {
      std::lock_guard lock(shared->mutex);
      if (shared->paused && shared->Pending() < kBufferLimit / 2) {
        shared->paused = false;
        unpause = true;
      }
    }
    if (unpause) {
      curl_easy_pause(easy, CURLPAUSE_CONT);
      continue;
    }
    curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
  }

  {
    std::lock_guard lock(shared->mutex);
    shared->multi = nullptr;
    shared->finished = true;
    shared->failed = shared->cancelled || !done || result != CURLE_OK;
    shared->changed.notify_all();
  }
  curl_multi_remove_handle(multi, easy);
  curl_easy_cleanup(easy);
  curl_multi_cleanup(multi);
  curl_slist_free_all(headers);
  curl_slist_free_all(aliases);
}

}  // namespace

HttpSource::HttpSource(std::string address, TitleHandler onTitle)
    : address_(std::move(address)), shared_(std::make_shared<Shared>()) {
  shared_->onTitle = std::move(onTitle);
  thread_ = std::thread(&Transfer, address_, shared_);
}

HttpSource::~HttpSource() {
  Cancel();
  if (thread_.joinable()) thread_.join();
}

void HttpSource::SetTitleHandler(TitleHandler onTitle) {
  std::optional<std::string> title;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->onTitle = onTitle;
    if (onTitle) title = std::exchange(shared_->unheardTitle, std::nullopt);
  }
  if (title) onTitle(*title);
}

void HttpSource::Cancel() {
  std::lock_guard lock(shared_->mutex);
  shared_->cancelled = true;
  shared_->Wake();
  shared_->changed.notify_all();
}

int64_t HttpSource::Length() const { return shared_->length; }

std::string HttpSource::EffectiveAddress() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->effectiveAddress.empty() ? address_ : shared_->effectiveAddress;
}

std::string HttpSource::ContentType() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->contentType;
}

HttpSource::Start HttpSource::WaitForStart() {
  std::unique_lock lock(shared_->mutex);
  for (;;) {
    if (shared_->cancelled) return Start::Cancelled;
    const std::string_view head = std::string_view(shared_->buffer).substr(shared_->offset, 4096);
    if (shared_->finished && !shared_->gotBytes) return Start::Failed;
    if (shared_->gotBytes) {
      const Sniffed sniffed = SniffPlaylist(head, shared_->finished, shared_->contentType);
      if (sniffed == Sniffed::Playlist) return Start::Playlist;
      if (sniffed == Sniffed::Media) return Start::Media;
    }
    shared_->changed.wait(lock);
  }
}

std::optional<std::string> HttpSource::ReadAll(size_t limit) {
  std::unique_lock lock(shared_->mutex);
  for (;;) {
    if (shared_->cancelled) return std::nullopt;
    // A paused transfer has filled the whole buffer: more than any playlist.
    if (shared_->Pending() > limit || shared_->paused) {
      lock.unlock();
      Cancel();
      return std::nullopt;
    }
    if (shared_->finished) break;
    shared_->changed.wait(lock);
  }
  if (!shared_->gotBytes) return std::nullopt;
  std::string body = shared_->buffer.substr(shared_->offset);
  shared_->offset = shared_->buffer.size();
  return body;
}

int64_t HttpSource::Read(char* buffer, uint64_t size) {
  std::unique_lock lock(shared_->mutex);
  for (;;) {
    if (shared_->cancelled) return -1;
    const size_t pending = shared_->Pending();
    if (pending > 0) {
      const size_t count = size_t(std::min<uint64_t>(size, pending));
      std::memcpy(buffer, shared_->buffer.data() + shared_->offset, count);
      shared_->offset += count;
      if (shared_->paused && shared_->Pending() < kBufferLimit / 2) shared_->Wake();
      return int64_t(count);
    }
    if (shared_->finished) return shared_->failed ? -1 : 0;
    shared_->changed.wait(lock);
  }
}

}  // namespace sonaro::media
