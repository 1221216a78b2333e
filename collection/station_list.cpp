#include "collection/station_list.h"

#include <QString>
#include <QUrl>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <map>
#include <unordered_set>

#include "media/playlist.h"

namespace sonaro::collection {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != prefix[i]) return false;
  }
  return true;
}

bool EqualsNoCase(std::string_view text, std::string_view word) {
  return text.size() == word.size() && StartsWithNoCase(text, word);
}

bool IsStreamScheme(std::string_view scheme) {
  for (std::string_view known : {"http", "https", "mms", "mmsh"}) {
    if (EqualsNoCase(scheme, known)) return true;
  }
  return false;
}

// "name:" at the start, as URLs begin (a relative entry or a sentence has none).
bool StartsWithScheme(std::string_view line) {
  if (line.empty() || !std::isalpha(static_cast<unsigned char>(line[0]))) return false;
  for (char c : line.substr(1)) {
    if (c == ':') return true;
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') break;
  }
  return false;
}

// "#EXTINF:<length>[ key="value" …],<name>": the name follows the first comma outside quotes.
std::string_view ExtinfName(std::string_view line) {
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ',' && !quoted) return line.substr(i + 1);
  }
  const size_t comma = line.find(',');  // quotes left open: the first comma will do
  return comma == std::string_view::npos ? std::string_view() : line.substr(comma + 1);
}

// Takes entries in the order given, keeps the rules of the list: stream addresses only, each
// once, at most kMaxKeptStations with those kept already.
class Taker {
 public:
  Taker(ReadResult& result, std::span<const KeptStation> kept)
      : result_(result),
        room_(kept.size() < kMaxKeptStations ? kMaxKeptStations - kept.size() : 0) {
    seen_.reserve(kept.size());
    for (const KeptStation& station : kept) {
      seen_.insert(StreamAddress(station.address).value_or(station.address));
    }
  }

  void Take(std::string_view addressText, std::string_view name) {
    std::optional<std::string> address = StreamAddress(addressText);
    if (!address) {
      ++result_.notStreams;
      return;
    }
    // Left-out addresses are remembered too, so that each is counted once and as what it is.
    if (!seen_.insert(*address).second) {
      ++result_.duplicates;
      return;
    }
    if (result_.stations.size() >= room_) {
      ++result_.overCap;
      return;
    }
    std::string stationName = StationName(name, *address);
    result_.stations.push_back({std::move(stationName), std::move(*address)});
  }

 private:
  ReadResult& result_;
  size_t room_;
  std::unordered_set<std::string> seen_;
};

// Calls line(text, ended) for each line, trimmed; ended: a line break follows it.
template <typename Line>
void ForEachLine(std::string_view text, Line line) {
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    line(Trim(text.substr(0, end)), end != std::string_view::npos);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
}

void ReadM3u(std::string_view text, Taker& taker, ReadResult& result) {
  std::string_view name;
  bool named = false;  // an #EXTINF waits for its address
  bool hls = false;
  ForEachLine(text, [&](std::string_view line, bool ended) {
    if (line.empty() || hls) return;
    if (!ended) result.cutShort = true;
    if (StartsWithNoCase(line, "#ext-x-")) {
      hls = true;
    } else if (StartsWithNoCase(line, "#extinf:")) {
      name = ExtinfName(line);
      named = true;
    } else if (line[0] != '#') {
      taker.Take(line, name);
      name = {};
      named = false;
    }
  });
  if (named) result.cutShort = true;
  if (hls) {  // a stream's segments or variants, not stations
    result = ReadResult();
    result.format = ListFormat::kNotAList;
  }
}

void ReadPls(std::string_view text, Taker& taker, ReadResult& result) {
  struct Numbered {
    std::string_view file, title;
    bool hasFile = false;
  };
  // Entries come in the order of their numbers, whatever the order of the lines.
  std::map<uint64_t, Numbered> numbered;
  bool inPlaylist = false;
  ForEachLine(text, [&](std::string_view line, bool ended) {
    if (line.empty()) return;
    if (!ended) result.cutShort = true;
    if (line[0] == '[') {
      inPlaylist = EqualsNoCase(line, "[playlist]");
      return;
    }
    const size_t equals = line.find('=');
    if (!inPlaylist || equals == std::string_view::npos) return;
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    const bool isFile = StartsWithNoCase(key, "file"), isTitle = StartsWithNoCase(key, "title");
    if (!isFile && !isTitle) return;
    const std::string_view digits = key.substr(isFile ? 4 : 5);
    uint64_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return;
    Numbered& entry = numbered[number];
    if (isTitle) {
      entry.title = value;
    } else if (entry.hasFile) {
      ++result.duplicates;  // a second address for one number is not a station of its own
    } else {
      entry.file = value;
      entry.hasFile = true;
    }
  });
  for (const auto& [number, entry] : numbered) {
    if (entry.hasFile) taker.Take(entry.file, entry.title);
  }
}

