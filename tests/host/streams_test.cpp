// The demo stream service: its plan of the station table, the bytes of its three protocols
// (HTTP audio, ASX, mmsh) read the way the player's clients read them, and its sockets.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <set>

#include "host/gbk.h"
#include "host/streams/asf.h"
#include "host/streams/audio.h"
#include "host/streams/plan.h"
#include "host/streams/responses.h"
#include "host/streams/server.h"
#include "tests/host/streams_support.h"

namespace sonaro::streams {
namespace {

using namespace std::chrono_literals;
using test::Fetch;
using test::FrequencyOf;
using test::Le16;
using test::Le32;
using test::Le64;
using test::Samples;

// --- the plan -------------------------------------------------------------------------------

struct Address {
  std::string host;
  int port = 80;
  std::string target;
};

// scheme://host[:port]/target as the player builds it (UTF-8 here).
Address SplitAddress(const std::string& address) {
  const size_t hostStart = address.find("://") + 3;
  const size_t slash = address.find('/', hostStart);
  const std::string hostPort = address.substr(hostStart, slash - hostStart);
  Address result;
  result.target = address.substr(slash);
  const size_t colon = hostPort.rfind(':');
  result.host = hostPort.substr(0, colon);
  if (colon != std::string::npos) result.port = std::stoi(hostPort.substr(colon + 1));
  return result;
}

TEST(StreamsPlan, ServesEveryRowOfTheTableAtTheAddressThePlayerBuilds) {
  const Plan plan = BuildPlan();
  EXPECT_TRUE(plan.problems.empty()) << plan.problems.front();
  std::map<std::string, const Route*> byAddress;
  for (size_t i = 0; i < core::kStationCount; ++i) {
    const std::string address = core::StreamAddress(core::kStationTable[i]);
    const Address where = SplitAddress(address);
    const Listener* listener = nullptr;
    for (const Listener& candidate : plan.listeners) {
      if (candidate.host == where.host && candidate.port == where.port) listener = &candidate;
    }
    ASSERT_NE(listener, nullptr) << address;
    const Route* route = listener->Find(where.target);
    ASSERT_NE(route, nullptr) << address;
    EXPECT_EQ(route->address, address);
    const bool asx = address.ends_with(".asx");
    const Kind kind = address.starts_with("mms:") ? Kind::Mms : asx ? Kind::Asx : Kind::Http;
    EXPECT_EQ(route->kind, kind) << address;
    // Two rows with one address are one stream, at the first row's pitch.
    const auto [at, fresh] = byAddress.emplace(address, route);
    if (fresh) {
      EXPECT_EQ(route->row, int(i) + 1) << address;
    } else {
      EXPECT_EQ(at->second, route) << address;
    }
  }
}

TEST(StreamsPlan, RowsSharingPortAndPathUnderDifferentKeysStayApart) {
  // 宝安广播缤纷 and 宝安广播流连: S48 and S49, both mms://...:8080/live.
  const Plan plan = BuildPlan();
  std::set<int> frequencies;
  std::set<std::string> hosts;
  for (const Listener& listener : plan.listeners) {
    if (const Route* route = listener.Find("/live");
        route && (route->row == 117 || route->row == 118)) {
      frequencies.insert(route->frequency);
      hosts.insert(listener.host + ":" + std::to_string(listener.port));
    }
  }
  EXPECT_EQ(frequencies.size(), 2u);
  EXPECT_EQ(hosts.size(), 2u);
}

TEST(StreamsPlan, NeighbouringRowsAreWellApartInPitch) {
  std::set<int> all;
  for (int row = 1; row <= int(core::kStationCount); ++row) {
    const int pitch = PitchOfRow(row);
    all.insert(pitch);
    EXPECT_GE(pitch, 200);
    EXPECT_LE(pitch, 2000);
    if (row > 1) {
      const double ratio = double(std::max(pitch, PitchOfRow(row - 1))) /
                           double(std::min(pitch, PitchOfRow(row - 1)));
      EXPECT_GE(ratio, 1.3) << "rows " << row - 1 << " and " << row;
    }
  }
  // Any two pitches, not only neighbours, tell apart with a 5 % tolerance.
  for (auto it = all.begin(); std::next(it) != all.end(); ++it) {
    EXPECT_GE(double(*std::next(it)) / double(*it), 1.08) << *it;
  }
}

TEST(StreamsPlan, HostsAndRowsThatCannotMakeAnAddress) {
  const std::array<core::StationRow, 6> rows = {{
      {"甲", "甲", core::Scheme::Http, 1, 8000, "/a"},     // host carries a port too
      {"乙", "乙", core::Scheme::Mms, 2, 0, "/b"},         // no host at all
      {"丙", "丙", core::Scheme::Mms, 3, 8080, "/live"},   // 3 and 4: one server,
      {"丁", "丁", core::Scheme::Http, 4, 8080, "/live"},  //   one path, two schemes
      {"戊", "戊", core::Scheme::Http, 5, 0, "/v6"},       // IPv6 with a port
      {"己", "己", core::Scheme::Http, 6, 0, "/named"},    // a name, no port: 80
  }};
  const Plan plan = BuildPlan(rows, [](int key) -> std::string_view {
    switch (key) {
      case 1:
        return "127.0.0.1:9000";
      case 2:
        return "";
      case 3:
      case 4:
        return "127.0.0.9";
      case 5:
        return "[::1]:18005";
      default:
        return "radio.example.com";
    }
  });
  ASSERT_EQ(plan.problems.size(), 3u);
  EXPECT_NE(plan.problems[0].find("row 1"), std::string::npos);
  EXPECT_NE(plan.problems[1].find("row 2"), std::string::npos);
  EXPECT_NE(plan.problems[2].find("row 4"), std::string::npos);
  ASSERT_EQ(plan.listeners.size(), 3u);
  EXPECT_EQ(plan.listeners[0].host, "127.0.0.9");
  EXPECT_EQ(plan.listeners[0].port, 8080);
  EXPECT_EQ(plan.listeners[1].host, "::1");
  EXPECT_EQ(plan.listeners[1].port, 18005);
  EXPECT_EQ(plan.listeners[1].routes[0].address, "http://[::1]:18005/v6");
  EXPECT_EQ(plan.listeners[2].host, "radio.example.com");
  EXPECT_EQ(plan.listeners[2].port, 80);
}

TEST(StreamsPlan, FindsPathsAsClientsSpellThem) {
  const std::array<core::StationRow, 2> rows = {{
      {"芒果", "芒果", core::Scheme::Mms, 1, 0, "/音乐"},
      {"青檬", "青檬", core::Scheme::Mms, 1, 0, "/911pop?cccode=cc1276"},
  }};
  const Plan plan = BuildPlan(rows, [](int) { return std::string_view("127.0.0.1:18001"); });
  ASSERT_EQ(plan.listeners.size(), 1u);
  const Listener& listener = plan.listeners[0];
  const std::string gbk = host::GbkFromUtf8("/音乐");
  for (const std::string& target :
       {std::string("/音乐"), std::string("/%E9%9F%B3%E4%B9%90"), gbk, std::string("/%D2%F4%C0%D6"),
        std::string("/%e9%9f%b3%e4%b9%90")}) {
    const Route* route = listener.Find(target);
    ASSERT_NE(route, nullptr) << target;
    EXPECT_EQ(route->row, 1);
  }
  ASSERT_NE(listener.Find("/911pop?cccode=cc1276"), nullptr);
  EXPECT_EQ(listener.Find("/911pop"), nullptr);
  EXPECT_EQ(listener.Find("/%zz"), nullptr);
  EXPECT_EQ(listener.Find("/%E9"), nullptr);
  EXPECT_EQ(PercentDecode("/a%2"), "/a%2");
}

// --- sound and ASF --------------------------------------------------------------------------

TEST(StreamsSound, ToneRunsOnAcrossUnitsAndItsOneSecondLoop) {
  const int frequency = 457;
  Tone tone(frequency);
  std::string bytes;
  for (int i = 0; i < 15; ++i) bytes += tone.NextUnit();  // 1.5 s: across the loop
  const std::vector<int16_t> samples = Samples(bytes);
  ASSERT_EQ(samples.size(), 15 * kUnitSamples);
  for (size_t n = 0; n < samples.size(); ++n) {
    const double expected =
        kToneAmplitude * std::sin(2 * std::numbers::pi * frequency * double(n) / kSampleRate);
    ASSERT_NEAR(samples[n], expected, 1.5) << "sample " << n;
  }
  EXPECT_NEAR(FrequencyOf(samples), frequency, 2);
}

TEST(StreamsSound, AsfHeaderReadsAsTheMmsClientReadsIt) {
  const std::string header = AsfHeader();
  // The Header Object, then the 50 bytes that open the Data Object.
  ASSERT_GE(header.size(), 30u + 50u);
  const char headerGuid[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
  const char dataGuid[] = "\x36\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
  const char fileGuid[] = "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65";
  const char streamGuid[] = "\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65";
  const char audioGuid[] = "\x40\x9E\x69\xF8\x4D\x5B\xCF\x11\xA8\xFD\x00\x80\x5F\x5C\x44\x2B";
  ASSERT_EQ(header.compare(0, 16, headerGuid, 16), 0);
  const uint64_t headerSize = Le64(header, 16);
  EXPECT_EQ(headerSize, header.size() - 50);
  const uint32_t objects = Le32(header, 24);
  size_t at = 30;
  uint32_t seen = 0;
  bool file = false;
  bool stream = false;
  while (at < headerSize) {
    const uint64_t size = Le64(header, at + 16);
    ASSERT_GE(size, 24u);
    ASSERT_LE(at + size, headerSize);
    if (header.compare(at, 16, fileGuid, 16) == 0) {
      file = true;
      EXPECT_EQ(Le32(header, at + 88) & 1, 1u) << "broadcast";
      EXPECT_EQ(Le32(header, at + 92), kAsfPacketSize) << "minimum packet size";
      EXPECT_EQ(Le32(header, at + 96), kAsfPacketSize) << "maximum packet size";
    } else if (header.compare(at, 16, streamGuid, 16) == 0) {
      stream = true;
      EXPECT_EQ(header.compare(at + 24, 16, audioGuid, 16), 0);
      const uint32_t formatSize = Le32(header, at + 64);
      EXPECT_EQ(Le16(header, at + 72) & 0x7F, uint32_t(kAsfStream));
      EXPECT_EQ(size, 78 + formatSize + Le32(header, at + 68));
      const size_t format = at + 78;
      EXPECT_EQ(Le16(header, format), 1u) << "PCM";
      EXPECT_EQ(Le16(header, format + 2), 1u) << "mono";
      EXPECT_EQ(Le32(header, format + 4), uint32_t(kSampleRate));
      EXPECT_EQ(Le16(header, format + 14), 16u);
    }
    at += size;
    ++seen;
  }
  EXPECT_EQ(at, headerSize);
  EXPECT_EQ(seen, objects);
  EXPECT_TRUE(file);
  EXPECT_TRUE(stream);
  EXPECT_EQ(header.compare(at, 16, dataGuid, 16), 0);
}

TEST(StreamsSound, AsfPacketsCarryTheirPcmAtEverGrowingTimes) {
  Tone tone(300);
  for (const uint32_t index : {0u, 1u, 7u, 36000u /* an hour in */}) {
    const std::string pcm = tone.NextUnit();
    const std::string packet = AsfPacket(index, pcm);
    ASSERT_EQ(packet.size(), kAsfPacketSize);
    // Read as the ASF demuxer does.
    ASSERT_EQ(uint8_t(packet[0]), 0x82);
    ASSERT_EQ(packet[1], 0);
    ASSERT_EQ(packet[2], 0);
    const uint8_t flags = uint8_t(packet[3]);
    const uint8_t property = uint8_t(packet[4]);
    EXPECT_EQ(flags & 0x01, 0) << "a single payload";
    EXPECT_EQ(flags & 0x7E, 0) << "no length, sequence or padding fields: the header's size";
    EXPECT_EQ(property, 0x5D);
    EXPECT_EQ(Le32(packet, 5), index * 100) << "send time";
    EXPECT_EQ(Le16(packet, 9), 100u) << "duration";
    EXPECT_EQ(uint8_t(packet[11]), 0x80 | kAsfStream);
    EXPECT_EQ(uint8_t(packet[12]), index & 0xFF);
    EXPECT_EQ(Le32(packet, 13), 0u) << "offset into the object";
    ASSERT_EQ(packet[17], 8) << "replicated data length";
    EXPECT_EQ(Le32(packet, 18), pcm.size()) << "object size";
    EXPECT_EQ(Le32(packet, 22), index * 100) << "presentation time";
    EXPECT_EQ(packet.substr(26), pcm);
  }
}

TEST(StreamsSound, MmshChunksRepeatTheirLengthAndCountSequence) {
  const std::string chunk = MmshChunk('D', 0x01020304, "abc");
  ASSERT_EQ(chunk.size(), 4u + 8u + 3u);
  EXPECT_EQ(chunk.substr(0, 2), "$D");
  EXPECT_EQ(Le16(chunk, 2), 11u);
  EXPECT_EQ(Le32(chunk, 4), 0x01020304u);
  EXPECT_EQ(Le16(chunk, 10), 11u);
  EXPECT_EQ(chunk.substr(12), "abc");
  EXPECT_EQ(MmshChunk('H', 0, AsfHeader()).substr(0, 2), "$H");
}

TEST(StreamsAnswers, PragmaDirectivesAreFoundWhereverTheyStand) {
  const auto request = ParseRequest(
      "GET /x HTTP/1.0\r\nAccept: */*\r\nPragma: no-cache,rate=1.000000,request-context=2\r\n"
      "Pragma: xPlayStrm=1\r\nX-Pragma: other=1\r\n\r\n");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->target, "/x");
  EXPECT_TRUE(request->HasPragma("xplaystrm=1"));
  EXPECT_TRUE(request->HasPragma("rate=1.000000"));
  EXPECT_FALSE(request->HasPragma("other=1"));
  EXPECT_FALSE(request->HasPragma("xplaystrm"));
  EXPECT_FALSE(ParseRequest("GET /x\r\n\r\n"));
  EXPECT_FALSE(ParseRequest("GET x HTTP/1.0\r\n\r\n"));
  EXPECT_FALSE(ParseRequest("\x16\x03\x01 binary\r\n\r\n"));
}

// --- the service on sockets -----------------------------------------------------------------

constexpr std::string_view kFfmpegDescribe =
    "GET /fm887 HTTP/1.1\r\nAccept: */*\r\nUser-Agent: NSPlayer/4.1.0.3856\r\n"
    "Host: 127.0.0.1:1\r\nPragma: no-cache,rate=1.000000,stream-time=0,stream-offset=0:0,"
    "request-context=1,max-duration=0\r\n"
    "Pragma: xClientGUID={c77e7400-738a-11d2-9add-0020af0a3278}\r\nConnection: Close\r\n\r\n";
constexpr std::string_view kFfmpegPlay =
    "GET /fm887 HTTP/1.1\r\nAccept: */*\r\nUser-Agent: NSPlayer/4.1.0.3856\r\n"
    "Host: 127.0.0.1:1\r\nPragma: no-cache,rate=1.000000,request-context=2\r\n"
    "Pragma: xPlayStrm=1\r\nPragma: xClientGUID={c77e7400-738a-11d2-9add-0020af0a3278}\r\n"
    "Pragma: stream-switch-count=1\r\nPragma: stream-switch-entry=ffff:1:0 \r\n"
    "Pragma: no-cache,rate=1.000000,stream-time=0Connection: Close\r\n\r\n";

class StreamsServer : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::array<core::StationRow, 3> rows = {{
        {"绿城", "绿城", core::Scheme::Http, 1, 0, "/voice"},
        {"青大", "青大", core::Scheme::Http, 1, 0, "/radio.asx"},
        {"CRI", "CRI", core::Scheme::Mms, 1, 0, "/fm887"},
    }};
    server_ = std::make_unique<Server>(
        BuildPlan(rows, [](int) { return std::string_view("127.0.0.1:0"); }),
        [this](const std::string& line) { log_.push_back(line); });
    ASSERT_EQ(server_->Start(), 1u);
    port_ = server_->BoundPort(0);
    ASSERT_GT(port_, 0);
  }
  const Route& RouteOf(std::string_view path) { return *server_->plan().listeners[0].Find(path); }

