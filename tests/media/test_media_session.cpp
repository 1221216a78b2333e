// The media player's sound: real libmpv into a private PulseAudio null sink, fed by stream
// servers on 127.0.0.1; what is heard is measured on the sink's monitor.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/media_session.h"
#include "media/prefetch.h"
#include "support/live_station.h"
#include "support/loopback_server.h"
#include "support/private_pulse.h"
#include "support/sound_monitor.h"
#include "support/stream_server.h"

using namespace std::chrono_literals;
using namespace sonaro;
using sonaro::media::MediaSession;
using sonaro::test::MakeToneMp3;
using sonaro::test::PrivatePulse;
using sonaro::test::SoundMonitor;
using sonaro::test::StreamServer;
using sonaro::testing::LoopbackServer;

namespace {

std::unique_ptr<PrivatePulse> g_pulse;
std::string g_tone440;
std::string g_tone880;

class MediaSessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_pulse = std::make_unique<PrivatePulse>();
    g_tone440 = MakeToneMp3(440, 4);
    g_tone880 = MakeToneMp3(880, 4);
  }
  static void TearDownTestSuite() {
    MediaSession::JoinEnded();
    g_pulse.reset();
  }
  void SetUp() override {
    ASSERT_TRUE(g_pulse->Running()) << "no PulseAudio daemon";
    ASSERT_FALSE(g_tone440.empty()) << "sox made no tone";
    monitor_ = std::make_unique<SoundMonitor>();
    ASSERT_TRUE(monitor_->Running());
  }

  static StreamServer::Route Endless(const std::string& body) {
    StreamServer::Route route;
    route.body = body;
    route.endless = true;
    return route;
  }
  static StreamServer::Route Text(const std::string& body, const std::string& type) {
    StreamServer::Route route;
    route.body = body;
    route.contentType = type;
    return route;
  }

  // The tone heard now, or 0 when nothing is heard within the time.
  double HeardFrequency(std::chrono::milliseconds within = 8s) {
    const auto stretch = monitor_->WaitForSound(within);
    return stretch ? stretch->frequency : 0;
  }

  // Whether a tone of this frequency is heard within the time (other sounds may come first).
  bool HearsTone(double hertz, std::chrono::milliseconds within = 8s) {
    const auto until = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < until) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          until - std::chrono::steady_clock::now());
      const auto stretch = monitor_->WaitForSound(left);
      if (stretch && stretch->frequency > hertz * 0.9 && stretch->frequency < hertz * 1.1)
        return true;
    }
    return false;
  }

  static size_t CountPath(const StreamServer& server, const std::string& path) {
    size_t count = 0;
    for (const auto& connection : server.Connections()) count += connection.path == path;
    return count;
  }

  std::unique_ptr<SoundMonitor> monitor_;
};

MATCHER_P(Near, hertz, "") { return arg > hertz * 0.9 && arg < hertz * 1.1; }

TEST_F(MediaSessionTest, HttpStreamPlaysAndEndsWithTheSession) {
  StreamServer server;
  server.Serve("/live", Endless(g_tone440));
  auto session = std::make_unique<MediaSession>();
  session->Append(server.Url("/live"));
  EXPECT_THAT(HeardFrequency(), Near(440.0));
  ASSERT_EQ(server.Connections().size(), 1u) << "the stream is asked for once";

  session.reset();
  EXPECT_TRUE(monitor_->WaitForSilence(1s)) << "sound goes on after the session ended";
  for (int i = 0; i < 100 && server.Connections()[0].open; ++i) std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(server.Connections()[0].open) << "the stream's connection stays open";
}

