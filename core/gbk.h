// The one converter between GBK bytes (the program's inner text) and Qt's QString.
// Convert only where text crosses into or out of Qt widgets, pages and dialogs.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace sonaro::core {

// A text inside the program: GBK bytes, no terminating zero counted.
using Text = std::string;

// GBK (decoded as GB18030, its superset) to QString. Malformed bytes become U+FFFD.
QString FromGbk(std::string_view gbk);

// QString to GBK. Characters outside GBK are kept as GB18030 four-byte sequences, so nothing a
// user types is lost.
Text ToGbk(const QString& text);

// UTF-8 (as written in our sources) to GBK.
Text GbkFromUtf8(std::string_view utf8);

// GBK to UTF-8, the encoding of file names on the system.
std::string Utf8FromGbk(std::string_view gbk);

// One Unicode character as GBK (GB18030 four-byte form where GBK has no code for it). Empty for
// a surrogate, zero or a value beyond U+10FFFF.
Text GbkFromCodePoint(char32_t code);

}  // namespace sonaro::core
