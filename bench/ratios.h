// Pairs of benchmarks whose time ratio the run prints at the end: a measured operation and the
// reference it is held against, both run in the same process on the same machine.
#pragma once

#include <string>
#include <vector>

namespace sonaro::bench {

struct Ratio {
  std::string measured;
  std::string reference;
  double limit;  // the largest acceptable ratio; 0 for figures that are only reported
};

// Registers a pair; call at static initialisation, next to the benchmarks.
bool AddRatio(Ratio ratio);
const std::vector<Ratio>& Ratios();

}  // namespace sonaro::bench