// A stream opened at the click is the one the session plays, asked for once; one nobody asks
// for is closed after a while; another address is opened anew.
TEST_F(MediaSessionTest, APrefetchedStreamIsTakenOverOnceOrClosed) {
  StreamServer server;
  server.Serve("/live", Endless(g_tone440));
  server.Serve("/other", Endless(g_tone880));
  media::PrefetchStream(server.Url("/live"));
  for (int i = 0; i < 200 && server.Connections().empty(); ++i) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(server.Connections().size(), 1u) << "the prefetch did not connect";
  auto session = std::make_unique<MediaSession>();
  session->Append(server.Url("/live"));
  EXPECT_THAT(HeardFrequency(), Near(440.0));
  EXPECT_EQ(server.Connections().size(), 1u) << "the stream was asked for twice";
  session.reset();
  EXPECT_TRUE(monitor_->WaitForSilence(2s));

  media::PrefetchStream(server.Url("/other"));
  session = std::make_unique<MediaSession>();
  session->Append(server.Url("/live"));
  EXPECT_THAT(HeardFrequency(), Near(440.0));
  EXPECT_EQ(CountPath(server, "/live"), 2u);
  session.reset();
  auto unclaimedOpen = [&] {
    for (const auto& connection : server.Connections()) {
      if (connection.path == "/other" && connection.open) return true;
    }
    return false;
  };
  EXPECT_EQ(CountPath(server, "/other"), 1u);
  for (int i = 0; i < 200 && unclaimedOpen(); ++i) std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(unclaimedOpen()) << "a prefetch nobody took stays open";
  EXPECT_EQ(media::TakePrefetchedStream(server.Url("/other")), nullptr);
}

TEST_F(MediaSessionTest, LenientAsxTriesEachRefInTurn) {
  StreamServer server;
  StreamServer dead;  // refuses nothing but serves only 404
  server.Serve("/tone", Endless(g_tone880));
  // Mixed-case tags, a bare '&', unquoted and single-quoted values, served as audio.
  const std::string asx =
      "\xEF\xBB\xBF<ASX Version=3.0>\r\n <Title>Radio & more</Title>\r\n"
      " <Entry>\r\n  <REF HREF='" +
      dead.Url("/gone") + "' />\r\n  <ref href=" + server.Url("/tone") +
      "?a=1&b=2>\r\n </ENTRY>\r\n</asx>\r\n";
  server.Serve("/tone?a=1&b=2", Endless(g_tone880));
  server.Serve("/radio.asx", Text(asx, "audio/mpeg"));
  MediaSession session;
  session.Append(server.Url("/radio.asx"));
  EXPECT_THAT(HeardFrequency(), Near(880.0));
  EXPECT_EQ(CountPath(dead, "/gone"), 1u);
  EXPECT_EQ(CountPath(server, "/tone?a=1&b=2"), 1u);
}

TEST_F(MediaSessionTest, NestedPlaylistsAndReferenceForm) {
  StreamServer server;
  server.Serve("/tone", Endless(g_tone440));
  // [Reference]: the http ref is tried as mmsh first (the server answers with mp3, which is
  // no mmsh stream), then as plain http.
  server.Serve("/ref.asx",
               Text("[Reference]\r\nRef1=" + server.Url("/tone") + "\r\n", "text/plain"));
  server.Serve("/outer.asx",
               Text("<asx version=\"3.0\"><entryref href=\"/ref.asx\"/></asx>", "video/x-ms-asf"));
  MediaSession session;
  session.Append(server.Url("/outer.asx"));
  EXPECT_THAT(HeardFrequency(), Near(440.0));
  EXPECT_EQ(CountPath(server, "/ref.asx"), 1u);
  EXPECT_EQ(CountPath(server, "/tone"), 2u) << "mmsh, then http";
}

TEST_F(MediaSessionTest, MmsIsTriedAsMmshThenMmst) {
  StreamServer peer;
  MediaSession session;
  session.Append("mms://127.0.0.1:" + std::to_string(peer.Port()) + "/cnr001");
  std::vector<StreamServer::Connection> seen;
  for (int i = 0; i < 200 && seen.size() < 2; ++i) {
    std::this_thread::sleep_for(25ms);
    seen = peer.Connections();
  }
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].path, "/cnr001") << "first an mmsh request";
  EXPECT_TRUE(seen[1].path.empty()) << "then an mmst greeting";
  EXPECT_EQ(seen[1].head.substr(4, 4), std::string("\xCE\xFA\x0B\xB0", 4)) << "MMS signature";
  EXPECT_FALSE(monitor_->WaitForSound(1s)) << "nothing playable, nothing heard";
}

