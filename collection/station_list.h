// The listener's station lists as files: reading M3U (plain or extended) and PLS into stations,
// keeping only stream addresses, once each and at most kMaxKeptStations; writing them back as
// extended M3U or PLS. Pure text work over bytes; names and addresses are UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sonaro::collection {

struct KeptStation {
  std::string name;     // UTF-8, one line, never empty (an unnamed station is called by address)
  std::string address;  // a stream address as StreamAddress gives it
  bool operator==(const KeptStation&) const = default;
};

// Limits: a list the program shows and saves whole, whatever a file holds.
inline constexpr size_t kMaxKeptStations = 1000;
inline constexpr size_t kMaxAddressBytes = 8192;  // as much as a page may hand the player
inline constexpr size_t kMaxNameBytes = 512;
inline constexpr size_t kMaxListFileBytes = size_t(16) << 20;

// The address as the list keeps it when it is one the player streams from: http, https, mms or
// mmsh with a host; absolute, percent-encoded, scheme and host in lower case (so that two
// spellings of one station compare equal). Nothing for files, other schemes, relative or
// malformed addresses, and addresses longer than kMaxAddressBytes.
std::optional<std::string> StreamAddress(std::string_view text);

// A name fit for one line of a list file: line breaks, tabs and control characters become
// spaces, runs of spaces one, none at either end; malformed UTF-8 replaced; at most
// kMaxNameBytes. Empty when nothing is left.
std::string CleanName(std::string_view name);

// The name a station is listed under: CleanName(name), or, when that is empty, its address.
std::string StationName(std::string_view name, std::string_view address);

enum class ListFormat {
  kEmpty,        // no bytes, or only blanks
  kM3u,          // addresses one a line, no #EXTM3U header
  kExtendedM3u,  // #EXTM3U, names from #EXTINF
  kPls,          // [playlist], FileN / TitleN
  kNotAList,     // binary, markup, an HLS stream's own playlist, or text that lists nothing
};

// What a list file gave. Counted entries are those the file names an address for.
struct ReadResult {
  ListFormat format = ListFormat::kEmpty;
  std::vector<KeptStation> stations;  // the new ones, in the file's order
  size_t duplicates = 0;              // already kept, or given before in the same file
  size_t notStreams = 0;              // files, other schemes, relative or malformed addresses
  size_t overCap = 0;                 // stream addresses left out as the list was full
  // The last line ends without a line break, or names a station that never comes: perhaps a
  // file cut off. The entries read are still given.
  bool cutShort = false;

  size_t Added() const { return stations.size(); }
  size_t LeftOut() const { return duplicates + notStreams + overCap; }
};

// Reads a station list file's bytes (M3U, extended M3U or PLS; names in UTF-8, UTF-16 with its
// mark, or GBK). A relative entry names no stream (there is no address to resolve it against).
// Stations whose address is in `kept` count as duplicates, and kept.size() of the
// kMaxKeptStations places are taken. Linear in the size of the bytes.
ReadResult ReadStationList(std::string_view bytes, std::span<const KeptStation> kept = {});

enum class ListFileType { kM3u, kPls };

// ".pls" (any case) for PLS, anything else M3U.
ListFileType ListFileTypeFor(std::string_view fileName);

// The list as a file in UTF-8 with "\n" line ends: extended M3U ("#EXTM3U", then "#EXTINF:-1,name"
// and the address for each station) or PLS ("[playlist]", FileN, TitleN, LengthN=-1, then
// NumberOfEntries and Version=2). Names are written as CleanName makes them; an entry without a
// stream address is left out. ReadStationList gives the same list back.
std::string WriteStationList(std::span<const KeptStation> stations, ListFileType type);

}  // namespace sonaro::collection
