#include "media/media_session.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "core/stages.h"
#include "media/http_source.h"
#include "media/icy.h"
#include "media/mpv_library.h"
#include "media/playlist.h"
#include "media/prefetch.h"

namespace sonaro::media {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr Clock::duration kFirstRetry = 1s;
constexpr Clock::duration kLongestRetry = 30s;
constexpr Clock::duration kSteadyPlay = 10s;  // a stream that played this long starts over at 1 s
constexpr Clock::duration kGiveUp = 5min;     // without sound this long, retries stop
constexpr int kMaxNesting = 4;                // playlists inside playlists
constexpr size_t kPlaylistLimit = size_t(512) << 10;
const char* const kStreamProtocol = "sonarohttp";

enum class Outcome { Played, Failed, Stopped };

// One load of one address into libmpv.
struct Run {
  bool started = false;  // the media opened and played
  bool stopped = false;  // the session was stopped meanwhile
  bool live = false;     // no known length: an end is a break
  Clock::duration played{};
};

std::string LowerScheme(const std::string& address) {
  const size_t colon = address.find("://");
  if (colon == std::string::npos) return {};
  std::string scheme = address.substr(0, colon);
  for (char& c : scheme) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return scheme;
}

// Whether a Content-Type names the compressed audio of radio streams: MPEG audio or AAC
// (parameters and case ignored).
bool IsStreamAudioType(std::string_view contentType) {
  std::string type(contentType.substr(0, contentType.find(';')));
  std::erase_if(type, [](char c) { return c == ' ' || c == '\t'; });
  for (char& c : type) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return type == "audio/mpeg" || type == "audio/aac" || type == "audio/aacp";
}

void SetOption(mpv_handle* mpv, const char* name, const char* value) {
  Mpv()->set_option_string(mpv, name, value);  // an option this libmpv lacks changes nothing
}

mpv_handle* CreateMpv() {
  if (!Mpv()) return nullptr;
  mpv_handle* mpv = Mpv()->create();
  if (!mpv) return nullptr;
  SetOption(mpv, "config", "no");
  SetOption(mpv, "terminal", "no");
  SetOption(mpv, "msg-level", "all=no");
  // For a station that will not play: what libmpv did, in a file the user names.
  if (const char* log = std::getenv("SONARO_MPV_LOG"); log && *log) {
    static std::atomic<int> sessions{0};
    std::string file(log);  // appended piece by piece: GCC 12 at -O3 warns on a + chain
    file += '.';
    file += std::to_string(++sessions);
    SetOption(mpv, "log-file", file.c_str());
    SetOption(mpv, "msg-level", "all=v");
  }
  SetOption(mpv, "idle", "yes");
  SetOption(mpv, "vid", "no");
  SetOption(mpv, "audio-display", "no");
  SetOption(mpv, "ao", "pulse");
  SetOption(mpv, "audio-client-name", "Sonaro");
  SetOption(mpv, "ytdl", "no");
  SetOption(mpv, "load-scripts", "no");
  SetOption(mpv, "osc", "no");
  SetOption(mpv, "load-stats-overlay", "no");
  SetOption(mpv, "load-osd-console", "no");
  SetOption(mpv, "load-auto-profiles", "no");
  SetOption(mpv, "input-default-bindings", "no");
  SetOption(mpv, "sub-auto", "no");
  SetOption(mpv, "audio-file-auto", "no");
  SetOption(mpv, "cover-art-auto", "no");
  // What a stream says must never open a local file or another address on its own: no
  // references, no unsafe playlist entries, no ordered chapters or other files beside it.
  SetOption(mpv, "access-references", "no");
  SetOption(mpv, "load-unsafe-playlists", "no");
  SetOption(mpv, "ordered-chapters", "no");
  SetOption(mpv, "autoload-files", "no");
  SetOption(mpv, "network-timeout", "10");
  // What libmpv fetches itself (HLS, mmsh) over https is verified like everything else.
  SetOption(mpv, "tls-verify", "yes");
  if (const char* ca = CertificateFile()) SetOption(mpv, "tls-ca-file", ca);
  // An HLS playlist names its segments: only ever fetched over the network, never a local
  // file or another of the media library's protocols. (Nested opens are allowed only while an
  // HLS address plays: access-references.)
  // A live playlist that brings no new segment for five reloads has stopped: it ends, and the
  // session fetches it again as any broken stream (libav's default waits a thousand reloads).
  SetOption(mpv, "demuxer-lavf-o",
            "protocol_whitelist=[http,https,tls,tcp,crypto],m3u8_hold_counters=5");
  SetOption(mpv, "prefetch-playlist", "no");
  // Of a master playlist's variants, the best that a radio listener's connection surely
  // carries: no video variant's megabits for the sound alone.
  SetOption(mpv, "hls-bitrate", "400000");
  SetOption(mpv, "user-agent", "Sonaro/2.0 (internet radio)");
  // Live radio: keep a few seconds in hand against network hiccups, but start at once.
  SetOption(mpv, "cache", "yes");
  SetOption(mpv, "cache-pause-initial", "no");
  // Nothing seeks in a radio stream: keep no played sound behind (by default up to 50 MiB,
  // which a listening hour fills) and only seconds ahead.
  SetOption(mpv, "cache-secs", "10");
  SetOption(mpv, "demuxer-max-back-bytes", "0");
  SetOption(mpv, "demuxer-max-bytes", "4MiB");
  SetOption(mpv, "demuxer-seekable-cache", "no");
  // A live stream arrives no faster than it plays: probing the usual five seconds of it
  // would keep the listener waiting for as long before the first sound.
  SetOption(mpv, "demuxer-lavf-analyzeduration", "0.1");
  if (Mpv()->initialize(mpv) < 0) {
    Mpv()->terminate_destroy(mpv);
    return nullptr;
  }
  return mpv;
}

struct Reaper {
  std::mutex mutex;
  std::vector<std::pair<std::thread, std::shared_ptr<MediaSession::Core>>> threads;
  ~Reaper() { JoinAll(); }
  void Adopt(std::thread thread, std::shared_ptr<MediaSession::Core> core);
  void JoinAll();
};

Reaper& TheReaper() {
  static Reaper reaper;
  return reaper;
}

// Sessions whose libmpv is up, for RetryNow.
std::mutex g_liveMutex;
std::set<MediaSession::Core*> g_live;

}  // namespace

