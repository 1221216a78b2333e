#include "core/webget.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string_view>
#include <unordered_set>

#include "core/curl_library.h"

namespace sonaro::core {
namespace {

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
// A redirect loop must end even where no time limit applies.
constexpr long kMaxRedirects = 20;

bool IsHttps(const std::string& url) {
  static constexpr std::string_view kScheme = "https://";
  if (url.size() < kScheme.size()) return false;
  for (size_t i = 0; i < kScheme.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(url[i])) != kScheme[i]) return false;
  }
  return true;
}

struct Sink {
  Bytes body;
  size_t maxBytes = 0;
  bool tooLarge = false;
};

size_t Receive(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  size_t length = size * count;
  if (length > sink->maxBytes - sink->body.size()) {
    sink->tooLarge = true;
    return 0;  // makes libcurl abandon the transfer
  }
  sink->body.append(data, length);
  return length;
}

// Fetches in flight, so that StopAllFetches can wake each one from its wait.
struct Registry {
  std::mutex mutex;
  bool stopped = false;
  std::unordered_set<CURLM*> waiting;
};

Registry& Fetches() {
  static Registry registry;
  return registry;
}

// Runs one transfer to its end; CURLE_ABORTED_BY_CALLBACK when fetches were stopped or the
// caller abandoned this one.
CURLcode Perform(const CurlLibrary* lib, CURL* curl, const std::function<bool()>& abandoned) {
  CURLM* multi = lib->multi_init();
  if (!multi) return CURLE_OUT_OF_MEMORY;
  Registry& registry = Fetches();
  {
    std::lock_guard lock(registry.mutex);
    if (registry.stopped) {
      lib->multi_cleanup(multi);
      return CURLE_ABORTED_BY_CALLBACK;
    }
    registry.waiting.insert(multi);
  }
  CURLcode result = CURLE_ABORTED_BY_CALLBACK;
  lib->multi_add_handle(multi, curl);
  for (;;) {
    int running = 0;
    if (lib->multi_perform(multi, &running) != CURLM_OK) {
      result = CURLE_RECV_ERROR;
      break;
    }
    if (running == 0) {
      int left = 0;
      while (CURLMsg* message = lib->multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE) result = message->data.result;
      }
      break;
    }
    {
      std::lock_guard lock(registry.mutex);
      if (registry.stopped) break;
    }
    if (abandoned && abandoned()) break;
    // The time limits are libcurl's own; this wait only ends early for a wake-up, or soon
    // enough for the caller's abandoning to count.
    if (lib->multi_poll(multi, nullptr, 0, abandoned ? 200 : 1000, nullptr) != CURLM_OK) {
      result = CURLE_RECV_ERROR;
      break;
    }
  }
  {
    std::lock_guard lock(registry.mutex);
    registry.waiting.erase(multi);
  }
  lib->multi_remove_handle(multi, curl);
  lib->multi_cleanup(multi);
  return result;
}

}  // namespace

const char* CertificateFile() {
  const char* file = std::getenv("SSL_CERT_FILE");
  struct stat info {};
  return file && *file && ::stat(file, &info) == 0 && S_ISREG(info.st_mode) ? file : nullptr;
}

void StopAllFetches() {
  Registry& registry = Fetches();
  std::lock_guard lock(registry.mutex);
  registry.stopped = true;
  // The library is open whenever a fetch waits; the handles stay valid under the lock.
  if (const CurlLibrary* lib = registry.waiting.empty() ? nullptr : Curl()) {
    for (CURLM* multi : registry.waiting) lib->multi_wakeup(multi);
  }
}

void AllowFetches() {
  std::lock_guard lock(Fetches().mutex);
  Fetches().stopped = false;
}

Bytes WebGet(std::string_view address, const WebGetOptions& options, bool* complete) {
  if (complete) *complete = false;
  const CurlLibrary* lib = Curl();
  if (!lib) return Bytes();
  CURL* curl = lib->easy_init();
  if (!curl) return Bytes();
  // Spaces are sent escaped, as a browser does; libcurl would refuse the address. Other bytes
  // that cannot stand in an address, such as GBK characters, libcurl escapes itself.
  std::string url;
  for (char c : address) {
    if (c == ' ') {
      url += "%20";
    } else {
      url += c;
    }
  }
  curl_slist* headers = lib->slist_append(nullptr, "Accept: */*");
  Sink sink;
  sink.maxBytes = options.maxBytes;

  lib->easy_setopt(curl, CURLOPT_URL, url.c_str());
  lib->easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  lib->easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
  lib->easy_setopt(curl, CURLOPT_USERAGENT,
                   options.userAgent.empty() ? kUserAgent : options.userAgent.c_str());
  lib->easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  lib->easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  // A fetch that starts on https stays on it: a redirect must not hand the answer to anyone on
  // the path.
  lib->easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, IsHttps(url) ? "https" : "http,https");
  lib->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  lib->easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  // An empty proxy name overrides http_proxy, https_proxy and all_proxy: always direct.
  lib->easy_setopt(curl, CURLOPT_PROXY, "");
  lib->easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  lib->easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!options.caFile.empty()) {
    lib->easy_setopt(curl, CURLOPT_CAINFO, options.caFile.c_str());
  } else if (const char* certificates = CertificateFile()) {
    lib->easy_setopt(curl, CURLOPT_CAINFO, certificates);
  }
  // Worker threads fetch too; timeouts must not rely on signals.
  lib->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  lib->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(options.connectTimeout.count()));
  lib->easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(options.totalTimeout.count()));
  if (options.stallTime.count() > 0) {
    lib->easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, options.stallBytesPerSecond);
    lib->easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, long(options.stallTime.count()));
  }
  lib->easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Receive);
  lib->easy_setopt(curl, CURLOPT_WRITEDATA, &sink);

  // Whatever the outcome, the body holds what arrived; a failure before the body leaves it
  // empty, and a body that had to be cut off for its size is not handed on in part.
  const CURLcode result = Perform(lib, curl, options.abandoned);
  lib->easy_cleanup(curl);
  lib->slist_free_all(headers);
  if (sink.tooLarge) return Bytes();
  if (complete) *complete = result == CURLE_OK;
  return std::move(sink.body);
}

}  // namespace sonaro::core
