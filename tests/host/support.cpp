#include "support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "host/gbk.h"

namespace sonaro::host::test {

std::optional<std::string> HttpAnswer::Header(std::string_view name) const {
  auto lower = [](std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
  };
  for (const auto& [key, value] : headers) {
    if (lower(key) == lower(name)) return value;
  }
  return std::nullopt;
}

std::string HttpAnswer::Text() const { return Utf8FromGbk(body).value_or("<not GBK>"); }

Connection::Connection(int port, const char* from) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (from != nullptr) {
    sockaddr_in source{};
    source.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &source.sin_addr);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

Connection::~Connection() {
  if (fd_ >= 0) ::close(fd_);
}

bool Connection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string Connection::ReadAll(std::chrono::milliseconds timeout) {
  std::string data;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  char buffer[8192];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    data.append(buffer, static_cast<size_t>(n));
  }
  return data;
}

HttpAnswer ParseAnswer(std::string raw) {
  HttpAnswer answer;
  answer.raw = raw;
  size_t end = raw.find("\r\n\r\n");
  if (end == std::string::npos || !raw.starts_with("HTTP/1.")) return answer;
  std::string head = raw.substr(0, end);
  answer.body = raw.substr(end + 4);
  size_t line_end = head.find("\r\n");
  std::string status_line = head.substr(0, line_end);
  answer.status = std::atoi(status_line.substr(9, 3).c_str());
  while (line_end != std::string::npos) {
    size_t start = line_end + 2;
    line_end = head.find("\r\n", start);
    std::string line =
        head.substr(start, line_end == std::string::npos ? std::string::npos : line_end - start);
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    size_t value = line.find_first_not_of(' ', colon + 1);
    answer.headers.emplace_back(line.substr(0, colon),
                                value == std::string::npos ? "" : line.substr(value));
  }
  return answer;
}

HttpAnswer Exchange(int port, std::string_view request) {
  Connection connection(port);
  if (connection.fd() < 0 || !connection.Send(request)) return {};
  return ParseAnswer(connection.ReadAll());
}

HttpAnswer ProgramGet(int port, std::string_view path) {
  std::string request = "GET " + std::string(path) +
                        " HTTP/1.0\r\nUser-Agent: " + std::string(kProgramAgent) +
                        "\r\nAccept: */*\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
  return Exchange(port, request);
}

HttpAnswer PostForm(int port, std::string_view body, std::string_view extra_headers,
                    std::string_view content_type) {
  std::string request =
      "POST /gg/diangatai1/index.asp HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
      "\r\nUser-Agent: Mozilla/5.0 (X11; Linux x86_64) Chrome/108.0\r\n"
      "Content-Type: " +
      std::string(content_type) + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
      std::string(extra_headers) + "\r\n" + std::string(body);
  return Exchange(port, request);
}

std::string PercentEncode(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    if (std::isalnum(b) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

std::string GbkForm(std::initializer_list<std::pair<std::string_view, std::string_view>> fields) {
  std::string body;
  for (const auto& [name, value] : fields) {
    if (!body.empty()) body += '&';
    body += std::string(name) + "=" + PercentEncode(GbkFromUtf8(value));
  }
  return body;
}

std::string DedicationForm(std::string_view wishes) {
  return GbkForm({{"beichenghu", "亲爱的"},
                  {"beiname", "小红"},
                  {"geming", "月亮代表我的心"},
                  {"dizhi", "http://example.com/song.mp3"},
                  {"neirong", wishes},
                  {"dianchenghu", "你的朋友"},
                  {"dianname", "小明"}});
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("sonaro-host-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void PrintTook(std::string_view what, std::chrono::steady_clock::duration took) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
  std::printf("%.*s: %lld ms\n", static_cast<int>(what.size()), what.data(),
              static_cast<long long>(ms));
}

HostOptions TestOptions(const std::filesystem::path& data_dir) {
  HostOptions options;
  options.address = "127.0.0.1";
  options.port = 0;
  options.data_dir = data_dir;
  return options;
}

ServedHost::ServedHost(HostOptions options, std::unique_ptr<DedicationStore> store) {
  host_ = store ? std::make_unique<Host>(std::move(options), std::move(store))
                : std::make_unique<Host>(std::move(options));
  port_ = host_->Bind();
  thread_ = std::thread([this] { host_->Serve(); });
}

ServedHost::~ServedHost() {
  host_->Stop();
  thread_.join();
}

}  // namespace sonaro::host::test