struct MediaSession::Core {
  Core(TitleHandler onTitle, StateHandler onState)
      : onTitle(std::move(onTitle)), onState(std::move(onState)) {}

  std::mutex mutex;  // never held while waiting for libmpv's core
  mpv_handle* mpv = nullptr;
  bool stopped = false;
  const TitleHandler onTitle;
  const StateHandler onState;
  std::optional<State> lastState;  // under mutex
  std::deque<std::string> queue;
  std::atomic<bool> kicked{false};  // RetryNow came: the next wait ends at once

  // The session thread's own.
  Clock::time_point lastHeard{};  // when sound last played (or the item was chosen)
  bool quiet = false;             // retrying an item already reported Failed
  std::string lastTitle;          // of what libmpv reads itself
  HttpSource* opening = nullptr;  // being opened by the session thread

  std::mutex handoffMutex;  // taken by libmpv's threads: kept apart from `mutex`
  std::map<int, std::unique_ptr<HttpSource>> handoff;  // opened, waiting for libmpv to take
  int nextSource = 1;

  std::atomic<bool> ended{false};

  bool Stopped() {
    std::lock_guard lock(mutex);
    return stopped;
  }

  void Stop() {
    std::lock_guard lock(mutex);
    if (stopped) return;
    stopped = true;
    if (opening) opening->Cancel();
    {
      std::lock_guard handoffLock(handoffMutex);
      for (auto& entry : handoff) entry.second->Cancel();
    }
    if (mpv) {
      // Stopping drops what the sound server still holds, so the sound ends now.
      const char* stop[] = {"stop", nullptr};
      Mpv()->command_async(mpv, 0, stop);
      Mpv()->wakeup(mpv);
    }
  }

  // Under the lock that Stop takes: once the session is stopped its owner may be gone.
  void ReportTitle(const std::string& title) {
    std::lock_guard lock(mutex);
    if (!stopped && onTitle) onTitle(title);
  }

  void ReportState(State state) {
    std::lock_guard lock(mutex);
    if (stopped || lastState == state) return;
    lastState = state;
    if (onState) onState(state);
  }

