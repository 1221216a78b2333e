// The media player's sound: real libmpv into a private PulseAudio null sink, fed by stream
// servers on 127.0.0.1; what is heard is measured on the sink's monitor.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "media/media_session.h"
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

}  // namespace
