// Stations played from the public directory's addresses, for a build that takes them from
// there (-DSONARO_STATIONS=directory): the tree and the table still decide which rows exist and
// what they are called; the directory says where each broadcasts today.
//
// A row's address found before plays at once from the cache; one older than a week, or one that
// fails to play, is looked up again in the background. Without a cached address the row is
// looked up off the GUI thread while the status box says 正在连接…; every play is reported to
// the directory's click count. SONARO_NO_DIRECTORY=1 sends nothing to the directory (cached
// addresses still play).
#pragma once

#include <cstddef>
#include <string>

#include "radio/stations.h"

namespace sonaro::radio {

// Called by main() of a directory build before the program runs. server: one base address
// ("https://host[:port]"); empty: the public servers, found as the directory asks.
void UseStationDirectory(std::string server);
bool StationsFromDirectory();
// The server UseStationDirectory named; empty: the public servers (also in builds that play the
// station list from their hosts).
std::string DirectoryServer();
// False when SONARO_NO_DIRECTORY=1 asks that nothing be sent to the directory.
bool DirectoryAllowed();
// A station not of the list plays now (one the search found): an answer still coming for the
// list's last row is dropped, and a failing stream is no longer looked up as that row.
void OtherStationChosen();

// Plays the row at index (in the station table) from the directory's address.
void TuneFromDirectory(size_t index, const Station& station);

// The playing stream failed: a directory station played from the cache is looked up again,
// once, and played from its new address if the directory has moved it.
void DirectoryStationFailed();

}  // namespace sonaro::radio
