// The system volume: the output volume of the default sound device, for every program.
// One value per channel in mixer units, 0..65535 (65536 would be 100 %).
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace sonaro::radio {

class SystemVolume {
 public:
  virtual ~SystemVolume() = default;
  // Opens the speakers of the first mixer (the default sink). False when no sound server
  // answers within the time limit or there is no sink.
  virtual bool Open() = 0;
  // The current per-channel values; a mono device reads -1 for the right channel. False (and
  // nothing read) when not open.
  virtual bool Read(long& left, long& right) = 0;
  // Sets both channels; does nothing when not open. Equal values keep the device's own balance
  // between its channels and make the loudest channel that value.
  virtual void Write(long left, long right) = 0;
  virtual void Close() = 0;
};

// The PulseAudio realisation (also served by PipeWire). Every call gives up after `limit`, so a
// hung sound server cannot freeze the program.
std::unique_ptr<SystemVolume> MakePulseVolume(
    std::chrono::milliseconds limit = std::chrono::milliseconds(1500));

// What the volume knob uses; tests may install their own maker. Null restores PulseAudio.
using SystemVolumeMaker = std::function<std::unique_ptr<SystemVolume>()>;
void SetSystemVolumeMaker(SystemVolumeMaker maker);
std::unique_ptr<SystemVolume> MakeSystemVolume();

}  // namespace sonaro::radio
