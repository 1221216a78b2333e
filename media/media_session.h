// The sound behind a page's media player: plays the page's playlist through libmpv (audio
// only, PulseAudio) on a thread of its own.
//
// Items play in the order they were appended, from the first, each as soon as the one before
// has ended. What an address needs is found out here, as the control this replaces did:
//  - http(s): one request; if its body is an ASX or [Reference] playlist, the playlist's
//    entries play in its place (each entry's refs tried in turn, nested playlists too),
//    otherwise the same response is the stream;
//  - mms: tried as mmsh, then as mmst;
//  - mmsh, mmst, rtsp: handed to libmpv as they are; other schemes are not played.
// An address that cannot be played gives silence and nothing else. A live stream (no length)
// that ends or breaks is fetched again after 1 s, then 2, 4, ... up to 30 s between tries,
// for as long as the session lives; a try that plays for a while starts the wait at 1 s again.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace sonaro::media {

class MediaSession {
 public:
  // Told each title the playing stream sends (UTF-8), on a thread of the session's, never after
  // the session was destroyed.
  using TitleHandler = std::function<void(const std::string& title)>;

  // Starts the session's thread, which gets libmpv ready before the first item arrives.
  explicit MediaSession(TitleHandler onTitle = {});
  // Stops the sound at once; the thread winds down by itself.
  ~MediaSession();
  MediaSession(const MediaSession&) = delete;
  MediaSession& operator=(const MediaSession&) = delete;

  // Adds an address (absolute, UTF-8) to the end of the playlist.
  void Append(std::string address);

  // Waits until the threads of all ended sessions are gone (program exit, tests).
  static void JoinEnded();

  struct Core;

 private:
  std::shared_ptr<Core> core_;
  std::thread thread_;
};

}  // namespace sonaro::media
