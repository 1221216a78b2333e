// The Player page: its template and the text the player fills into it. Pure text, no Widgets.
#pragma once

#include <string_view>
#include <vector>

#include "core/gbk.h"

namespace sonaro::radio {

// The deciphered template, GBK.
core::Text PageTemplate();

// The three placeholders of the template, GBK.
const core::Text& WidthPlaceholder();     // 播放器宽度
const core::Text& HeightPlaceholder();    // 播放器高度
const core::Text& PlaylistPlaceholder();  // 播放列表数据

// An address as the inside of a double-quoted script string: the page hands exactly this
// address to the player and nothing in it can end the string, the script or the page's script
// element. Well-formed GBK characters stay as they are; quotes, backslashes, line breaks, other
// control characters, U+2028/U+2029 and '<' become escapes, and bytes that are not GBK become
// the characters the page's decoder would make of them.
core::Text ScriptStringContent(std::string_view gbkAddress);

// One line of playlist data: five spaces, playlist.appendItem(Player.newMedia("A")); and CR LF.
core::Text PlaylistLine(std::string_view gbkAddress);

// The lines of all addresses, in order.
core::Text PlaylistText(const std::vector<core::Text>& addresses);

// The template with its size placeholders filled (decimal numbers) and its playlist
// placeholder left for FillPlaylist.
core::Text PageWithSize(int width, int height);
core::Text FillPlaylist(std::string_view page, std::string_view playlistText);

}  // namespace sonaro::radio