  std::vector<std::string> log_;
  std::unique_ptr<Server> server_;
  int port_ = 0;
};

TEST_F(StreamsServer, HttpRowIsAnEndlessWavAtItsPitch) {
  const auto reply = Fetch(port_, "GET /voice HTTP/1.0\r\nAccept: */*\r\n\r\n", 44 + kSampleRate);
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.Header("content-type"), "audio/x-wav");
  EXPECT_FALSE(reply.Header("content-length")) << "a live stream has no length";
  ASSERT_GE(reply.body.size(), 44u + kSampleRate);
  EXPECT_EQ(reply.body.substr(0, 44), WavHeader());
  EXPECT_EQ(reply.body.substr(0, 4), "RIFF");
  EXPECT_EQ(Le32(reply.body, 40), 0xFFFFFFFFu) << "open-ended data size";
  EXPECT_NEAR(FrequencyOf(Samples(reply.body.substr(44, kSampleRate))), RouteOf("/voice").frequency,
              3);

  const auto head = Fetch(port_, "HEAD /voice HTTP/1.0\r\n\r\n", 1);
  EXPECT_EQ(head.status, 200);
  EXPECT_TRUE(head.body.empty());
  EXPECT_TRUE(head.closed);
}

TEST_F(StreamsServer, AsxRowNamesAStreamOfTheSamePitchOnTheSameServer) {
  const auto reply = Fetch(port_, "GET /radio.asx HTTP/1.0\r\n\r\n", 1 << 16);
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.Header("content-type"), "video/x-ms-asf");
  EXPECT_EQ(reply.Header("content-length"), std::to_string(reply.body.size()));
  EXPECT_TRUE(reply.closed);
  EXPECT_TRUE(reply.body.starts_with("<ASX version=\"3.0\">"));
  const size_t href = reply.body.find("<Ref href=\"");
  ASSERT_NE(href, std::string::npos);
  EXPECT_EQ(reply.body.find("<Ref", href + 1), std::string::npos) << "one ref";
  const size_t start = href + 11;
  const std::string ref = reply.body.substr(start, reply.body.find('"', start) - start);
  ASSERT_TRUE(ref.starts_with("http://127.0.0.1:0/")) << ref;  // the row's own host text
  const std::string path = ref.substr(ref.find('/', 7));

  const auto stream = Fetch(port_, "GET " + path + " HTTP/1.0\r\n\r\n", 44 + kSampleRate);
  EXPECT_EQ(stream.status, 200);
  ASSERT_GE(stream.body.size(), 44u + kSampleRate);
  EXPECT_EQ(stream.body.substr(0, 4), "RIFF");
  EXPECT_NEAR(FrequencyOf(Samples(stream.body.substr(44, kSampleRate))),
              RouteOf("/radio.asx").frequency, 3);
  EXPECT_NE(RouteOf("/radio.asx").frequency, RouteOf("/voice").frequency);
}

