// What the player plays, for what shows it outside the program's windows (the desktop's media
// controls): kept by PagePlayer and by the titles the stream sends, read by app/.
#pragma once

#include <cstdint>
#include <functional>

#include "core/gbk.h"

namespace sonaro::radio {

// What the stream is doing, as the media session reports it.
enum class StreamState { Connecting, Playing, Failed };

struct NowPlaying {
  core::Text address;      // the stream played last; empty before the first Play
  core::Text displayName;  // what the station box showed for it
  core::Text title;        // the title the stream sends, while it plays and sends one
  bool playing = false;    // from Play until Close
  StreamState state = StreamState::Connecting;  // while playing: does sound come?
  uint64_t play = 0;                            // counts the Plays: tells one from the next
};

const NowPlaying& CurrentlyPlaying();

// Told after every change, on the GUI thread; one observer at a time, empty for none.
void SetNowPlayingObserver(std::function<void()> observer);
// More observers, told after that one, for as long as the program runs (what the program
// itself waits for: a station being added plays or fails).
void AddNowPlayingObserver(std::function<void()> observer);

// Kept by the player: a stream starts (its title unknown yet), or the sound ends.
void NotePlay(const core::Text& address, const core::Text& displayName);
void NoteStopped();
// The stream's handler for the titles it sends (UTF-8); taken only while something plays.
void NoteStreamTitle(const char* utf8Title);
// The stream's handler for its state (0 connecting, 1 playing, 2 failed); taken only while
// something plays.
void NoteStreamState(int state);
// What the Main window's status box says for the state: 正在连接…, nothing, 无法播放 (GBK).
core::Text StatusText(const NowPlaying& now);

}  // namespace sonaro::radio
