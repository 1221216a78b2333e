#include "host/data_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "host/gbk.h"

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

OperatorFile::OperatorFile(std::filesystem::path path) : path_(std::move(path)) {}

std::shared_ptr<const std::string> OperatorFile::Get() {
  struct stat info {};
  std::lock_guard lock(mutex_);
  if (::stat(path_.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    identity_ = Identity{};
    contents_.reset();
    return nullptr;
  }
  Identity now{info.st_dev, info.st_ino, info.st_size,
               static_cast<long long>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
  if (contents_ && now == identity_) return contents_;
  std::ifstream in(path_, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in) {
    identity_ = Identity{};
    contents_.reset();
    return nullptr;
  }
  identity_ = now;
  contents_ = std::make_shared<const std::string>(GbkFromOperatorFile(bytes.str()));
  return contents_;
}

}  // namespace sonaro::host
