#include "host/streams/responses.h"

#include <algorithm>

#include "host/markup.h"
#include "host/streams/asf.h"
#include "host/streams/audio.h"

namespace sonaro::streams {

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return out;
}

class WavFeed : public Feed {
 public:
  explicit WavFeed(int frequency) : tone_(frequency) {}
  std::string Next() override { return tone_.NextUnit(); }

 private:
  Tone tone_;
};

class MmshFeed : public Feed {
 public:
  explicit MmshFeed(int frequency) : tone_(frequency) {}
  std::string Next() override {
    const std::string chunk = MmshChunk('D', sequence_, AsfPacket(sequence_, tone_.NextUnit()));
    ++sequence_;
    return chunk;
  }

 private:
  Tone tone_;
  uint32_t sequence_ = 0;
};

std::string StatusLine(int status) {
  switch (status) {
    case 200:
      return "HTTP/1.0 200 OK\r\n";
    case 400:
      return "HTTP/1.0 400 Bad Request\r\n";
    case 404:
      return "HTTP/1.0 404 Not Found\r\n";
    default:
      return "HTTP/1.0 405 Method Not Allowed\r\n";
  }
}

Answer Plain(int status, std::string_view text, bool withBody) {
  Answer answer;
  answer.status = status;
  answer.bytes = StatusLine(status) +
                 "Server: sonaro-streams\r\nContent-Type: text/plain; charset=utf-8\r\n"
                 "Content-Length: " +
                 std::to_string(text.size()) + "\r\n" +
                 (status == 405 ? "Allow: GET, HEAD\r\n" : "") + "Connection: close\r\n\r\n";
  if (withBody) answer.bytes += text;
  return answer;
}

}  // namespace

bool Request::HasPragma(std::string_view directive) const {
  size_t at = 0;
  while ((at = headers.find("pragma:", at)) != std::string::npos) {
    if (at != 0 && headers[at - 1] != '\n') {
      at += 7;
      continue;
    }
    const size_t end = headers.find('\n', at);
    std::string_view value = std::string_view(headers).substr(at + 7, end - at - 7);
    // Directives are separated by commas; spaces around them do not count.
    size_t start = 0;
    while (start <= value.size()) {
      size_t comma = value.find(',', start);
      if (comma == std::string_view::npos) comma = value.size();
      std::string_view item = value.substr(start, comma - start);
      while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
      while (!item.empty() && (item.back() == ' ' || item.back() == '\t' || item.back() == '\r')) {
        item.remove_suffix(1);
      }
      if (item == directive) return true;
      start = comma + 1;
    }
    at = end == std::string::npos ? headers.size() : end;
  }
  return false;
}

std::optional<Request> ParseRequest(std::string_view head) {
  const size_t lineEnd = head.find("\r\n");
  if (lineEnd == std::string_view::npos) return std::nullopt;
  const std::string_view line = head.substr(0, lineEnd);
  const size_t first = line.find(' ');
  const size_t last = line.rfind(' ');
  if (first == std::string_view::npos || first == last) return std::nullopt;
  Request request;
  request.method = std::string(line.substr(0, first));
  request.target = std::string(line.substr(first + 1, last - first - 1));
  const std::string_view version = line.substr(last + 1);
  if (request.method.empty() || request.target.empty() || request.target[0] != '/' ||
      !version.starts_with("HTTP/1.")) {
    return std::nullopt;
  }
  request.headers = Lower(head.substr(lineEnd + 2));
  return request;
}

std::string AsxBody(const Route& route) {
  const std::string title = host::EscapeXml(route.label);
  return "<ASX version=\"3.0\">\r\n  <Title>" + title + "</Title>\r\n  <Entry>\r\n    <Title>" +
         title + "</Title>\r\n    <Ref href=\"" + host::EscapeXml(route.ref) +
         "\" />\r\n  </Entry>\r\n</ASX>\r\n";
}

Answer Respond(const Listener& listener, std::string_view head) {
  const std::optional<Request> request = ParseRequest(head);
  if (!request) return Plain(400, "bad request\n", true);
  const bool get = request->method == "GET";
  if (!get && request->method != "HEAD") return Plain(405, "GET or HEAD only\n", true);
  const Route* route = listener.Find(request->target);
  if (!route) return Plain(404, "no station here\n", get);

  Answer answer;
  answer.status = 200;
  answer.bytes = StatusLine(200) + "Server: sonaro-streams\r\nCache-Control: no-cache\r\n";
  switch (route->kind) {
    case Kind::Http:
      answer.bytes += "Content-Type: audio/x-wav\r\nConnection: close\r\n\r\n";
      if (get) {
        answer.bytes += WavHeader();
        answer.feed = std::make_unique<WavFeed>(route->frequency);
      }
      break;
    case Kind::Asx: {
      const std::string body = AsxBody(*route);
      answer.bytes +=
          "Content-Type: video/x-ms-asf\r\nContent-Length: " + std::to_string(body.size()) +
          "\r\nConnection: close\r\n\r\n";
      if (get) answer.bytes += body;
      break;
    }
    case Kind::Mms: {
      // A client first asks for the header alone (to learn the streams), then for play.
      const bool play = request->HasPragma("xplaystrm=1");
      answer.bytes += std::string("Content-Type: ") +
                      (play ? "application/x-mms-framed" : "application/vnd.ms.wms-hdr.asfv1") +
                      "\r\nPragma: no-cache\r\nPragma: features=\"broadcast\"\r\n"
                      "Connection: close\r\n\r\n";
      if (get) {
        answer.bytes += MmshChunk('H', 0, AsfHeader());
        if (play) answer.feed = std::make_unique<MmshFeed>(route->frequency);
      }
      break;
    }
  }
  return answer;
}

}  // namespace sonaro::streams
