// What the demo stream service serves: every row of the station table, at the address the
// player builds for it from the build's host file, grouped by the (address, port) to listen on.
#pragma once

#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/station_table.h"

namespace sonaro::streams {

enum class Kind {
  Http,  // plain HTTP audio
  Asx,   // an ASX playlist naming an HTTP stream of this service
  Mms,   // MMS over HTTP (mmsh)
};

const char* KindName(Kind kind);

struct Route {
  Kind kind = Kind::Http;
  int row = 0;               // 1-based row of the table that first names this address
  std::string label;         // UTF-8
  std::string address;       // as the player builds it, UTF-8
  int frequency = 0;         // Hz
  std::string path;          // as in the table, UTF-8
  std::string ref;           // Asx: the address of the HTTP stream the playlist names
  bool forPlaylist = false;  // the stream an Asx route names, not a row of its own
};

struct Listener {
  std::string host;  // as the host file gives it; bound only when numeric
  int port = 0;
  std::vector<Route> routes;

  // The route a request target (raw, as sent) asks for, or null. Percent escapes are decoded;
  // a non-ASCII path matches in UTF-8 and in GBK, since clients send either.
  const Route* Find(std::string_view target) const;
  // Adds a route unless its path is taken; false when it is.
  bool Add(Route route);

 private:
  std::map<std::string, size_t, std::less<>> index_;  // every accepted spelling of each path
};

struct Plan {
  std::vector<Listener> listeners;
  std::vector<std::string> problems;  // rows that cannot be served, one line each
};

// The ASX playlist of an Asx route names this path on the same listener.
std::string PlaylistStreamPath(const Route& route);

// The pitch of a row (1-based): consecutive rows are at least a fifth apart, any two pitches
// at least 8 % apart, all within what a small speaker plays.
int PitchOfRow(int row);

// Groups the rows by listener. hostOf gives the host text of a server key.
Plan BuildPlan(std::span<const core::StationRow> rows,
               const std::function<std::string_view(int)>& hostOf);

// The plan of this build's table and host file.
Plan BuildPlan();

// Decodes %XX escapes; a malformed escape stays as it is.
std::string PercentDecode(std::string_view text);

}  // namespace sonaro::streams
