// A stream server on 127.0.0.1 for tests of the media player: serves fixed bodies (playlists,
// files) and endless paced streams (a radio station), records every connection as it arrived
// and can drop the streams it is sending.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace sonaro::test {

class StreamServer {
 public:
  struct Route {
    int status = 200;
    std::string contentType = "audio/mpeg";
    std::string body;
    // true: the body is sent again and again at bytesPerSecond (after a first second's
    // burst, as radio servers do), without a Content-Length, until the client or the server
    // ends the connection.
    bool endless = false;
    int bytesPerSecond = 16000;
    // Endless only, when > 0: nothing more is sent after this many bytes, the connection held
    // open (a station stalled after its burst).
    size_t stallAfter = 0;
  };

  struct Connection {
    std::string head;  // the first bytes received (a request head, or a binary greeting)
    std::string path;  // the request path; empty when the greeting was not an HTTP request
    bool open = true;  // false once either side closed it
  };

  // port 0: any free port.
  explicit StreamServer(int port = 0);
  ~StreamServer();
  StreamServer(const StreamServer&) = delete;
  StreamServer& operator=(const StreamServer&) = delete;

  bool Listening() const;
  int Port() const;
  std::string Url(const std::string& path, const std::string& scheme = "http") const;

  // Requests for other paths get 404.
  void Serve(const std::string& path, Route route);
  std::vector<Connection> Connections() const;
  // Closes every endless stream being sent now; later requests are served again.
  void DropStreams();

  struct State;

 private:
  std::shared_ptr<State> state_;
};

// An MP3 file of a sine tone made by sox: seconds long, at frequency Hz, 128 kbit/s mono.
// Empty when sox is missing.
std::string MakeToneMp3(double frequency, double seconds);

}  // namespace sonaro::test
