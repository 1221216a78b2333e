// GBK at the edges of the host. The player and its pages speak GBK; the database and the
// operator's files hold UTF-8. Conversions go through the C library's iconv (GB18030, the
// superset the player decodes GBK with, so every GBK character round-trips exactly).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sonaro::host {

// True when bytes is a sequence of GBK characters: ASCII, the single byte 0x80 (the euro sign,
// as browsers encode it for GBK forms) or a lead byte 0x81-0xFE followed by a trail byte
// 0x40-0x7E or 0x80-0xFE. GB18030 four-byte sequences are not GBK.
bool IsGbk(std::string_view bytes);

// True when bytes is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsUtf8(std::string_view bytes);

// GBK to UTF-8; nothing when bytes is not GBK.
std::optional<std::string> Utf8FromGbk(std::string_view bytes);

// UTF-8 to the player's encoding: GBK for every character GBK has, the GB18030 four-byte form
// for the others. Never fails: a byte that is not part of well-formed UTF-8 becomes "?".
std::string GbkFromUtf8(std::string_view utf8);

// UTF-8 to GBK when every character has a GBK code; nothing otherwise (or when utf8 is not
// well-formed).
std::optional<std::string> StrictGbkFromUtf8(std::string_view utf8);

// An operator's file as the player should get it: UTF-8 (a leading byte-order mark dropped) is
// converted; anything that is not UTF-8 is taken to be GBK already and passed through.
std::string GbkFromOperatorFile(std::string_view bytes);

}  // namespace sonaro::host