TEST_F(StreamsServer, MmsRowAnswersTheDescribeRequestWithTheHeaderAlone) {
  const auto reply = Fetch(port_, kFfmpegDescribe, 1 << 20);
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.Header("content-type"), "application/vnd.ms.wms-hdr.asfv1");
  EXPECT_TRUE(reply.closed);
  const std::string header = AsfHeader();
  ASSERT_EQ(reply.body.size(), 12 + header.size());
  EXPECT_EQ(reply.body.substr(0, 2), "$H");
  EXPECT_EQ(Le16(reply.body, 2), 8 + header.size());
  EXPECT_EQ(Le16(reply.body, 10), 8 + header.size());
  EXPECT_EQ(reply.body.substr(12), header);
}

TEST_F(StreamsServer, MmsRowPlaysAsDataChunksInSequence) {
  const size_t chunk = 12 + kAsfPacketSize;
  const std::string header = AsfHeader();
  const auto reply = Fetch(port_, kFfmpegPlay, 12 + header.size() + 12 * chunk);
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.Header("content-type"), "application/x-mms-framed");
  ASSERT_GE(reply.body.size(), 12 + header.size() + 12 * chunk);
  EXPECT_EQ(reply.body.substr(0, 2), "$H");
  std::string pcm;
  size_t at = 12 + header.size();
  for (uint32_t sequence = 0; sequence < 12; ++sequence, at += chunk) {
    ASSERT_EQ(reply.body.substr(at, 2), "$D") << sequence;
    EXPECT_EQ(Le16(reply.body, at + 2), 8 + kAsfPacketSize);
    EXPECT_EQ(Le32(reply.body, at + 4), sequence);
    EXPECT_EQ(Le16(reply.body, at + 10), 8 + kAsfPacketSize);
    EXPECT_EQ(Le32(reply.body, at + 12 + 22), sequence * 100) << "presentation time";
    pcm += reply.body.substr(at + 12 + kAsfPacketOverhead, kUnitBytes);
  }
  EXPECT_NEAR(FrequencyOf(Samples(pcm)), RouteOf("/fm887").frequency, 3);
}

