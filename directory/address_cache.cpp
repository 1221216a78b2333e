#include "directory/address_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace sonaro::directory {

namespace {

constexpr const char* kHeader = "# sonaro station addresses 1";

bool SafeField(const std::string& text) {
  return !text.empty() && text.size() <= 4096 && text.find_first_of("\t\r\n") == std::string::npos;
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos) {
    const std::string folder = path.substr(0, slash);
    ::mkdir(folder.c_str(), 0700);  // the program's cache folder, once
  }
  const std::string temporary = path + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n <= 0) break;
    written += size_t(n);
  }
  const bool ok = written == bytes.size() && ::fsync(fd) == 0;
  ::close(fd);
  if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string DefaultCachePath() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache && *cache == '/') return std::string(cache) + "/sonaro/station-addresses";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.cache/sonaro/station-addresses";
}

AddressCache::AddressCache(std::string path) : path_(std::move(path)) {}

void AddressCache::Load() {
  std::lock_guard lock(mutex_);
  LoadLocked();
}

void AddressCache::LoadLocked() {
  if (loaded_) return;
  loaded_ = true;
  std::ifstream in(path_, std::ios::binary);
  if (!in) return;
  std::string text(kMaxFileBytes + 1, '\0');
  in.read(text.data(), std::streamsize(text.size()));
  text.resize(size_t(in.gcount()));
  if (text.size() > kMaxFileBytes || text.rfind(kHeader, 0) != 0) return;
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string row, found, uuid, url;
    if (!std::getline(fields, row, '\t') || !std::getline(fields, found, '\t') ||
        !std::getline(fields, uuid, '\t') || !std::getline(fields, url)) {
      continue;
    }
    char* end = nullptr;
    const long number = std::strtol(row.c_str(), &end, 10);
    if (*end || number < 0 || number > 100000 || !SafeField(uuid) || !SafeField(url)) continue;
    const long long seconds = std::strtoll(found.c_str(), &end, 10);
    if (*end || seconds < 0) continue;
    if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) continue;
    rows_[int(number)] = CachedAddress{url, uuid, seconds};
  }
}

std::optional<CachedAddress> AddressCache::Find(int row) {
  std::lock_guard lock(mutex_);
  LoadLocked();
  const auto found = rows_.find(row);
  if (found == rows_.end()) return std::nullopt;
  return found->second;
}

bool AddressCache::Store(int row, const CachedAddress& address) {
  if (!SafeField(address.url) || !SafeField(address.uuid)) return false;
  std::lock_guard lock(mutex_);
  LoadLocked();
  rows_[row] = address;
  std::string text = std::string(kHeader) + "\n";
  for (const auto& [number, entry] : rows_) {
    text += std::to_string(number) + "\t" + std::to_string(entry.found) + "\t" + entry.uuid + "\t" +
            entry.url + "\n";
  }
  return WriteWhole(path_, text);
}

}  // namespace sonaro::directory
