#include "host/streams/audio.h"

#include <cmath>
#include <numbers>

namespace sonaro::streams {

void PutLe16(std::string& out, uint32_t value) {
  out += char(value & 0xFF);
  out += char((value >> 8) & 0xFF);
}

void PutLe32(std::string& out, uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}

void PutLe64(std::string& out, uint64_t value) {
  PutLe32(out, uint32_t(value & 0xFFFFFFFFu));
  PutLe32(out, uint32_t(value >> 32));
}

Tone::Tone(int frequency) : second_(size_t(kSampleRate)) {
  for (size_t n = 0; n < second_.size(); ++n) {
    // (n * f) mod rate keeps the phase exact however long the stream runs.
    const double phase =
        double((uint64_t(n) * uint64_t(frequency)) % uint64_t(kSampleRate)) / double(kSampleRate);
    second_[n] = int16_t(std::lround(kToneAmplitude * std::sin(2 * std::numbers::pi * phase)));
  }
}

std::string Tone::NextUnit() {
  std::string out;
  out.reserve(kUnitBytes);
  for (size_t i = 0; i < kUnitSamples; ++i) {
    PutLe16(out, uint16_t(second_[position_]));
    position_ = (position_ + 1) % second_.size();
  }
  return out;
}

std::string WavHeader() {
  std::string out = "RIFF";
  PutLe32(out, 0xFFFFFFFFu);  // unknown length: the stream does not end
  out += "WAVEfmt ";
  PutLe32(out, 16);
  PutLe16(out, 1);  // PCM
  PutLe16(out, 1);  // mono
  PutLe32(out, kSampleRate);
  PutLe32(out, kSampleRate * 2);
  PutLe16(out, 2);
  PutLe16(out, 16);
  out += "data";
  PutLe32(out, 0xFFFFFFFFu);
  return out;
}

}  // namespace sonaro::streams