TEST_F(StreamsServer, RefusesWhatIsNoStation) {
  const auto missing = Fetch(port_, "GET /fm888 HTTP/1.0\r\n\r\n", 1 << 16);
  EXPECT_EQ(missing.status, 404);
  EXPECT_TRUE(missing.closed);
  EXPECT_EQ(Fetch(port_, "POST /voice HTTP/1.0\r\nContent-Length: 0\r\n\r\n", 1 << 16).status, 405);
  EXPECT_EQ(Fetch(port_, "hello\r\n\r\n", 1 << 16).status, 400);
  // A query the table does not name is another address.
  EXPECT_EQ(Fetch(port_, "GET /voice?x=1 HTTP/1.0\r\n\r\n", 1 << 16).status, 404);
}

TEST_F(StreamsServer, SendsLiveAudioAtItsOwnPaceNotAsFastAsItCan) {
  const auto start = std::chrono::steady_clock::now();
  const auto reply = Fetch(port_, "GET /voice HTTP/1.0\r\n\r\n", 1 << 24, 3s);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // A lead of 1.5 s, then real time. As fast as it can would be minutes of audio; a busy machine
  // gets less, never more.
  const double audioSeconds = double(reply.body.size()) / (2.0 * kSampleRate);
  std::printf("%.2f s of audio in %.2f s\n", audioSeconds, seconds);
  EXPECT_GT(audioSeconds, 1.0);
  EXPECT_LT(audioSeconds, seconds + 3.0);
}

