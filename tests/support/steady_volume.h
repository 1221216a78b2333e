// A system volume that always opens and reads one level, for widget tests without a sound
// server.
#pragma once

#include "radio/volume.h"

namespace sonaro::test {

class SteadyVolume : public radio::SystemVolume {
 public:
  explicit SteadyVolume(long level = 32768) : level_(level) {}
  bool Open() override { return true; }
  bool Read(long& left, long& right) override {
    left = right = level_;
    return true;
  }
  void Write(long, long) override {}
  void Close() override {}

 private:
  long level_;
};

}  // namespace sonaro::test
