#include "host/log.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace sonaro::host {

void Log(std::string_view message) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  // One write per line, so lines from several threads do not interleave.
  std::string line = std::string(stamp) + " sonaro-host: " + std::string(message) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace sonaro::host
