// The public station directory's client: finds its servers as its documentation asks (every
// address of all.api.radio-browser.info, named by reverse look-up, in random order), asks them
// in turn until one answers, and tells them which station was played. Every call blocks: for
// background threads only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "directory/stations.h"

namespace sonaro::directory {

// Sent with every request, as the directory asks of its clients.
inline constexpr const char* kUserAgent = "Sonaro/2.0";

class DirectoryClient {
 public:
  // server: one base address ("https://host[:port]"), for tests and mirrors; empty: the public
  // servers, found by DNS.
  explicit DirectoryClient(std::string server = {});
  // These servers, asked in this order.
  explicit DirectoryClient(std::vector<std::string> servers);

  // The stations whose name holds name; nullopt when no server gave an answer.
  std::optional<std::vector<DirectoryStation>> Search(const std::string& name);
  // A listener's search: the stations whose name or tag holds text, in simplified or traditional
  // characters, merged and ordered (MergeAnswers). nullopt when no server answered its first
  // request, or when abandoned (asked while waiting) said so; later requests that fail leave
  // what came before.
  std::optional<std::vector<DirectoryStation>> Find(const std::string& text,
                                                    const std::function<bool()>& abandoned = {});
  // Counts a play of the station (GET /json/url/<uuid>); its address, if the server answered.
  std::optional<std::string> Click(const std::string& uuid);

  // The servers in the order they are asked (discovered on first use).
  const std::vector<std::string>& Servers();

 private:
  // The first acceptable answer; the server that gave it is asked first from then on.
  std::optional<std::string> Get(const std::string& pathAndQuery,
                                 bool (*acceptable)(const std::string& body),
                                 const std::function<bool()>& abandoned = {});

  std::string fixed_;
  std::optional<std::vector<std::string>> servers_;
};

// https://<name> for each address a DNS name has, by reverse look-up; shuffled.
std::vector<std::string> DiscoverServers(const char* dnsName = "all.api.radio-browser.info");

}  // namespace sonaro::directory
