// The volume knob on the real Station panel, with a recording system volume.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPointer>
#include <regex>
#include <vector>

#include "app/catalogue.h"
#include "assets/assets.h"
#include "radio/volume.h"
#include "radio/volume_knob.h"
#include "support/private_pulse.h"
#include "ui/facilities.h"
#include "ui/ids.h"
#include "ui/window_system.h"

using namespace sonaro;

namespace {

struct Mixer {
  bool opens = true;
  long left = 0, right = 0;
  int opened = 0, closed = 0;
  std::vector<std::pair<long, long>> writes;
};

class FakeVolume : public radio::SystemVolume {
 public:
  explicit FakeVolume(Mixer& mixer) : mixer_(mixer) {}
  bool Open() override {
    ++mixer_.opened;
    open_ = mixer_.opens;
    return open_;
  }
  bool Read(long& left, long& right) override {
    if (!open_) return false;
    left = mixer_.left;
    right = mixer_.right;
    return true;
  }
  void Write(long left, long right) override {
    if (open_) mixer_.writes.emplace_back(left, right);
  }
  void Close() override {
    ++mixer_.closed;
    open_ = false;
  }

 private:
  Mixer& mixer_;
  bool open_ = false;
};

class Knob : public ::testing::Test {
 protected:
  void SetUp() override {
    assets::Init();
    radio::SetSystemVolumeMaker([this] { return std::make_unique<FakeVolume>(mixer_); });
    ui::SetMessageAnswerer([this](const core::Text& text, int style, const core::Text& title) {
      messages_.push_back({text, style, title});
      return ui::kIdOk;
    });
    ui::InstallCatalogue(app::Catalogue());
  }
  void TearDown() override {
    delete panel_.data();
    radio::SetSystemVolumeMaker(nullptr);
    ui::SetMessageAnswerer(nullptr);
  }
  void LoadPanel() {
    panel_ = ui::LoadWindow(ids::kStationPanel);
    ASSERT_NE(panel_.data(), nullptr);
    knob_ = ui::ControlWidget(ids::kStationPanel, ids::panel::kVolumeKnob);
  }
  int KnobLeft() const { return knob_->x(); }
  void Send(QEvent::Type type, QPoint inKnob) {
    const QPoint global = knob_->mapToGlobal(inKnob);
    QMouseEvent event(
        type, inKnob, global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(knob_, &event);
  }

  struct Message {
    core::Text text;
    int style;
    core::Text title;
  };
  Mixer mixer_;
  std::vector<Message> messages_;
  QPointer<QWidget> panel_;
  QWidget* knob_ = nullptr;
};

}  // namespace

TEST(KnobArithmetic, PositionsAndVolumes) {
  EXPECT_EQ(radio::KnobForVolume(65535, 65535), 108);
  EXPECT_EQ(radio::KnobForVolume(0, 0), 40);
  EXPECT_EQ(radio::KnobForVolume(32768, -1), 40 + 16);  // a mono device
  EXPECT_EQ(radio::VolumeForKnob(40), 0);
  EXPECT_EQ(radio::VolumeForKnob(107), 64571);  // 67 x 963.75 = 64571.25
  EXPECT_EQ(radio::VolumeForKnob(41), 964);     // 963.75 rounds up
}

TEST_F(Knob, CreationShowsTheSystemVolume) {
  mixer_.left = mixer_.right = 65535;
  LoadPanel();
  EXPECT_EQ(KnobLeft(), 108);
  // The fill bar still shows the slider's value 50.
  EXPECT_EQ(ui::ControlWidget(ids::kStationPanel, ids::panel::kVolumeFill)->width(), 45);
  EXPECT_EQ(mixer_.opened, 1);
  EXPECT_EQ(mixer_.closed, 1);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(Knob, NoMixerWarnsAtCreationAndAtEveryDragMove) {
  mixer_.opens = false;
  LoadPanel();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, core::GbkFromUtf8("系统音量打开失败!,您可能听不到声音!"));
  EXPECT_EQ(messages_[0].style, 48);
  EXPECT_EQ(messages_[0].title, core::GbkFromUtf8("信息："));
  EXPECT_EQ(mixer_.closed, 1);     // closed in either case
  EXPECT_EQ(KnobLeft(), 43 + 29);  // left where the slider put it

  Send(QEvent::MouseButtonPress, {10, 10});
  Send(QEvent::MouseMove, {12, 10});
  Send(QEvent::MouseMove, {14, 10});
  EXPECT_EQ(messages_.size(), 3u);
  EXPECT_TRUE(mixer_.writes.empty());
  EXPECT_GT(KnobLeft(), 43 + 29);  // the knob still moves
}

TEST_F(Knob, DraggingWritesTheKnobPositionToBothChannels) {
  mixer_.left = mixer_.right = 0;
  LoadPanel();
  ASSERT_EQ(KnobLeft(), 40);
  Send(QEvent::MouseButtonPress, {5, 10});
  // The slider puts the knob's left edge under the pointer, snapped; the handler then steps
  // one pixel right (pointer right of the press point) and writes the volume from there.
  Send(QEvent::MouseMove, {20, 10});
  ASSERT_EQ(mixer_.writes.size(), 1u);
  const int left = KnobLeft();
  EXPECT_EQ(mixer_.writes[0].first, radio::VolumeForKnob(left));
  EXPECT_EQ(mixer_.writes[0].second, mixer_.writes[0].first);

  // A pointer 184 pixels or more right of the knob changes nothing.
  Send(QEvent::MouseMove, {184, 10});
  EXPECT_EQ(mixer_.writes.size(), 1u);

  Send(QEvent::MouseButtonRelease, {20, 10});
  Send(QEvent::MouseMove, {30, 10});
  EXPECT_EQ(mixer_.writes.size(), 1u);  // not dragging any more
}

TEST_F(Knob, InTheDeadZoneTheKnobHoldsAndTheVolumeIsWrittenAtEveryMove) {
  mixer_.left = mixer_.right = 65535;
  LoadPanel();
  ASSERT_EQ(KnobLeft(), 108);
  Send(QEvent::MouseButtonPress, {20, 10});
  // The pointer is within the last knob width of the track: the slider leaves the knob, and
  // the handler does not step past 107; the volume is written at every move all the same.
  for (int i = 0; i < 5; ++i) Send(QEvent::MouseMove, {21 + i, 10});
  EXPECT_EQ(KnobLeft(), 108);
  ASSERT_EQ(mixer_.writes.size(), 5u);
  for (const auto& write : mixer_.writes) EXPECT_EQ(write.first, 65535);
  Send(QEvent::MouseButtonRelease, {25, 10});
}

// The same knob on a real sound server: what the user hears is what pactl reads back.
class RealKnob : public Knob {
 protected:
  void SetUp() override {
    Knob::SetUp();
    radio::SetSystemVolumeMaker(nullptr);  // PulseAudio
  }
  static long SinkVolume(const test::PrivatePulse& pulse) {
    const std::string text = pulse.Pactl("get-sink-volume nullsink");
    std::smatch match;
    static const std::regex left(R"(front-left:\s*(\d+))");
    return std::regex_search(text, match, left) ? std::stol(match[1]) : -1;
  }
  void Screenshot(const char* name) {
    const QString dir = qEnvironmentVariable("SONARO_BINARY_DIR", QStringLiteral(".")) +
                        QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    panel_->grab(QRect(0, 0, 240, 50)).save(dir + QLatin1Char('/') + QLatin1String(name));
  }
};

TEST_F(RealKnob, KnobFollowsAndSetsTheSinkVolume) {
  test::PrivatePulse pulse;
  ASSERT_TRUE(pulse.Running());
  pulse.Pactl("set-sink-volume nullsink 65535 65535");
  LoadPanel();
  EXPECT_EQ(KnobLeft(), 108);
  Screenshot("knob-loudest.png");
  delete panel_.data();

  pulse.Pactl("set-sink-volume nullsink 0 0");
  LoadPanel();
  EXPECT_EQ(KnobLeft(), 40);
  EXPECT_EQ(ui::ControlWidget(ids::kStationPanel, ids::panel::kVolumeFill)->width(), 45);
  Screenshot("knob-silent.png");
  EXPECT_TRUE(messages_.empty());

  Send(QEvent::MouseButtonPress, {5, 10});
  Send(QEvent::MouseMove, {35, 10});
  const int left = KnobLeft();
  EXPECT_GT(left, 40);
  EXPECT_EQ(SinkVolume(pulse), radio::VolumeForKnob(left));
  Screenshot("knob-middle.png");

  // Far to the right: nothing changes for that move.
  pulse.Pactl("set-sink-volume nullsink 1234 1234");
  Send(QEvent::MouseMove, {190, 10});
  EXPECT_EQ(SinkVolume(pulse), 1234);
  Send(QEvent::MouseButtonRelease, {35, 10});
}

TEST_F(RealKnob, NoSoundServerWarnsAndTheKnobStillMoves) {
  setenv("PULSE_SERVER", "unix:/nonexistent/sonaro/native", 1);
  LoadPanel();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, core::GbkFromUtf8("系统音量打开失败!,您可能听不到声音!"));
  const int before = KnobLeft();
  Send(QEvent::MouseButtonPress, {5, 10});
  Send(QEvent::MouseMove, {20, 10});
  Send(QEvent::MouseMove, {30, 10});
  EXPECT_EQ(messages_.size(), 3u);
  EXPECT_NE(KnobLeft(), before);
  Send(QEvent::MouseButtonRelease, {30, 10});
  unsetenv("PULSE_SERVER");
}
