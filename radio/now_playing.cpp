#include "radio/now_playing.h"

namespace sonaro::radio {

namespace {

NowPlaying g_nowPlaying;
std::function<void()> g_observer;

void Changed() {
  if (g_observer) g_observer();
}

}  // namespace

const NowPlaying& CurrentlyPlaying() { return g_nowPlaying; }

void SetNowPlayingObserver(std::function<void()> observer) { g_observer = std::move(observer); }

void NotePlay(const core::Text& address, const core::Text& displayName) {
  g_nowPlaying.address = address;
  g_nowPlaying.displayName = displayName;
  g_nowPlaying.title.clear();
  g_nowPlaying.playing = true;
  ++g_nowPlaying.play;
  Changed();
}

void NoteStopped() {
  if (!g_nowPlaying.playing) return;
  g_nowPlaying.playing = false;
  g_nowPlaying.title.clear();  // it belonged to the stream that ended
  Changed();
}

void NoteStreamTitle(const char* utf8Title) {
  if (!g_nowPlaying.playing || !utf8Title) return;
  const core::Text title = core::GbkFromUtf8(utf8Title);
  if (title == g_nowPlaying.title) return;  // stations repeat their title in every block
  g_nowPlaying.title = title;
  Changed();
}

}  // namespace sonaro::radio
