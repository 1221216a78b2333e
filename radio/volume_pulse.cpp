#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/volume.h>

#include <algorithm>
#include <optional>

#include "radio/volume.h"

namespace sonaro::radio {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kDefaultSink = "@DEFAULT_SINK@";

bool IsLeft(pa_channel_position_t p) {
  return p == PA_CHANNEL_POSITION_FRONT_LEFT || p == PA_CHANNEL_POSITION_REAR_LEFT ||
         p == PA_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER || p == PA_CHANNEL_POSITION_SIDE_LEFT ||
         p == PA_CHANNEL_POSITION_TOP_FRONT_LEFT || p == PA_CHANNEL_POSITION_TOP_REAR_LEFT;
}

bool IsRight(pa_channel_position_t p) {
  return p == PA_CHANNEL_POSITION_FRONT_RIGHT || p == PA_CHANNEL_POSITION_REAR_RIGHT ||
         p == PA_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER || p == PA_CHANNEL_POSITION_SIDE_RIGHT ||
         p == PA_CHANNEL_POSITION_TOP_FRONT_RIGHT || p == PA_CHANNEL_POSITION_TOP_REAR_RIGHT;
}

struct SinkState {
  bool done = false;
  bool found = false;
  pa_cvolume volume{};
  pa_channel_map map{};
};

class PulseVolume final : public SystemVolume {
 public:
  explicit PulseVolume(std::chrono::milliseconds limit) : limit_(limit) {}
  ~PulseVolume() override { Close(); }

  bool Open() override {
    Close();
    loop_ = pa_mainloop_new();
    if (!loop_) return false;
    context_ = pa_context_new(pa_mainloop_get_api(loop_), "sonaro");
    if (!context_ || pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
      Close();
      return false;
    }
    const auto deadline = Clock::now() + limit_;
    bool ready = RunUntil(deadline, [this] {
      const pa_context_state_t state = pa_context_get_state(context_);
      return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    });
    if (!ready || pa_context_get_state(context_) != PA_CONTEXT_READY || !QuerySink(deadline)) {
      Close();
      return false;
    }
    return true;
  }

  bool Read(long& left, long& right) override {
    if (!context_ || !QuerySink(Clock::now() + limit_)) return false;
    const pa_cvolume& v = sink_.volume;
    auto clamp = [](pa_volume_t value) { return long(std::min<pa_volume_t>(value, 65535)); };
    if (v.channels == 1) {
      left = clamp(v.values[0]);
      right = -1;
      return true;
    }
    // Left and right are the loudest channel on each side of the device.
    pa_volume_t l = 0, r = 0;
    bool anyLeft = false, anyRight = false;
    for (unsigned i = 0; i < v.channels; ++i) {
      if (IsLeft(sink_.map.map[i])) l = std::max(l, v.values[i]), anyLeft = true;
      if (IsRight(sink_.map.map[i])) {
        r = std::max(r, v.values[i]);
        anyRight = true;
      }
    }
    if (!anyLeft) l = v.values[0];
    if (!anyRight) r = v.values[v.channels > 1 ? 1 : 0];
    left = clamp(l);
    right = clamp(r);
    return true;
  }

  void Write(long left, long right) override {
    if (!context_ || !QuerySink(Clock::now() + limit_)) return;
    const auto value = [](long v) { return pa_volume_t(std::clamp<long>(v, 0, 65535)); };
    pa_cvolume volume = sink_.volume;
    if (left == right || volume.channels == 1) {
      // Keep the balance the user set on the device; its loudest channel becomes the value.
      if (pa_cvolume_max(&volume) == PA_VOLUME_MUTED) {
        pa_cvolume_set(&volume, volume.channels, value(left));
      } else {
        pa_cvolume_scale(&volume, value(left));
      }
    } else {
      for (unsigned i = 0; i < volume.channels; ++i) {
        const pa_channel_position_t position = sink_.map.map[i];
        volume.values[i] = IsLeft(position)    ? value(left)
                           : IsRight(position) ? value(right)
                                               : value(std::max(left, right));
      }
    }
    bool done = false;
    pa_operation* operation = pa_context_set_sink_volume_by_name(
        context_, kDefaultSink, &volume,
        [](pa_context*, int, void* flag) { *static_cast<bool*>(flag) = true; }, &done);
    if (!operation) return;
    RunUntil(Clock::now() + limit_, [&] { return done; });
    pa_operation_unref(operation);
  }

  void Close() override {
    if (context_) {
      pa_context_disconnect(context_);
      pa_context_unref(context_);
      context_ = nullptr;
    }
    if (loop_) {
      pa_mainloop_free(loop_);
      loop_ = nullptr;
    }
  }

 private:
  template <class Done>
  bool RunUntil(Clock::time_point deadline, Done done) {
    while (!done()) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return false;
      if (pa_mainloop_prepare(loop_, int(left.count()) * 1000) < 0) return false;
      if (pa_mainloop_poll(loop_) < 0) return false;
      if (pa_mainloop_dispatch(loop_) < 0) return false;
    }
    return true;
  }

  bool QuerySink(Clock::time_point deadline) {
    SinkState state;
    pa_operation* operation = pa_context_get_sink_info_by_name(
        context_, kDefaultSink,
        [](pa_context*, const pa_sink_info* info, int eol, void* data) {
          auto* s = static_cast<SinkState*>(data);
          if (eol != 0) {
            s->done = true;
            return;
          }
          if (info) {
            s->found = true;
            s->volume = info->volume;
            s->map = info->channel_map;
          }
        },
        &state);
    if (!operation) return false;
    const bool finished = RunUntil(deadline, [&] { return state.done; });
    pa_operation_unref(operation);
    if (!finished || !state.found || state.volume.channels == 0) return false;
    sink_ = state;
    return true;
  }

  std::chrono::milliseconds limit_;
  pa_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  SinkState sink_;
};

SystemVolumeMaker& Maker() {
  static SystemVolumeMaker maker;
  return maker;
}

}  // namespace

std::unique_ptr<SystemVolume> MakePulseVolume(std::chrono::milliseconds limit) {
  return std::make_unique<PulseVolume>(limit);
}

void SetSystemVolumeMaker(SystemVolumeMaker maker) { Maker() = std::move(maker); }

std::unique_ptr<SystemVolume> MakeSystemVolume() { return Maker() ? Maker()() : MakePulseVolume(); }

}  // namespace sonaro::radio
