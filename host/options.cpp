#include "host/options.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace sonaro::host {
namespace {

long long WholeNumber(const std::string& option, const std::string& text, long long low,
                      long long high) {
  long long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    throw UsageError(option + " wants a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not '" + text + "'");
  }
  return value;
}

std::chrono::milliseconds Seconds(const std::string& option, const std::string& text, double low,
                                  double high) {
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value) || value < low ||
      value > high) {
    throw UsageError(option + " wants a number of seconds from " + std::to_string(int(low)) +
                     " to " + std::to_string(int(high)) + ", not '" + text + "'");
  }
  return std::chrono::milliseconds(std::llround(value * 1000));
}

// "ADDRESS:PORT", "[IPv6]:PORT".
void Listen(const std::string& text, HostOptions& options) {
  size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    throw UsageError("--listen wants ADDRESS:PORT, such as 127.0.0.1:8760, not '" + text + "'");
  }
  std::string address = text.substr(0, colon);
  if (address.front() == '[') {
    if (address.size() < 3 || address.back() != ']') {
      throw UsageError("--listen: an IPv6 address goes in brackets, such as [::1]:8760");
    }
    address = address.substr(1, address.size() - 2);
  }
  // Numeric addresses only, so that starting never waits on (or leaks a query to) a resolver.
  if (address == "localhost") address = "127.0.0.1";
  unsigned char scratch[sizeof(in6_addr)];
  if (::inet_pton(AF_INET, address.c_str(), scratch) != 1 &&
      ::inet_pton(AF_INET6, address.c_str(), scratch) != 1) {
    throw UsageError(
        "--listen wants a numeric address (such as 127.0.0.1, 0.0.0.0 or [::1]), not '" + address +
        "'");
  }
  options.address = address;
  options.port = static_cast<int>(WholeNumber("--listen", text.substr(colon + 1), 0, 65535));
}

}  // namespace

std::filesystem::path DefaultDataDir() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/') {
    return std::filesystem::path(xdg) / "sonaro-host";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::filesystem::path(home) / ".local/share/sonaro-host";
  }
  return std::filesystem::current_path() / "sonaro-host-data";
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  HostOptions& o = line.options;
  bool data_given = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> inline_value;
    if (size_t eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
      inline_value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    auto flag = [&] {
      if (inline_value) throw UsageError(name + " takes no value");
    };
    auto value = [&]() -> std::string {
      if (inline_value) return *inline_value;
      if (i + 1 >= arguments.size()) throw UsageError(name + " wants a value");
      return arguments[++i];
    };
    if (name == "--help" || name == "-h") {
      flag();
      line.help = true;
    } else if (name == "--version") {
      flag();
      line.version = true;
    } else if (name == "--listen") {
      Listen(value(), o);
    } else if (name == "--data") {
      std::string dir = value();
      if (dir.empty()) throw UsageError("--data wants a folder");
      o.data_dir = dir;
      data_given = true;
    } else if (name == "--database") {
      o.database = value();
      if (o.database.empty()) throw UsageError("--database wants a postgresql:// URL or a file");
    } else if (name == "--feed-size") {
      o.feed_size = static_cast<size_t>(WholeNumber(name, value(), 1, 10000));
    } else if (name == "--submit-interval") {
      o.submit_interval = Seconds(name, value(), 0, 86400);
    } else if (name == "--submit-cap") {
      o.submit_cap = static_cast<size_t>(WholeNumber(name, value(), 0, 1'000'000));
    } else if (name == "--submit-window") {
      o.submit_window = Seconds(name, value(), 1, 30 * 86400);
    } else if (name == "--threads") {
      o.connection.threads = static_cast<size_t>(WholeNumber(name, value(), 1, 1024));
    } else if (name == "--max-connections") {
      o.connection.max_connections = static_cast<size_t>(WholeNumber(name, value(), 1, 10'000'000));
    } else if (name == "--request-timeout") {
      o.connection.request_timeout = Seconds(name, value(), 1, 3600);
      o.connection.write_timeout = o.connection.request_timeout;
    } else if (name == "--max-connections-per-address") {
      o.connection.max_connections_per_address =
          static_cast<size_t>(WholeNumber(name, value(), 0, 1'000'000));
    } else if (name == "--trust-forwarded-for") {
      flag();
      for (const AddressRange& loopback : LoopbackProxies()) o.trusted_proxies.push_back(loopback);
    } else if (name == "--trusted-proxy") {
      const std::string text = value();
      const std::optional<AddressRange> range = AddressRange::Parse(text);
      if (!range) {
        throw UsageError(
            "--trusted-proxy wants a numeric address or network (10.0.0.5, "
            "10.0.0.0/24, 2001:db8::/64), not '" +
            text + "'");
      }
      o.trusted_proxies.push_back(*range);
    } else {
      throw UsageError("unknown option '" + arguments[i] + "'");
    }
  }
  if (!data_given) o.data_dir = DefaultDataDir();
  return line;
}

std::string UsageText() {
  return R"(Usage: sonaro-host [options]
Serves Sonaro's update page, dedication feed and page, announcement, advert and help pages.

  --listen ADDRESS:PORT     where to listen: a numeric address and a port (default
                            127.0.0.1:8760; 0.0.0.0 for every interface; IPv6 as [::1]:8760;
                            port 0 picks a free one)
  --data FOLDER             data folder: database and the pages the operator edits; created
                            with default pages when missing
                            (default $XDG_DATA_HOME/sonaro-host or ~/.local/share/sonaro-host)
  --database URL|FILE       where dedications are kept: a postgresql:// URL, a database
                            several hosts may share (postgresql://user@db.example.com/sonaro),
                            or a SQLite file (default: dedications.sqlite3 in the data folder)
  --feed-size N             dedications in the feed, the most recent ones (default 50)
  --submit-interval S       seconds one address waits between two dedications (default 10;
                            0: no limit, and no cap either)
  --submit-cap N            dedications one address may submit within the window (default 10;
                            0: no cap), so that no address fills the feed alone
  --submit-window S         that window in seconds (default 3600)
  --request-timeout S       seconds a client has to send its whole request (default 10)
  --threads N               threads answering requests (default: one per core); a
                            connection costs no thread, however slow its client
  --max-connections N       open connections in all (default 4096, and at most what the
                            open-file limit allows)
  --max-connections-per-address N
                            open connections one address may hold (default 32; 0: no limit);
                            one more is answered "busy" at once
  --trusted-proxy ADDRESS[/BITS]
                            behind a reverse proxy at that address or network: take the
                            client's address from the last X-Forwarded-For entry of requests
                            that come from it (repeatable); from anyone else the header is
                            ignored
  --trust-forwarded-for     the same for a proxy on this machine (127.0.0.0/8 and ::1)
  --help                    this text
  --version                 the version

Signals: TERM or INT stops the host; HUP reads the feed from the database again.
)";
}

}  // namespace sonaro::host
