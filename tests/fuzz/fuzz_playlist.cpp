// Fuzzes the playlist sniffing and the lenient ASX / [Reference] parser.
//
// Input: the body as a server might send it. The parser must not crash, must keep within its
// limits, must give only absolute addresses, and sniffing must settle once the body is whole.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "media/playlist.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sonaro::media;
  const std::string_view body(reinterpret_cast<const char*>(data), size);

  const Sniffed whole = SniffPlaylist(body, true);
  Check(whole != Sniffed::NeedMore);
  // A body already known to be a playlist stays one as more of it arrives.
  for (size_t cut : {size_t(1), size / 2, size}) {
    if (cut > size) continue;
    if (SniffPlaylist(body.substr(0, cut), false) == Sniffed::Playlist) {
      Check(whole == Sniffed::Playlist);
    }
  }

  const Playlist playlist = ParsePlaylist(body, "http://radio.test/dir/list.asx");
  Check(playlist.entries.size() <= kMaxPlaylistEntries);
  for (const PlaylistEntry& entry : playlist.entries) {
    Check(!entry.refs.empty());
    Check(entry.refs.size() <= kMaxRefsPerEntry);
    for (const std::string& ref : entry.refs) {
      const size_t colon = ref.find(':');
      Check(colon != std::string::npos && colon > 0);
    }
  }
  // Without a base, relative addresses are dropped, never kept as they are.
  for (const PlaylistEntry& entry : ParsePlaylist(body, "").entries) {
    for (const std::string& ref : entry.refs) Check(ref.find(':') != std::string::npos);
  }
  return 0;
}