  void Kick() {
    kicked = true;
    std::lock_guard lock(mutex);
    if (mpv) Mpv()->wakeup(mpv);
  }

  bool QueueEmpty() {
    std::lock_guard lock(mutex);
    return queue.empty();
  }

  void Append(std::string address) {
    std::lock_guard lock(mutex);
    if (stopped) return;
    queue.push_back(std::move(address));
    if (mpv) Mpv()->wakeup(mpv);
  }

  // --- the session thread ---------------------------------------------------------------------

  void Main() {
    mpv_handle* handle = CreateMpv();
    {
      std::lock_guard lock(mutex);
      mpv = handle;
    }
    if (handle) {
      Mpv()->stream_cb_add_ro(handle, kStreamProtocol, this, &OpenStream);
      Mpv()->observe_property(handle, 0, "metadata", MPV_FORMAT_NONE);
      {
        std::lock_guard lock(g_liveMutex);
        g_live.insert(this);
      }
      PlayQueue();
      {
        std::lock_guard lock(g_liveMutex);
        g_live.erase(this);
      }
      {
        std::lock_guard lock(mutex);
        mpv = nullptr;
      }
      Mpv()->terminate_destroy(handle);
    }
    {
      std::lock_guard lock(handoffMutex);
      handoff.clear();
    }
    ended = true;
  }

  void PlayQueue() {
    for (;;) {
      std::optional<std::string> address;
      {
        std::lock_guard lock(mutex);
        if (stopped) return;
        if (!queue.empty()) {
          address = std::move(queue.front());
          queue.pop_front();
        }
      }
      if (!address) {
        Mpv()->wait_event(mpv, -1);  // until an item arrives, Stop, or an event of no interest
        continue;
      }
      if (PlayItem(*address) == Outcome::Stopped) return;
    }
  }

  // One item of the playlist, until it has played to its end or a later item is waiting. When
  // nothing of it plays it is tried again quietly (the user was told it failed) until kGiveUp
  // after the last sound; then only RetryNow or a new item moves it.
  Outcome PlayItem(const std::string& address) {
    lastHeard = Clock::now();
    quiet = false;
    Clock::duration wait = kFirstRetry;
    for (;;) {
      if (!quiet) ReportState(State::Connecting);
      const Outcome outcome = PlayAddress(address, 0);
      if (outcome != Outcome::Failed || !QueueEmpty()) return outcome;
      ReportState(State::Failed);
      quiet = true;
      if (Clock::now() - lastHeard < kGiveUp) {
        const Wake wake = Sleep(wait, /*newItemEnds=*/true);
        if (wake == Wake::Stopped) return Outcome::Stopped;
        if (wake == Wake::NewItem) return Outcome::Failed;
        wait = wake == Wake::Kicked ? kFirstRetry : std::min(wait * 2, kLongestRetry);
        continue;
      }
      const Wake wake = Sleep(Clock::duration::max(), /*newItemEnds=*/true);
      if (wake == Wake::Stopped) return Outcome::Stopped;
      if (wake == Wake::NewItem) return Outcome::Failed;
      lastHeard = Clock::now();  // kicked: a new round of tries
      wait = kFirstRetry;
    }
  }

  Outcome PlayAddress(const std::string& address, int nesting) {
    if (Stopped()) return Outcome::Stopped;
    if (nesting > kMaxNesting) return Outcome::Failed;
    const std::string scheme = LowerScheme(address);
    if (scheme == "http" || scheme == "https") return PlayHttp(address, nesting);
    if (scheme == "mms") {
      const std::string rest = address.substr(address.find("://") + 3);
      const Outcome outcome = PlayDirect("mmsh://" + rest);
      return outcome == Outcome::Failed ? PlayDirect("mmst://" + rest) : outcome;
    }
    if (scheme == "mmsh" || scheme == "mmst" || scheme == "rtsp") return PlayDirect(address);
    return Outcome::Failed;  // file://, data: and the media library's own schemes stay shut
  }

  // Every entry in turn; each entry's refs in turn until one plays. Of alternatives (PLS, M3U)
  // only the first entry that plays.
  Outcome PlayPlaylist(const Playlist& playlist, int nesting) {
    bool anyPlayed = false;
    for (const PlaylistEntry& entry : playlist.entries) {
      for (const std::string& ref : entry.refs) {
        const Outcome outcome = PlayAddress(ref, nesting);
        if (outcome == Outcome::Stopped) return outcome;
        if (outcome == Outcome::Played) {
          anyPlayed = true;
          break;
        }
      }
      if (anyPlayed && playlist.alternatives) break;
    }
    return anyPlayed ? Outcome::Played : Outcome::Failed;
  }