TEST_F(StreamsServer, StopEndsStreamsThatAreStillPlaying) {
  test::Client client(port_);
  ASSERT_TRUE(client.Send("GET /voice HTTP/1.0\r\n\r\n"));
  ASSERT_GT(client.Read(1000, 5s).size(), 0u);
  server_->Stop();
  // The server side is closed: the client reads what is left, then the end.
  EXPECT_TRUE(client.ReadToEnd(10s));
}

TEST(StreamsServerBinding, SkipsWhatItCannotBindWithOneLineAndServesTheRest) {
  // Hold a port so that the plan's first listener cannot have it.
  const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(holder, 1), 0);
  socklen_t length = sizeof address;
  ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string taken = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

  const std::array<core::StationRow, 3> rows = {{
      {"甲", "甲", core::Scheme::Http, 1, 0, "/a"},
      {"乙", "乙", core::Scheme::Http, 2, 0, "/b"},
      {"丙", "丙", core::Scheme::Mms, 3, 0, "/c"},
  }};
  std::vector<std::string> log;
  Server server(BuildPlan(rows,
                          [&](int key) -> std::string_view {
                            if (key == 1) return taken;
                            if (key == 2) return "radio.example.com:18002";
                            return "127.0.0.1:0";
                          }),
                [&](const std::string& line) { log.push_back(line); });
  EXPECT_EQ(server.Start(), 1u);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[0].find(taken), std::string::npos) << log[0];
  EXPECT_NE(log[1].find("radio.example.com:18002"), std::string::npos) << log[1];
  EXPECT_EQ(server.BoundPort(0), 0);
  EXPECT_EQ(server.BoundPort(1), 0);
  ASSERT_GT(server.BoundPort(2), 0);
  EXPECT_EQ(Fetch(server.BoundPort(2), "GET /c HTTP/1.0\r\n\r\n", 1 << 16).status, 200);
  server.Stop();
  ::close(holder);
}

}  // namespace
}  // namespace sonaro::streams