TEST_F(MediaSessionTest, UnplayableItemsAreSkippedInSilence) {
  StreamServer server;
  server.Serve("/tone", Endless(g_tone880));
  MediaSession session;
  session.Append("file:///etc/passwd");
  session.Append("javascript:alert(1)");
  session.Append(server.Url("/missing.mp3"));
  session.Append("");
  session.Append(server.Url("/tone"));
  EXPECT_THAT(HeardFrequency(), Near(880.0));
  EXPECT_EQ(CountPath(server, "/missing.mp3"), 1u);
}

TEST_F(MediaSessionTest, AFileEndsAndTheNextItemFollows) {
  StreamServer server;
  server.Serve("/song.mp3", Text(MakeToneMp3(440, 1.5), "audio/mpeg"));
  server.Serve("/tone", Endless(g_tone880));
  MediaSession session;
  session.Append(server.Url("/song.mp3"));
  session.Append(server.Url("/tone"));
  EXPECT_THAT(HeardFrequency(), Near(440.0));
  EXPECT_TRUE(HearsTone(880.0)) << "the second item does not follow";
  EXPECT_EQ(CountPath(server, "/song.mp3"), 1u) << "a finished file is not fetched again";
}

TEST_F(MediaSessionTest, DroppedLiveStreamComesBack) {
  StreamServer server;
  server.Serve("/live", Endless(g_tone440));
  MediaSession session;
  session.Append(server.Url("/live"));
  ASSERT_THAT(HeardFrequency(), Near(440.0));
  server.DropStreams();
  EXPECT_TRUE(monitor_->WaitForSilence(5s)) << "the drop was not heard";
  EXPECT_THAT(HeardFrequency(6s), Near(440.0)) << "the stream did not come back";
  EXPECT_EQ(CountPath(server, "/live"), 2u);
}

// Joined mid-broadcast, an MP3 stream has no header, only frames cut anywhere, which the format
// probe rates low until it has read far more than a station's burst. A station that sends its
// burst and then nothing for a while still plays from the burst.
TEST_F(MediaSessionTest, AStreamJoinedMidBroadcastPlaysFromItsBurst) {
  const std::string tone = MakeToneMp3(440, 6);
  StreamServer::Route route = Endless(tone.substr(tone.size() / 3 + 101));  // mid-frame
  route.stallAfter = 40000;  // 2.5 s of sound, far less than the probe reads without a hint
  StreamServer server;
  server.Serve("/live", route);
  MediaSession session;
  session.Append(server.Url("/live"));
  // Unhinted, the probe waits for bytes that do not come.
  EXPECT_TRUE(HearsTone(440.0, 5s)) << "the burst alone did not play";
}

// --- The formats stations broadcast in today, through one driver -------------------------------

// Two live HLS stations for the whole suite (so their first windows are long replaced when the
// cases run) and a certificate authority of the test's.
struct Today {
  test::LiveHls ts{{.frequency = 660, .fmp4 = false, .master = false}};
  test::LiveHls fmp4{{.frequency = 550, .fmp4 = true, .master = true}};
  std::string folder = test::TemporaryFolder("sonaro-tls");
  test::TestAuthority authority = test::MakeTestAuthority(folder);
  ~Today() { test::RemoveFolder(folder); }
};
Today* g_today = nullptr;

class TodaysFormatsTest : public MediaSessionTest {
 protected:
  static void SetUpTestSuite() {
    MediaSessionTest::SetUpTestSuite();
    g_today = new Today;
  }
  static void TearDownTestSuite() {
    MediaSessionTest::TearDownTestSuite();
    delete g_today;
    g_today = nullptr;
  }
  void TearDown() override { ::unsetenv("SSL_CERT_FILE"); }

