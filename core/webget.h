// Blocking HTTP(S) GET with the program's fixed request form.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/text.h"

namespace sonaro::core {

// Limits of one fetch. A dead or stalled host must not hold the calling thread for ever.
struct WebGetOptions {
  // Time allowed to open the connection; 0 leaves libcurl's own limit (300 s).
  std::chrono::milliseconds connectTimeout{10'000};
  // Time allowed for the whole transfer; 0 means no limit.
  std::chrono::milliseconds totalTimeout{60'000};
  // The transfer is abandoned when it runs slower than stallBytesPerSecond for stallTime;
  // a stallTime of 0 turns this off.
  long stallBytesPerSecond = 1;
  std::chrono::seconds stallTime{0};
  // A body larger than this is not kept: the fetch fails and gives no bytes.
  size_t maxBytes = size_t(256) << 20;
  // A PEM file of the certificates https trusts instead of the system's store; empty: the
  // system's store (or CertificateFile()).
  std::string caFile;
  // The User-Agent to send; empty: the program's fixed one (see WebGet).
  std::string userAgent;
  // Asked several times a second from the fetching thread while the fetch waits; true ends it
  // as StopAllFetches does (an answer nobody wants any more need not run to its time limit).
  std::function<bool()> abandoned;
};

// The certificates https is checked against: the system's (null), or the file SSL_CERT_FILE
// names, as OpenSSL's own programs read it, when that is a file.
const char* CertificateFile();

// Pages: at most 10 s to connect, 60 s in all.
inline WebGetOptions PageFetchOptions() { return WebGetOptions{}; }

// Downloads of any length: at most 10 s to connect, then going on for as long as at least one
// byte a second arrives, measured over 30 s.
inline WebGetOptions DownloadFetchOptions() {
  WebGetOptions options;
  options.totalTimeout = std::chrono::milliseconds(0);
  options.stallBytesPerSecond = 1;
  options.stallTime = std::chrono::seconds(30);
  return options;
}

// GET address over http or https as HTTP/1.0 with the User-Agent
// "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)" and "Accept: */*"; no proxy (the proxy
// environment variables are ignored), no cache, redirects followed, certificates verified.
// Gives the response body exactly as received whatever the status code; empty on any failure
// before the body, and the bytes read so far when the transfer breaks off (read error, limit).
// complete, when given, tells whether the whole body arrived.
// A fetch ended by StopAllFetches gives what arrived so far, like a transfer that broke off.
Bytes WebGet(std::string_view address, const WebGetOptions& options = PageFetchOptions(),
             bool* complete = nullptr);

// Ends every fetch in flight at once, from any thread, and makes every later one fail at once:
// closing the program must not wait for a stalled host's time limits.
void StopAllFetches();
// Lets fetches run again after StopAllFetches.
void AllowFetches();

}  // namespace sonaro::core
