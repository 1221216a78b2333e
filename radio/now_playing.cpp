#include "radio/now_playing.h"

#include <vector>

namespace sonaro::radio {

namespace {

NowPlaying g_nowPlaying;
std::function<void()> g_observer;
std::vector<std::function<void()>> g_moreObservers;

void Changed() {
  if (g_observer) g_observer();
  // By index: an observer may add another while it is told.
  for (size_t i = 0; i < g_moreObservers.size(); ++i) {
    std::function<void()> observer = g_moreObservers[i];
    observer();
  }
}

}  // namespace

const NowPlaying& CurrentlyPlaying() { return g_nowPlaying; }

void SetNowPlayingObserver(std::function<void()> observer) { g_observer = std::move(observer); }

void AddNowPlayingObserver(std::function<void()> observer) {
  g_moreObservers.push_back(std::move(observer));
}

void NotePlay(const core::Text& address, const core::Text& displayName) {
  g_nowPlaying.address = address;
  g_nowPlaying.displayName = displayName;
  g_nowPlaying.title.clear();
  g_nowPlaying.playing = true;
  g_nowPlaying.state = StreamState::Connecting;
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

void NoteStreamState(int state) {
  if (!g_nowPlaying.playing || state < 0 || state > int(StreamState::Failed)) return;
  if (g_nowPlaying.state == StreamState(state)) return;
  g_nowPlaying.state = StreamState(state);
  if (g_nowPlaying.state != StreamState::Playing) g_nowPlaying.title.clear();
  Changed();
}

core::Text StatusText(const NowPlaying& now) {
  if (!now.playing) return {};
  switch (now.state) {
    case StreamState::Connecting:
      return core::GbkFromUtf8("正在连接…");
    case StreamState::Failed:
      return core::GbkFromUtf8("无法播放");
    case StreamState::Playing:
      break;
  }
  return {};
}

}  // namespace sonaro::radio
