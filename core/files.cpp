#include "core/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace sonaro::core {
namespace {

// Names that cannot be files on every system the program's users share files with.
bool IsPortableName(std::string_view name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    if (std::string_view("\\:*?\"<>|").find(c) != std::string_view::npos) return false;
  }
  return true;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(size_t(written));
  }
  return true;
}

}  // namespace

namespace {

bool Write(const std::string& path, std::string_view bytes, bool replace) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  size_t slash = path.rfind('/');
  std::string_view name = std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.empty() || !IsPortableName(name)) return false;

  // Non-blocking: a pipe with no reader fails at once instead of hanging. A new file follows no
  // link and replaces nothing.
  const int flags =
      O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (replace ? 0 : O_EXCL | O_NOFOLLOW);
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return false;
  // Lock before emptying, so a file another writer holds keeps its contents.
  bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ftruncate(fd, 0) == 0 && WriteAll(fd, bytes);
  if (::close(fd) != 0) ok = false;
  if (!ok && !replace) ::unlink(path.c_str());  // no half-written new file is left behind
  return ok;
}

}  // namespace

bool WriteFile(const std::string& path, std::string_view bytes) { return Write(path, bytes, true); }

bool WriteNewFile(const std::string& path, std::string_view bytes) {
  return Write(path, bytes, false);
}

std::string ProgramFolder() {
  char buffer[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0 || size_t(length) >= sizeof buffer) return std::string();
  std::string exe(buffer, size_t(length));
  size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

}  // namespace sonaro::core
