#include "core/stages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace sonaro::core {

void NoteStage(std::string_view name) {
  // Opened once; one write() per line, so that lines from several threads never mix.
  static const int file = [] {
    const char* path = std::getenv("SONARO_STAGE_LOG");
    return path && *path ? ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644) : -1;
  }();
  if (file < 0) return;
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  std::string line =
      std::to_string(static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec);
  line += ' ';
  line += name;
  line += '\n';
  [[maybe_unused]] const ssize_t written = ::write(file, line.data(), line.size());
}

}  // namespace sonaro::core
