// The sound behind a page's media player: plays the page's playlist through libmpv (audio
// only, PulseAudio) on a thread of its own.
//
// Items play in the order they were appended, from the first, each as soon as the one before
// has ended. What an address needs is found out here, as the control this replaces did:
//  - http(s): one request; if its body is an ASX, [Reference], PLS or M3U playlist, the
//    playlist's entries play in its place (each entry's refs tried in turn, nested playlists
//    too; of a PLS or M3U only the first entry that plays), if it is an HLS playlist libmpv
//    reads it from where the request ended up (its segments over http and https only),
//    otherwise the same response is the stream. https is verified against the system's
//    certificates (or the file SSL_CERT_FILE names), never played unverified;
//  - mms: tried as mmsh, then as mmst;
//  - mmsh, mmst, rtsp: handed to libmpv as they are; other schemes are not played.
// A live stream (no length) that ends or breaks is fetched again after 1 s, then 2, 4, ... up to
// 30 s between tries; a try that plays for a while starts the wait at 1 s again. The last item,
// when nothing of it plays, is tried again the same way. After five minutes without sound the
// session gives up, until RetryNow (the network came back) or a new item.
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

  enum class State {
    Connecting,  // an item is being opened, or a dropped stream is being fetched again
    Playing,     // sound plays
    Failed,      // nothing of the item plays: every address and the retries failed
  };
  // Told each change of state, on a thread of the session's, never after it was destroyed.
  using StateHandler = std::function<void(State)>;

  // Starts the session's thread, which gets libmpv ready before the first item arrives.
  explicit MediaSession(TitleHandler onTitle = {}, StateHandler onState = {});
  // Stops the sound at once; the thread winds down by itself.
  ~MediaSession();
  MediaSession(const MediaSession&) = delete;
  MediaSession& operator=(const MediaSession&) = delete;

  // Adds an address (absolute, UTF-8) to the end of the playlist.
  void Append(std::string address);

  // Waits until the threads of all ended sessions are gone (program exit, tests).
  static void JoinEnded();

  // The network is back (or the system woke up): every session waiting to fetch its stream
  // again tries at once, also one that had given up. A session the user stopped is gone.
  static void RetryNow();

  struct Core;

 private:
  std::shared_ptr<Core> core_;
  std::thread thread_;
};

}  // namespace sonaro::media