  // Plays address in a fresh session: the tone heard (0: nothing within the time) and the
  // states the session reported, in order.
  struct Heard {
    double hertz = 0;
    std::vector<MediaSession::State> states;
  };
  // check runs while the session still plays.
  Heard Play(const std::string& address, const std::function<void()>& check,
             std::chrono::milliseconds within = 15s) {
    auto states = std::make_shared<std::pair<std::mutex, std::vector<MediaSession::State>>>();
    Heard heard;
    {
      MediaSession session({}, [states](MediaSession::State state) {
        std::lock_guard lock(states->first);
        states->second.push_back(state);
      });
      session.Append(address);
      heard.hertz = HeardFrequency(within);
      check();
      // A failure is told once every address has failed: wait for it when nothing was heard.
      for (int i = 0; i < 100 && heard.hertz == 0; ++i) {
        std::lock_guard lock(states->first);
        if (!states->second.empty() && states->second.back() == MediaSession::State::Failed) break;
        std::this_thread::sleep_for(100ms);
      }
    }
    std::lock_guard lock(states->first);
    heard.states = states->second;
    return heard;
  }
};

std::vector<std::string> Paths(const LoopbackServer& server) {
  std::vector<std::string> paths;
  for (const std::string& head : server.Requests())
    paths.push_back(sonaro::testing::RequestPath(head));
  return paths;
}

bool Requested(const LoopbackServer& server, const std::string& path) {
  for (const std::string& seen : Paths(server)) {
    if (seen == path) return true;
  }
  return false;
}

