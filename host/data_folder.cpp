#include "host/data_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "host/log.h"

namespace sonaro::host {
namespace {

void WriteNewFile(const std::filesystem::path& path, std::string_view content) {
  // Written aside and renamed, so a crash never leaves a half-written default behind.
  std::filesystem::path temporary = path;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + temporary.string());
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    throw std::runtime_error("cannot create " + path.string() + ": " + error.message());
  }
}

long long Nanoseconds(const timespec& time) {
  return static_cast<long long>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// Reads at most limit bytes of the file; 0, or the errno of what failed.
int ReadAtMost(const std::filesystem::path& path, size_t limit, std::string& bytes) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  bytes.clear();
  char buffer[65536];
  while (bytes.size() < limit) {
    ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - bytes.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int error = errno;
      ::close(fd);
      return error;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return 0;
}

}  // namespace

DataFolder::DataFolder(std::filesystem::path dir) : dir_(std::move(dir)) {
  std::error_code error;
  std::filesystem::create_directories(dir_, error);
  if (error || !std::filesystem::is_directory(dir_)) {
    throw std::runtime_error("cannot create data folder " + dir_.string() + ": " +
                             (error ? error.message() : "not a folder"));
  }
  std::filesystem::path lock = File(kLockFile);
  lock_fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock_fd_ < 0) {
    throw std::runtime_error("cannot open " + lock.string() + ": " + std::strerror(errno));
  }
  if (::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
    int code = errno;
    ::close(lock_fd_);
    if (code == EWOULDBLOCK) {
      throw std::runtime_error("data folder " + dir_.string() +
                               " is in use by another sonaro-host");
    }
    throw std::runtime_error("cannot lock " + lock.string() + ": " + std::strerror(code));
  }
  try {
    for (const DefaultFile& file : DefaultFiles()) {
      std::filesystem::path path = File(file.name);
      if (!std::filesystem::exists(path, error)) WriteNewFile(path, file.content);
    }
  } catch (...) {
    ::close(lock_fd_);
    throw;
  }
}

DataFolder::~DataFolder() { ::close(lock_fd_); }

OperatorFile::OperatorFile(std::filesystem::path path, size_t max_bytes, Convert convert)
    : path_(std::move(path)), max_bytes_(max_bytes), convert_(std::move(convert)) {}

void OperatorFile::Refresh() {
  std::lock_guard lock(refresh_mutex_);
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    identity_ = Identity{};
    settled_ = false;
    contents_.store(nullptr);
    return;
  }
  const Identity now{info.st_dev, info.st_ino, info.st_size, Nanoseconds(info.st_mtim),
                     Nanoseconds(info.st_ctim)};
  // Every version is read twice, a check apart: a write in the same tick of the file system's
  // clock as the first read leaves the identity unchanged.
  if (now == identity_ && settled_) return;
  const bool first_look = now != identity_;
  identity_ = now;
  settled_ = !first_look;

  auto over_limit = [&](unsigned long long size) {
    settled_ = true;
    Log(path_.string() + " has " + std::to_string(size) + " bytes, more than the " +
        std::to_string(max_bytes_) + " served of it: " +
        (contents_.load() ? "its previous contents are served" : "it is not served (404)") +
        " until it is smaller");
  };
  if (static_cast<unsigned long long>(info.st_size) > max_bytes_) {
    if (first_look) over_limit(static_cast<unsigned long long>(info.st_size));
    return;
  }
  std::string bytes;
  int error = ReadAtMost(path_, max_bytes_ + 1, bytes);
  if (error != 0) {
    if (first_look) Log("cannot read " + path_.string() + ": " + std::strerror(error));
    contents_.store(nullptr);
    return;
  }
  // Grown since it was looked at.
  if (bytes.size() > max_bytes_) return over_limit(bytes.size());
  contents_.store(std::make_shared<const std::string>(convert_(bytes)));
}

}  // namespace sonaro::host