  Outcome PlayHttp(const std::string& address, int nesting) {
    std::unique_ptr<HttpSource> source;
    const HttpSource::Start start = OpenHttp(address, source);
    if (Stopped()) return Outcome::Stopped;
    if (start == HttpSource::Start::Playlist) {
      const std::optional<std::string> body = source->ReadAll(kPlaylistLimit);
      // Relative addresses count from where the redirects ended, as a browser's would.
      const std::string base = source->EffectiveAddress();
      source.reset();
      if (Stopped()) return Outcome::Stopped;
      if (!body) return Outcome::Failed;
      const Playlist playlist = ParsePlaylist(*body, base);
      if (playlist.hls) return PlayHls(base);
      return PlayPlaylist(playlist, nesting + 1);
    }
    if (start != HttpSource::Start::Media) return Outcome::Failed;
    const bool live = source->Length() < 0;
    Run run = LoadSource(std::move(source));
    run.live = live;
    return Follow(run, [this, address] {
      std::unique_ptr<HttpSource> again;
      if (OpenHttp(address, again) != HttpSource::Start::Media) return Run{};
      Run retry = LoadSource(std::move(again));
      retry.live = true;
      return retry;
    });
  }

  // A stream joined mid-broadcast starts with bare frames cut anywhere, which the library's
  // format probe rates 25, one short of what it accepts unhinted: for MP3 it then reads 128 KiB
  // before deciding, seconds of a live station after its burst. Reading the address itself it
  // takes the server's word (an audio/mpeg or AAC Content-Type) and accepts 25; the source it
  // is handed has no Content-Type of its own, so the session passes the server's word on.
  Run LoadSource(std::unique_ptr<HttpSource> source) {
    const bool typed = IsStreamAudioType(source->ContentType());
    Mpv()->set_property_string(mpv, "demuxer-lavf-probescore", typed ? "25" : "26");
    Run run = Load(HandOff(std::move(source)));
    Mpv()->set_property_string(mpv, "demuxer-lavf-probescore", "26");
    return run;
  }

  Outcome PlayDirect(const std::string& address) {
    return Follow(Load(address, true), [this, address] { return Load(address, true); });
  }

  // libmpv reads the playlist and its segments itself, and follows it as the server renews it.
  // Only while it does may its demuxer open further addresses (within the protocol whitelist).
  Outcome PlayHls(const std::string& address) {
    const std::string scheme = LowerScheme(address);
    if (scheme != "http" && scheme != "https") return Outcome::Failed;
    const auto load = [this, address] {
      Mpv()->set_property_string(mpv, "access-references", "yes");
      Run run = Load(address, true);
      Mpv()->set_property_string(mpv, "access-references", "no");
      return run;
    };
    return Follow(load(), load);
  }

  // After the first load: a finished file is done; a live stream is fetched again after every
  // break, with the growing wait, until the session stops or kGiveUp passes without sound.
  Outcome Follow(Run run, const std::function<Run()>& again) {
    if (run.stopped) return Outcome::Stopped;
    if (!run.started) return Outcome::Failed;
    if (!run.live) return Outcome::Played;
    Clock::duration wait = kFirstRetry;
    for (;;) {
      ReportState(State::Connecting);
      const Wake wake = Sleep(wait, /*newItemEnds=*/false);
      if (wake == Wake::Stopped) return Outcome::Stopped;
      if (wake == Wake::Kicked) wait = kFirstRetry;
      run = again();
      if (run.stopped || Stopped()) return Outcome::Stopped;
      if (!run.started && Clock::now() - lastHeard >= kGiveUp) return Outcome::Failed;
      const bool steady = run.started && run.played >= kSteadyPlay;
      wait = steady ? kFirstRetry : std::min(wait * 2, kLongestRetry);
    }
  }

