// The demo service's answers: what a request head gets, as bytes, and for the live routes the
// feed of audio that follows them. Pure: no sockets, no clock.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/streams/plan.h"

namespace sonaro::streams {

struct Request {
  std::string method;
  std::string target;   // raw, as sent
  std::string headers;  // the header lines, lower-cased

  // Whether a Pragma header carries this directive (lower case), e.g. "xplaystrm=1".
  bool HasPragma(std::string_view directive) const;
};

// The request line and headers of a head that ends with an empty line; nullopt when malformed.
std::optional<Request> ParseRequest(std::string_view head);

// Live audio, one unit of kUnitMs after another, each ready to send.
class Feed {
 public:
  virtual ~Feed() = default;
  virtual std::string Next() = 0;
};

struct Answer {
  int status = 0;
  std::string bytes;           // status line, headers and any fixed body
  std::unique_ptr<Feed> feed;  // the endless rest of the body, or null
};

Answer Respond(const Listener& listener, std::string_view head);

// The ASX playlist of an Asx route.
std::string AsxBody(const Route& route);

}  // namespace sonaro::streams
