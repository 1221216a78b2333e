// What the public station directory says of its stations (its JSON, as untrusted input), and
// which of its entries is the station a row of the built-in list means.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonaro::directory {

// One entry of /json/stations/...; texts UTF-8.
struct DirectoryStation {
  std::string uuid;  // stationuuid
  std::string name;
  std::string url;          // url_resolved where given, else url: http or https only
  std::string countryCode;  // ISO 3166-1 alpha-2, upper case
  std::string language;
  std::string tags;
  std::string codec;
  int bitrate = 0;
  bool checkOk = false;  // lastcheckok: the directory's own check found it playing
  int64_t votes = 0;
  int64_t clicks = 0;
};

// Limits on what one answer may make us keep.
inline constexpr size_t kMaxAnswerBytes = size_t(4) << 20;
inline constexpr size_t kMaxStations = 500;
inline constexpr size_t kMaxFieldBytes = 2048;

// The entries of a JSON array of stations. Entries without a uuid or an http(s) address are
// dropped, texts are cut at kMaxFieldBytes, at most kMaxStations are kept; anything that is
// not such an array (an error page, a cut-off answer) gives nullopt.
std::optional<std::vector<DirectoryStation>> ParseStations(std::string_view json);

// The address /json/url/<uuid> answered with (a click), if the answer says ok.
std::optional<std::string> ParseClickAnswer(std::string_view json);

// What a row of the built-in list is called in the directory today.
struct StationQuery {
  const char* name;         // UTF-8: the name it broadcasts under
  const char* countryCode;  // "CN", "HK", "TW", "US", "FR", ...
  const char* language;     // as the directory writes it: "chinese", "cantonese", ...
};

// The entry that is the station: names equal after folding, or the directory's name holding
// the query's (a call sign or a frequency beside it). Of those: the ones the directory's check
// found working first, then those of the right country, then the exact names, then by votes
// and clicks. Null when none matches.
const DirectoryStation* ChooseStation(const std::vector<DirectoryStation>& found,
                                      const StationQuery& query);

}  // namespace sonaro::directory
