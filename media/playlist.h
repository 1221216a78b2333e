// Playlists that streaming servers hand out instead of the stream itself: ASX (XML-like,
// written by hand, parsed leniently), the "[Reference]" form, PLS ("[playlist]", FileN=) and
// M3U (plain or extended); an HLS playlist is recognised and left to the media library.
// Pure text work, no Widgets.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sonaro::media {

// What the first bytes of a response are.
enum class Sniffed {
  Media,     // anything that is not a playlist: handed to the player as it is
  Playlist,  // an ASX, [Reference], PLS or M3U playlist (HLS included)
  NeedMore,  // too few bytes to tell yet
};

// Looks at the first bytes of a body. complete: these are all the bytes there will be, so
// NeedMore is never the answer. The body decides; a playlist's Content-Type (contentType, as
// the server sent it) only lets a text body that no other sign gives away count as one.
Sniffed SniffPlaylist(std::string_view head, bool complete, std::string_view contentType = {});

// Whether a Content-Type names a PLS or M3U playlist (parameters and case ignored).
bool IsPlaylistContentType(std::string_view contentType);

// One item of a playlist: addresses of the same media, tried in turn until one plays.
struct PlaylistEntry {
  std::vector<std::string> refs;  // absolute, percent-encoded UTF-8 addresses
  std::string title;              // UTF-8; what #EXTINF or TitleN= called it, if anything
};

struct Playlist {
  std::vector<PlaylistEntry> entries;  // played one after the other
  // PLS and M3U list the same station's addresses: the first entry that plays is the station,
  // the rest are not played after it.
  bool alternatives = false;
  // An HLS playlist (a line "#EXT-X-…"): no entries; the media library plays its address.
  bool hls = false;
};

// Limits that keep a hostile playlist small.
inline constexpr size_t kMaxPlaylistEntries = 1000;
inline constexpr size_t kMaxRefsPerEntry = 32;

// Parses an ASX or [Reference] playlist. The body may be UTF-8, UTF-16 (with its BOM) or GBK;
// tags and attribute names in any case, attribute values quoted with either quote or not at
// all, entities optional (a bare '&' stays a '&'). Relative addresses are resolved against
// baseAddress (and an ASX <base href>). A nested playlist (<entryref href> or a ref that
// names one) stays an ordinary address: whoever plays it finds out what it is. In the
// [Reference] form all refs are one entry; an http ref there is a Windows Media server's
// stream, so its mmsh:// form is tried before the address itself. Unparseable input gives
// no entries. PLS entries come in the order of their numbers, M3U entries in the order of their
// lines; names in UTF-8 or GBK; comment lines and lines that give no address are skipped.
Playlist ParsePlaylist(std::string_view body, std::string_view baseAddress);

// A playlist's bytes as UTF-8 text, decoded as ParsePlaylist decodes them: by the byte order
// mark (UTF-8, UTF-16) if there is one, else UTF-8 when the bytes are (a character cut off at the
// very end is dropped), else GBK. For readers of other list files that take names the same way.
std::string PlaylistTextAsUtf8(std::string_view body);

}  // namespace sonaro::media
