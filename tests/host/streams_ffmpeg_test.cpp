// The demo streams as the real FFmpeg client inside mpv reads them: mmsh (header request, then
// play request and data chunks) and plain HTTP audio, decoded and heard at the row's pitch.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/streams/audio.h"
#include "host/streams/plan.h"
#include "host/streams/server.h"
#include "tests/host/streams_support.h"

namespace sonaro::streams {
namespace {

class StreamsThroughFfmpeg : public ::testing::Test {
 protected:
  void SetUp() override {
    // Two mms rows on one server: the non-ASCII path is sent as the client spells it.
    const std::array<core::StationRow, 3> rows = {{
        {"CRI", "CRI", core::Scheme::Mms, 1, 0, "/fm887"},
        {"芒果", "芒果", core::Scheme::Mms, 1, 0, "/音乐"},
        {"绿城", "绿城", core::Scheme::Http, 1, 0, "/voice"},
    }};
    server_ = std::make_unique<Server>(
        BuildPlan(rows, [](int) { return std::string_view("127.0.0.1:0"); }),
        [](const std::string&) {});
    ASSERT_EQ(server_->Start(), 1u);
    port_ = server_->BoundPort(0);
    folder_ =
        std::filesystem::temp_directory_path() / ("sonaro-streams-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    server_->Stop();
    std::filesystem::remove_all(folder_);
  }

  // Two seconds of the address decoded by mpv into 22050 Hz mono 16-bit PCM.
  std::vector<int16_t> Decode(const std::string& address, const std::string& name) {
    const std::filesystem::path out = folder_ / (name + ".raw");
    const std::string command =
        "timeout 60 mpv --no-config --no-video --really-quiet --ao=pcm --ao-pcm-waveheader=no "
        "--ao-pcm-file='" +
        out.string() +
        "' --audio-format=s16 --audio-channels=mono "
        "--audio-samplerate=22050 --length=2 '" +
        address + "' >'" + out.string() + ".log' 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << command;
    std::ifstream file(out, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return test::Samples(bytes.str());
  }

  int Pitch(std::string_view path) { return server_->plan().listeners[0].Find(path)->frequency; }
  std::string Base() { return "127.0.0.1:" + std::to_string(port_); }

  std::unique_ptr<Server> server_;
  int port_ = 0;
  std::filesystem::path folder_;
};

TEST_F(StreamsThroughFfmpeg, MmshIsDecodedAtTheRowsPitch) {
  const std::vector<int16_t> samples = Decode("mmsh://" + Base() + "/fm887", "mmsh");
  ASSERT_GE(samples.size(), size_t(kSampleRate) * 3 / 2) << "at least 1.5 s decoded";
  EXPECT_NEAR(test::FrequencyOf(samples), Pitch("/fm887"), Pitch("/fm887") * 0.02);

  const std::vector<int16_t> other = Decode("mmsh://" + Base() + "/音乐", "mmsh2");
  ASSERT_GE(other.size(), size_t(kSampleRate) * 3 / 2);
  EXPECT_NEAR(test::FrequencyOf(other), Pitch("/音乐"), Pitch("/音乐") * 0.02);
}

TEST_F(StreamsThroughFfmpeg, HttpAudioIsDecodedAtTheRowsPitch) {
  const std::vector<int16_t> samples = Decode("http://" + Base() + "/voice", "http");
  ASSERT_GE(samples.size(), size_t(kSampleRate) * 3 / 2);
  EXPECT_NEAR(test::FrequencyOf(samples), Pitch("/voice"), Pitch("/voice") * 0.02);
}

}  // namespace
}  // namespace sonaro::streams
