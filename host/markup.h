// Text placed into HTML and XML. Whatever a user typed is shown as text, never as markup.
#pragma once

#include <string>
#include <string_view>

namespace sonaro::host {

// For HTML text and attribute values (double or single quoted): & < > " ' as references.
std::string EscapeHtml(std::string_view text);

// For XML character data: & < > " ' as references, carriage returns as "&#13;" (a parser
// would otherwise turn CR LF into LF, and the wishes must come back as they were typed);
// control characters XML 1.0 cannot carry are dropped, so the feed stays well-formed whatever
// the store holds.
std::string EscapeXml(std::string_view text);

}  // namespace sonaro::host