  HttpSource::Start OpenHttp(const std::string& address, std::unique_ptr<HttpSource>& source) {
    // The source ends before the session thread does (libmpv closes it), so `this` outlives it.
    auto onTitle = [this](const std::string& title) { ReportTitle(title); };
    bool prefetched = false;
    {
      std::lock_guard lock(mutex);
      if (stopped) return HttpSource::Start::Cancelled;
      source = TakePrefetchedStream(address);
      prefetched = source != nullptr;
      if (!prefetched) source = std::make_unique<HttpSource>(address, onTitle);
      opening = source.get();
    }
    // Outside the lock: a title that came before is told at once, and telling takes the lock.
    if (prefetched) source->SetTitleHandler(onTitle);
    const HttpSource::Start start = source->WaitForStart();
    std::lock_guard lock(mutex);
    opening = nullptr;
    return stopped ? HttpSource::Start::Cancelled : start;
  }

  // The address under which libmpv's stream callbacks find the opened source.
  std::string HandOff(std::unique_ptr<HttpSource> source) {
    std::lock_guard lock(handoffMutex);
    const int id = nextSource++;
    handoff[id] = std::move(source);
    return std::string(kStreamProtocol) + "://" + std::to_string(id);
  }

  // The title of what libmpv reads itself: the ICY title, else the stream's own tags.
  void NoteMetadata() {
    std::string title;
    for (const char* key : {"metadata/by-key/icy-title", "metadata/by-key/title"}) {
      if (char* value = Mpv()->get_property_string(mpv, key)) {
        title = MetadataText(value);
        Mpv()->free(value);
      }
      if (!title.empty()) break;
    }
    if (title.empty() || title == lastTitle) return;
    lastTitle = title;
    ReportTitle(title);
  }

  // Loads one address and waits until it ends (or the session stops). direct: libmpv reads it
  // itself, so the titles come from its metadata.
  Run Load(const std::string& address, bool direct = false) {
    lastTitle.clear();
    Run run;
    int64_t entry = -1;
    {
      std::lock_guard lock(mutex);
      if (stopped) {
        run.stopped = true;
        return run;
      }
      const char* command[] = {"loadfile", address.c_str(), "replace", nullptr};
      mpv_node result;
      if (Mpv()->command_ret(mpv, command, &result) < 0) return run;
      if (result.format == MPV_FORMAT_NODE_MAP) {
        for (int i = 0; i < result.u.list->num; ++i) {
          const mpv_node& value = result.u.list->values[i];
          if (std::string_view(result.u.list->keys[i]) == "playlist_entry_id" &&
              value.format == MPV_FORMAT_INT64) {
            entry = value.u.int64;
          }
        }
      }
      Mpv()->free_node_contents(&result);
    }
    Clock::time_point loadedAt{};
    for (;;) {
      mpv_event* event = Mpv()->wait_event(mpv, -1);
      if (Stopped() || event->event_id == MPV_EVENT_SHUTDOWN) {
        run.stopped = true;
        break;
      }
      if (event->event_id == MPV_EVENT_PROPERTY_CHANGE && direct) {
        NoteMetadata();
      } else if (event->event_id == MPV_EVENT_PLAYBACK_RESTART) {
        core::NoteStage("decoded");
        lastHeard = Clock::now();
        quiet = false;
        ReportState(State::Playing);
      } else if (event->event_id == MPV_EVENT_FILE_LOADED) {
        run.started = true;
        loadedAt = Clock::now();
        double duration = 0;
        run.live =
            Mpv()->get_property(mpv, "duration", MPV_FORMAT_DOUBLE, &duration) < 0 || duration <= 0;
      } else if (event->event_id == MPV_EVENT_END_FILE) {
        const auto* end = static_cast<const mpv_event_end_file*>(event->data);
        if (entry >= 0 && end->playlist_entry_id != entry) continue;
        if (end->reason == MPV_END_FILE_REASON_REDIRECT) {
          // libmpv read it as a playlist of its own and would play the entries next: they are
          // not this address's sound, so nothing of them plays.
          const char* stop[] = {"stop", nullptr};
          Mpv()->command_ret(mpv, stop, nullptr);
          run.started = false;
          break;
        }
        if (run.started) {
          run.played = Clock::now() - loadedAt;
          lastHeard = Clock::now();
        }
        break;
      }
    }
    // A source libmpv never asked for is not needed any more.
    if (address.rfind(kStreamProtocol, 0) == 0) {
      const int id = std::atoi(address.c_str() + std::strlen(kStreamProtocol) + 3);
      std::lock_guard lock(handoffMutex);
      handoff.erase(id);
    }
    return run;
  }

