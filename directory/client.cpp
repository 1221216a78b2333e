#include "directory/client.h"

#include <netdb.h>
#include <sys/socket.h>

#include <QUrl>
#include <algorithm>
#include <random>
#include <set>

#include "core/webget.h"
#include "directory/search_results.h"

namespace sonaro::directory {

namespace {

core::WebGetOptions DirectoryFetch() {
  core::WebGetOptions options;
  options.connectTimeout = std::chrono::seconds(4);
  options.totalTimeout = std::chrono::seconds(10);
  options.maxBytes = kMaxAnswerBytes;
  options.userAgent = kUserAgent;
  return options;
}

std::string Encoded(const std::string& text) {
  return QUrl::toPercentEncoding(QString::fromStdString(text)).toStdString();
}

}  // namespace

std::vector<std::string> DiscoverServers(const char* dnsName) {
  std::vector<std::string> servers;
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(dnsName, nullptr, &hints, &found) != 0) return servers;
  std::set<std::string> names;
  for (addrinfo* at = found; at && names.size() < 32; at = at->ai_next) {
    char host[NI_MAXHOST];
    if (::getnameinfo(at->ai_addr, at->ai_addrlen, host, sizeof host, nullptr, 0, NI_NAMEREQD) ==
        0) {
      names.insert(host);
    }
  }
  ::freeaddrinfo(found);
  for (const std::string& name : names) servers.push_back("https://" + name);
  std::shuffle(servers.begin(), servers.end(), std::mt19937(std::random_device{}()));
  return servers;
}

DirectoryClient::DirectoryClient(std::string server) : fixed_(std::move(server)) {
  while (!fixed_.empty() && fixed_.back() == '/') fixed_.pop_back();
}

DirectoryClient::DirectoryClient(std::vector<std::string> servers) : servers_(std::move(servers)) {}

const std::vector<std::string>& DirectoryClient::Servers() {
  if (!servers_) servers_ = fixed_.empty() ? DiscoverServers() : std::vector{fixed_};
  return *servers_;
}

std::optional<std::string> DirectoryClient::Get(const std::string& pathAndQuery,
                                                bool (*acceptable)(const std::string&),
                                                const std::function<bool()>& abandoned) {
  core::WebGetOptions options = DirectoryFetch();
  options.abandoned = abandoned;
  Servers();
  std::vector<std::string>& servers = *servers_;
  for (auto server = servers.begin(); server != servers.end(); ++server) {
    if (abandoned && abandoned()) return std::nullopt;
    bool complete = false;
    const core::Bytes body = core::WebGet(*server + pathAndQuery, options, &complete);
    if (!complete || !acceptable(body)) continue;
    // A server that did not answer would cost each later request its connect time again.
    std::rotate(servers.begin(), server, server + 1);
    return body;
  }
  return std::nullopt;
}

std::optional<std::vector<DirectoryStation>> DirectoryClient::Find(
    const std::string& text, const std::function<bool()>& abandoned) {
  std::vector<std::vector<DirectoryStation>> answers;
  for (const std::string& request : SearchRequests(text)) {
    const std::optional<std::string> body = Get(
        request, [](const std::string& json) { return ParseStations(json).has_value(); },
        abandoned);
    if (abandoned && abandoned()) return std::nullopt;
    if (!body) {
      if (answers.empty()) return std::nullopt;
      break;  // the rest would wait as long again
    }
    answers.push_back(*ParseStations(*body));
  }
  return MergeAnswers(answers, text);
}

std::optional<std::vector<DirectoryStation>> DirectoryClient::Search(const std::string& name) {
  const std::optional<std::string> body =
      Get("/json/stations/search?name=" + Encoded(name) +
              "&hidebroken=false&order=clickcount&reverse=true&limit=100",
          [](const std::string& text) { return ParseStations(text).has_value(); });
  if (!body) return std::nullopt;
  return ParseStations(*body);
}

std::optional<std::string> DirectoryClient::Click(const std::string& uuid) {
  const std::optional<std::string> body =
      Get("/json/url/" + Encoded(uuid),
          [](const std::string& text) { return ParseClickAnswer(text).has_value(); });
  if (!body) return std::nullopt;
  return ParseClickAnswer(*body);
}

}  // namespace sonaro::directory