ListFormat FormatOf(std::string_view text) {
  std::string_view first;
  ForEachLine(text, [&](std::string_view line, bool) {
    if (first.empty()) first = line;
  });
  if (first.empty()) return ListFormat::kEmpty;
  if (StartsWithNoCase(first, "#extm3u")) return ListFormat::kExtendedM3u;
  if (StartsWithNoCase(first, "[playlist]")) return ListFormat::kPls;
  if (first[0] == '#' || StartsWithScheme(first)) return ListFormat::kM3u;
  return ListFormat::kNotAList;
}

}  // namespace

std::optional<std::string> StreamAddress(std::string_view text) {
  text = Trim(text);
  if (text.empty() || text.size() > kMaxAddressBytes) return std::nullopt;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
  }
  // The scheme is looked at before the address is parsed: most of what is left out is files.
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || !IsStreamScheme(text.substr(0, colon))) {
    return std::nullopt;
  }
  const QUrl url(QString::fromUtf8(text.data(), qsizetype(text.size())), QUrl::TolerantMode);
  if (!url.isValid() || url.host().isEmpty() || !IsStreamScheme(url.scheme().toStdString())) {
    return std::nullopt;
  }
  std::string address = url.toEncoded().toStdString();
  if (address.size() > kMaxAddressBytes) return std::nullopt;
  return address;
}

std::string CleanName(std::string_view name) {
  QString text = QString::fromUtf8(name.data(), qsizetype(name.size()));
  for (QChar& c : text) {
    const char16_t u = c.unicode();
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029) c = u' ';
  }
  std::string clean = text.simplified().toStdString();
  if (clean.size() > kMaxNameBytes) {
    size_t end = kMaxNameBytes;  // the first byte left out; a character is not cut in two
    while (end > 0 && (static_cast<unsigned char>(clean[end]) & 0xC0) == 0x80) --end;
    clean.resize(end);
    while (!clean.empty() && clean.back() == ' ') clean.pop_back();
  }
  return clean;
}

// A station with no name of its own is called by its address.
std::string StationName(std::string_view name, std::string_view address) {
  std::string clean = CleanName(name);
  return clean.empty() ? CleanName(address) : clean;
}

ReadResult ReadStationList(std::string_view bytes, std::span<const KeptStation> kept) {
  const std::string text = media::PlaylistTextAsUtf8(bytes);
  ReadResult result;
  // A zero is no part of any text file: this is binary, whatever else it looks like.
  result.format = text.find('\0') != std::string::npos ? ListFormat::kNotAList : FormatOf(text);
  Taker taker(result, kept);
  switch (result.format) {
    case ListFormat::kM3u:
    case ListFormat::kExtendedM3u:
      ReadM3u(text, taker, result);
      break;
    case ListFormat::kPls:
      ReadPls(text, taker, result);
      break;
    case ListFormat::kEmpty:
    case ListFormat::kNotAList:
      break;
  }
  return result;
}

ListFileType ListFileTypeFor(std::string_view fileName) {
  const bool pls =
      fileName.size() >= 4 && EqualsNoCase(fileName.substr(fileName.size() - 4), ".pls");
  return pls ? ListFileType::kPls : ListFileType::kM3u;
}

std::string WriteStationList(std::span<const KeptStation> stations, ListFileType type) {
  std::string out = type == ListFileType::kPls ? "[playlist]\n" : "#EXTM3U\n";
  size_t number = 0;
  for (const KeptStation& station : stations) {
    const std::optional<std::string> address = StreamAddress(station.address);
    if (!address) continue;
    const std::string name = StationName(station.name, *address);
    if (type == ListFileType::kM3u) {
      out += "#EXTINF:-1," + name + "\n" + *address + "\n";
      continue;
    }
    const std::string n = std::to_string(++number);
    out += "File" + n + "=" + *address + "\nTitle" + n + "=" + name + "\nLength" + n + "=-1\n";
  }
  if (type == ListFileType::kPls) {
    out += "NumberOfEntries=" + std::to_string(number) + "\nVersion=2\n";
  }
  return out;
}

}  // namespace sonaro::collection
