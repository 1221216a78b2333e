// The system-volume unit against a real PulseAudio daemon with null sinks.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "radio/volume.h"
#include "support/private_pulse.h"

using namespace sonaro;
using namespace std::chrono_literals;

namespace {

// The per-channel raw values pactl reports for a sink.
std::vector<long> SinkVolumes(const test::PrivatePulse& pulse, const std::string& sink) {
  const std::string text = pulse.Pactl("get-sink-volume " + sink);
  std::vector<long> values;
  static const std::regex channel(R"(:\s*(\d+)\s*/)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), channel);
       it != std::sregex_iterator(); ++it) {
    values.push_back(std::stol((*it)[1]));
  }
  return values;
}

}  // namespace

TEST(PulseVolume, StereoReadWriteAndClamp) {
  test::PrivatePulse pulse;
  ASSERT_TRUE(pulse.Running());
  auto volume = radio::MakePulseVolume();
  long left = 0, right = 0;
  EXPECT_FALSE(volume->Read(left, right));  // not open yet

  ASSERT_TRUE(volume->Open());
  pulse.Pactl("set-sink-volume nullsink 40000 20000");
  ASSERT_TRUE(volume->Read(left, right));
  EXPECT_EQ(left, 40000);
  EXPECT_EQ(right, 20000);

  // Equal values keep the device's balance; the louder side takes the value.
  volume->Write(30000, 30000);
  EXPECT_EQ(SinkVolumes(pulse, "nullsink"), (std::vector<long>{30000, 15000}));
  volume->Write(10000, 20000);
  EXPECT_EQ(SinkVolumes(pulse, "nullsink"), (std::vector<long>{10000, 20000}));

  // Above 100 % reads as the top of the mixer's range.
  pulse.Pactl("set-sink-volume nullsink 98304 98304");
  ASSERT_TRUE(volume->Read(left, right));
  EXPECT_EQ(left, 65535);
  EXPECT_EQ(right, 65535);

  // A silent device comes back to the written value on both channels.
  pulse.Pactl("set-sink-volume nullsink 0 0");
  volume->Write(500, 500);
  EXPECT_EQ(SinkVolumes(pulse, "nullsink"), (std::vector<long>{500, 500}));
  volume->Write(70000, -5);
  EXPECT_EQ(SinkVolumes(pulse, "nullsink"), (std::vector<long>{65535, 0}));

  volume->Close();
  EXPECT_FALSE(volume->Read(left, right));
  volume->Write(1, 1);  // closed: nothing happens
  EXPECT_EQ(SinkVolumes(pulse, "nullsink"), (std::vector<long>{65535, 0}));
}

TEST(PulseVolume, MonoDeviceReadsMinusOneOnTheRight) {
  test::PrivatePulse pulse({"sink_name=mono channels=1"});
  ASSERT_TRUE(pulse.Running());
  pulse.Pactl("set-sink-volume mono 12345");
  auto volume = radio::MakePulseVolume();
  ASSERT_TRUE(volume->Open());
  long left = 0, right = 0;
  ASSERT_TRUE(volume->Read(left, right));
  EXPECT_EQ(left, 12345);
  EXPECT_EQ(right, -1);
  volume->Write(20000, 20000);
  EXPECT_EQ(SinkVolumes(pulse, "mono"), (std::vector<long>{20000}));
}

TEST(PulseVolume, NoServerMeansOpenFails) {
  setenv("PULSE_SERVER", "unix:/nonexistent/sonaro/native", 1);
  auto volume = radio::MakePulseVolume();
  EXPECT_FALSE(volume->Open());
  long left = 0, right = 0;
  EXPECT_FALSE(volume->Read(left, right));
  unsetenv("PULSE_SERVER");
}

TEST(PulseVolume, AServerThatNeverAnswersDoesNotHangOpen) {
  const std::string path =
      std::filesystem::temp_directory_path() / ("sonaro-hung-" + std::to_string(getpid()));
  const int server = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(server, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  unlink(path.c_str());
  ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(server, 4), 0);  // accepts connections, never speaks
  setenv("PULSE_SERVER", ("unix:" + path).c_str(), 1);
  auto volume = radio::MakePulseVolume(300ms);
  EXPECT_FALSE(volume->Open());
  unsetenv("PULSE_SERVER");
  close(server);
  unlink(path.c_str());
}