  enum class Wake { Elapsed, Stopped, Kicked, NewItem };

  // Waits for the given time (max: no end), or less: the session stops, RetryNow, or (when
  // newItemEnds) an item is appended.
  Wake Sleep(Clock::duration wait, bool newItemEnds) {
    const bool endless = wait == Clock::duration::max();
    const Clock::time_point until = endless ? Clock::time_point::max() : Clock::now() + wait;
    for (;;) {
      if (Stopped()) return Wake::Stopped;
      if (kicked.exchange(false)) return Wake::Kicked;
      if (newItemEnds && !QueueEmpty()) return Wake::NewItem;
      if (endless) {
        Mpv()->wait_event(mpv, -1);
        continue;
      }
      const Clock::duration left = until - Clock::now();
      if (left <= Clock::duration::zero()) return Wake::Elapsed;
      Mpv()->wait_event(mpv, std::chrono::duration<double>(left).count());
    }
  }

  // --- libmpv's stream callbacks (its own threads) ----------------------------------------------

  static int64_t ReadStream(void* cookie, char* buffer, uint64_t size) {
    return static_cast<HttpSource*>(cookie)->Read(buffer, size);
  }
  static int64_t StreamSize(void* cookie) {
    const int64_t length = static_cast<HttpSource*>(cookie)->Length();
    return length >= 0 ? length : int64_t(MPV_ERROR_UNSUPPORTED);
  }
  static void CloseStream(void* cookie) { delete static_cast<HttpSource*>(cookie); }
  static void CancelStream(void* cookie) { static_cast<HttpSource*>(cookie)->Cancel(); }

  static int OpenStream(void* user, char* uri, mpv_stream_cb_info* info) {
    auto* core = static_cast<Core*>(user);
    const std::string_view text(uri);
    const std::string prefix = std::string(kStreamProtocol) + "://";
    if (text.substr(0, prefix.size()) != prefix) return MPV_ERROR_LOADING_FAILED;
    const int id = std::atoi(uri + prefix.size());
    std::unique_ptr<HttpSource> source;
    {
      std::lock_guard lock(core->handoffMutex);
      auto found = core->handoff.find(id);
      if (found == core->handoff.end()) return MPV_ERROR_LOADING_FAILED;
      source = std::move(found->second);
      core->handoff.erase(found);
    }
    info->cookie = source.release();
    info->read_fn = &ReadStream;
    info->seek_fn = nullptr;  // a stream: no seeking
    info->size_fn = &StreamSize;
    info->close_fn = &CloseStream;
    info->cancel_fn = &CancelStream;
    return 0;
  }
};

namespace {

void Reaper::Adopt(std::thread thread, std::shared_ptr<MediaSession::Core> core) {
  std::lock_guard lock(mutex);
  for (auto it = threads.begin(); it != threads.end();) {
    if (it->second->ended) {
      it->first.join();
      it = threads.erase(it);
    } else {
      ++it;
    }
  }
  threads.emplace_back(std::move(thread), std::move(core));
}

void Reaper::JoinAll() {
  std::vector<std::pair<std::thread, std::shared_ptr<MediaSession::Core>>> all;
  {
    std::lock_guard lock(mutex);
    all.swap(threads);
  }
  for (auto& [thread, core] : all) {
    core->Stop();
    thread.join();
  }
}

}  // namespace

MediaSession::MediaSession(TitleHandler onTitle, StateHandler onState)
    : core_(std::make_shared<Core>(std::move(onTitle), std::move(onState))),
      thread_([core = core_] { core->Main(); }) {}

MediaSession::~MediaSession() {
  core_->Stop();
  // Ending libmpv can take a moment; the caller does not wait for it.
  TheReaper().Adopt(std::move(thread_), core_);
}

void MediaSession::Append(std::string address) { core_->Append(std::move(address)); }

void MediaSession::JoinEnded() { TheReaper().JoinAll(); }

void MediaSession::RetryNow() {
  std::lock_guard lock(g_liveMutex);
  for (Core* core : g_live) core->Kick();
}

}  // namespace sonaro::media