TEST_F(TodaysFormatsTest, EachFormatIsHeardOrFailsAsItShould) {
  using State = MediaSession::State;
  ASSERT_FALSE(g_today->authority.authority.empty()) << "openssl made no test authority";
  ASSERT_TRUE(g_today->ts.WaitForSequence(5, 60s)) << "ffmpeg's HLS station did not run";
  ASSERT_TRUE(g_today->fmp4.WaitForSequence(5, 60s));

  StreamServer streams;
  streams.Serve("/tone", Endless(g_tone880));
  const std::string tone = streams.Url("/tone");
  LoopbackServer hls(test::ServeFolder(g_today->ts.Folder()));
  LoopbackServer hlsTls(test::ServeFolder(g_today->fmp4.Folder()), g_today->authority.certificate,
                        g_today->authority.key);
  // A playlist that names a file of this machine: a tone that must never be heard.
  const std::string secret = g_today->folder + "/secret.ts";
  ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=300 "
                         "-t 8 -c:a aac -f mpegts " +
                         secret)
                            .c_str()),
            0);
  const std::string local =
      "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXT-X-MEDIA-SEQUENCE:0\n"
      "#EXTINF:8,\nfile://" +
      secret + "\n";
  // Playlists and a chain of redirects through every kind of redirect, and one without end.
  LoopbackServer lists([&](const std::string& head) -> std::optional<std::string> {
    const std::string path = sonaro::testing::RequestPath(head);
    const auto redirect = [](int status, const std::string& to) {
      return sonaro::testing::Response(status, "Moved", "", "Location: " + to + "\r\n");
    };
    if (path == "/station.pls") {
      return sonaro::testing::Response(
          200, "OK",
          "[playlist]\nNumberOfEntries=3\nFile1=/gone.mp3\nTitle1=Dead\n"
          "File2=" +
              tone + "\nTitle2=Live\nFile3=/never.mp3\n",
          "Content-Type: audio/x-scpls\r\n");
    }
    if (path == "/station.m3u") {
      return sonaro::testing::Response(200, "OK",
                                       "#EXTM3U\n#EXTINF:-1,\xE4\xB8\xAD\n" + tone + "\n",
                                       "Content-Type: text/plain\r\n");
    }
    if (path == "/local.m3u8") {
      return sonaro::testing::Response(200, "OK", local,
                                       "Content-Type: application/vnd.apple.mpegurl\r\n");
    }
    if (path == "/r301") return redirect(301, "/r302");
    if (path == "/r302") return redirect(302, "/r303");
    if (path == "/r303") return redirect(303, "/r307");
    if (path == "/r307") return redirect(307, "/r308");
    if (path == "/r308") return redirect(308, "/station.pls");
    if (path.rfind("/loop", 0) == 0) return redirect(302, path + "x");
    return sonaro::testing::Response(404, "Not Found", "");
  });

  struct Case {
    std::string name;
    std::string address;
    bool trustAuthority;
    double hertz;  // 0: nothing may be heard, and the session says Failed
    std::function<void()> check;
  };
  const Case cases[] = {
      {"live HLS, MPEG-TS, its first window long gone", hls.Url("/live.m3u8"), false, 660,
       [&] {
         // Still heard after the window it started in was replaced: segments of a later
         // window were fetched, the playlist again and again.
         EXPECT_TRUE(HearsTone(660, 20s));
         int playlists = 0;
         for (const std::string& path : Paths(hls)) playlists += path == "/live.m3u8";
         EXPECT_GE(playlists, 3) << "the sliding playlist is not followed";
       }},
      {"live HLS, fMP4, master playlist, https from the test authority", hlsTls.Url("/master.m3u8"),
       true, 550,
       [&] { EXPECT_TRUE(Requested(hlsTls, "/init_1.mp4") || Requested(hlsTls, "/init_0.mp4")); }},
      {"https whose certificate this machine does not trust", hlsTls.Url("/master.m3u8"), false, 0,
       [] {}},
      {"HLS naming a local file", lists.Url("/local.m3u8"), false, 0, [] {}},
      {"PLS: entries in turn until one plays", lists.Url("/station.pls"), false, 880,
       [&] {
         EXPECT_TRUE(Requested(lists, "/gone.mp3"));
         EXPECT_FALSE(Requested(lists, "/never.mp3")) << "an entry after the one that plays";
       }},
      {"extended M3U served as text", lists.Url("/station.m3u"), false, 880, [] {}},
      {"301, 302, 303, 307, 308, then a PLS", lists.Url("/r301"), false, 880, [] {}},
      {"redirects without end (Failed is told: the chain was given up)", lists.Url("/loop"), false,
       0, [] {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.trustAuthority) ::setenv("SSL_CERT_FILE", g_today->authority.authority.c_str(), 1);
    const Heard heard = Play(c.address, c.check);
    ::unsetenv("SSL_CERT_FILE");
    ASSERT_FALSE(heard.states.empty()) << "no state told";
    EXPECT_EQ(heard.states.front(), State::Connecting);
    if (c.hertz > 0) {
      EXPECT_THAT(heard.hertz, Near(c.hertz));
      EXPECT_EQ(heard.states.back(), State::Playing);
    } else {
      EXPECT_EQ(heard.hertz, 0) << "heard what must not play";
      EXPECT_EQ(heard.states.back(), State::Failed);
    }
    EXPECT_TRUE(monitor_->WaitForSilence(3s)) << "sound goes on after the session ended";
  }
  EXPECT_TRUE(hlsTls.Requests().size() > 0);
}

TEST_F(TodaysFormatsTest, RetryNowFetchesADroppedStreamAtOnce) {
  StreamServer server;
  server.Serve("/live", Endless(g_tone440));
  MediaSession session;
  session.Append(server.Url("/live"));
  ASSERT_THAT(HeardFrequency(), Near(440.0));
  // Three drops in a row: the session's wait has grown to 4 s by the third.
  for (int i = 0; i < 3; ++i) {
    server.DropStreams();
    std::this_thread::sleep_for(300ms);
  }
  const size_t before = CountPath(server, "/live");
  MediaSession::RetryNow();
  for (int i = 0; i < 40 && CountPath(server, "/live") == before; ++i)
    std::this_thread::sleep_for(50ms);
  EXPECT_GT(CountPath(server, "/live"), before) << "RetryNow did not fetch the stream again";
  EXPECT_TRUE(HearsTone(440.0)) << "the stream fetched again is not heard";
}

}  // namespace
