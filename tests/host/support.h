// Helpers for the host's tests: a raw HTTP client on loopback, form bodies, temporary data
// folders and a host served on a thread.
#pragma once

#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "host/host.h"

namespace sonaro::host::test {

using namespace std::chrono_literals;

// The request line and headers the player's HTTP client sends.
inline constexpr std::string_view kProgramAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

struct HttpAnswer {
  int status = 0;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string raw;

  // The first header of that name (case-insensitive), or nothing.
  std::optional<std::string> Header(std::string_view name) const;
  // The body as UTF-8 (it is GBK).
  std::string Text() const;
};

// A connected loopback socket, from the loopback address from (127.0.0.1 when null), so that
// one test can be many clients; closed by the destructor.
class Connection {
 public:
  explicit Connection(int port, const char* from = nullptr);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  bool Send(std::string_view bytes);
  // Everything until the server closes, or until timeout passes.
  std::string ReadAll(std::chrono::milliseconds timeout = 10s);
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// Splits a raw answer; status 0 when it is not one.
HttpAnswer ParseAnswer(std::string raw);

// Sends request as it is and reads the answer until the server closes the connection.
HttpAnswer Exchange(int port, std::string_view request);

// GET path exactly as the player asks for it: HTTP/1.0, its User-Agent, "Accept: */*".
HttpAnswer ProgramGet(int port, std::string_view path);

// POSTs body to the dedication page as a browser would; extra_headers end with CRLF each.
HttpAnswer PostForm(int port, std::string_view body, std::string_view extra_headers = "",
                    std::string_view content_type = "application/x-www-form-urlencoded");

// Every byte but unreserved ASCII as %XX.
std::string PercentEncode(std::string_view bytes);

// An urlencoded body with the values (UTF-8 here) in GBK, as a browser submits a GBK form.
std::string GbkForm(std::initializer_list<std::pair<std::string_view, std::string_view>> fields);

// A complete, valid dedication form whose wishes are wishes.
std::string DedicationForm(std::string_view wishes);

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Options for a test host: loopback, a free port, the given data folder, limits as shipped.
HostOptions TestOptions(const std::filesystem::path& data_dir);

// An answer later than this is a hang, not a slow machine: the tests bound only hangs, and print
// what they measured. How quick the host is under load is bench/host_feed.sh's to measure.
inline constexpr auto kHang = 4s;
void PrintTook(std::string_view what, std::chrono::steady_clock::duration took);

// A Host serving on its own thread until the object goes.
class ServedHost {
 public:
  explicit ServedHost(HostOptions options, std::unique_ptr<DedicationStore> store = nullptr);
  ~ServedHost();
  ServedHost(const ServedHost&) = delete;
  ServedHost& operator=(const ServedHost&) = delete;
  int port() const { return port_; }
  Host& host() { return *host_; }

 private:
  std::unique_ptr<Host> host_;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace sonaro::host::test
