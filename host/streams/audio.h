// The demo streams' sound: a steady tone per station, 16-bit mono PCM, produced in units of
// 100 ms, and the WAV header of an endless stream of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sonaro::streams {

inline constexpr int kSampleRate = 22050;
inline constexpr int kUnitMs = 100;
inline constexpr size_t kUnitSamples = size_t(kSampleRate) * kUnitMs / 1000;
inline constexpr size_t kUnitBytes = kUnitSamples * 2;
inline constexpr int kToneAmplitude = 16000;  // about -6 dBFS

// Little-endian writers for the stream formats.
void PutLe16(std::string& out, uint32_t value);
void PutLe32(std::string& out, uint32_t value);
void PutLe64(std::string& out, uint64_t value);

class Tone {
 public:
  explicit Tone(int frequency);
  // The next unit of samples (little-endian), continuing the wave where the last one ended.
  std::string NextUnit();

 private:
  // One second: a whole number of cycles, since the frequency is whole, so it loops seamlessly.
  std::vector<int16_t> second_;
  size_t position_ = 0;
};

// RIFF/WAVE header with the open-ended sizes of a live stream.
std::string WavHeader();

}  // namespace sonaro::streams
