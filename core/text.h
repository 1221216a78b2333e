// Text operations on GBK byte strings, and marker-delimited extraction.
//
// Positions and lengths count bytes; positions are 1-based and a failed search gives -1.
// Searches respect the double-byte encoding: a byte of 0x80 or above starts a two-byte
// character, and a match is only tried at the start of a character, so a one-byte search
// never lands on the second byte of a Chinese character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/gbk.h"

namespace sonaro::core {

// A block of bytes as received or to be written; may hold zero bytes.
using Bytes = std::string;

// The bytes up to, not including, the first zero byte (all of them if there is none), taken as
// GBK without conversion.
Text TextFromBytes(std::string_view bytes);

// The number of bytes.
std::ptrdiff_t TextLength(std::string_view text);

// 1-based position of the first occurrence of sought at a character start, or -1. An empty
// sought text is never found.
std::ptrdiff_t TextFind(std::string_view text, std::string_view sought);

// The count bytes from position start (1-based). Empty when start is below 1 or beyond the end,
// or count is 0 or less; cut at the end of the text.
Text TextMiddle(std::string_view text, std::ptrdiff_t start, std::ptrdiff_t count);

// Every occurrence of sought (found as TextFind finds it) replaced, left to right; the scan
// resumes after each replacement, so a replacement is never searched again. An empty sought text
// changes nothing.
Text TextReplaceAll(std::string_view text, std::string_view sought, std::string_view replacement);

// The pieces between separators, in order. An empty piece between two separators counts; the
// empty piece after a separator that ends the text does not; empty text gives no pieces. An empty
// separator gives the whole text as the one piece.
std::vector<Text> TextSplit(std::string_view text, std::string_view separator);

// The decimal number at the start of the text: ASCII blanks skipped, then an optional sign,
// digits with an optional decimal point (".5" and "5." count). 0 when no number starts the text.
// Independent of the C locale.
double TextToNumber(std::string_view text);

// The text after the first occurrence of start and before the first occurrence of end after it.
// Empty when start does not occur, when end does not follow it, or when end follows directly.
Text TextBetween(std::string_view text, std::string_view start, std::string_view end);

}  // namespace sonaro::core
