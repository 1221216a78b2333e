// GBK at the edges of the host. The player and its pages speak GBK; the database and the
// operator's files hold UTF-8. Conversions go through the C library's iconv. Everything the host
// sends as GBK is GBK that every reader reads: the characters GBK lacks (among them the euro sign,
// which some GBK variants put at 0x80, and the user-defined areas) are refused on the way in and
// become "?" on the way out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sonaro::host {

// True when bytes is a sequence of GBK characters: ASCII, or one of the 21,791 two-byte codes GBK
// defines. Not the single byte 0x80, unassigned or user-defined codes, or GB18030's additions.
bool IsGbk(std::string_view bytes);

// True when bytes is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsUtf8(std::string_view bytes);

// GBK to UTF-8; nothing when bytes is not GBK.
std::optional<std::string> Utf8FromGbk(std::string_view bytes);

// UTF-8 to GBK. Never fails: a character GBK lacks, and a byte that is not part of well-formed
// UTF-8, becomes "?".
std::string GbkFromUtf8(std::string_view utf8);

// UTF-8 to GBK when every character has a GBK code; nothing otherwise (or when utf8 is not
// well-formed).
std::optional<std::string> StrictGbkFromUtf8(std::string_view utf8);

// The longest start of utf8 that GbkFromUtf8 makes at most gbk_bytes of, cut between
// characters. Counts two bytes for each character that is not ASCII (a character GBK lacks, which
// becomes a one-byte "?", is counted as two all the same) and one for each byte of malformed
// UTF-8: exact for text GBK holds.
std::string_view CutToGbkBytes(std::string_view utf8, size_t gbk_bytes);

// An operator's file as the player should get it: UTF-8 (a leading byte-order mark dropped) is
// converted; anything that is not UTF-8 is taken to be GBK already and passed through, with "?"
// for what is not GBK.
std::string GbkFromOperatorFile(std::string_view bytes);

}  // namespace sonaro::host
