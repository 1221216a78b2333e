// What the player plays, for what shows it outside the program's windows (the desktop's media
// controls): kept by PagePlayer and by the titles the stream sends, read by app/.
#pragma once

#include <cstdint>
#include <functional>

#include "core/gbk.h"

namespace sonaro::radio {

struct NowPlaying {
  core::Text address;      // the stream played last; empty before the first Play
  core::Text displayName;  // what the station box showed for it
  core::Text title;        // the title the stream sends, while it plays and sends one
  bool playing = false;    // from Play until Close
  uint64_t play = 0;       // counts the Plays: tells one from the next
};

const NowPlaying& CurrentlyPlaying();

// Told after every change, on the GUI thread; one observer at a time, empty for none.
void SetNowPlayingObserver(std::function<void()> observer);

// Kept by the player: a stream starts (its title unknown yet), or the sound ends.
void NotePlay(const core::Text& address, const core::Text& displayName);
void NoteStopped();
// The stream's handler for the titles it sends (UTF-8); taken only while something plays.
void NoteStreamTitle(const char* utf8Title);

}  // namespace sonaro::radio
