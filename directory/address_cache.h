// Each row's live address as the directory last gave it, with the time it was found, kept in a
// file so that a station starts at once and plays without the network. The file is written
// whole or not at all (a temporary file, fsync, rename); a damaged or foreign file counts as
// empty. Safe to use from several threads.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace sonaro::directory {

struct CachedAddress {
  std::string url;    // http or https
  std::string uuid;   // the directory's stationuuid, for its click count
  int64_t found = 0;  // seconds since the epoch
};

// Older than this, a cached address is looked up again (it still plays meanwhile).
inline constexpr int64_t kRefreshAfterSeconds = 7 * 24 * 3600;

class AddressCache {
 public:
  // path: the file; it is read on the first call that needs it.
  explicit AddressCache(std::string path);

  std::optional<CachedAddress> Find(int row);
  // Keeps the row's address and writes the file; false when the file could not be written
  // (the address is still kept for this run).
  bool Store(int row, const CachedAddress& address);
  // Reads the file now (a caller that must not wait for the disk later calls it off-thread).
  void Load();

  static constexpr size_t kMaxFileBytes = size_t(1) << 20;

 private:
  void LoadLocked();
  std::mutex mutex_;
  std::string path_;
  bool loaded_ = false;
  std::map<int, CachedAddress> rows_;
};

// $XDG_CACHE_HOME/sonaro/station-addresses (or ~/.cache/...).
std::string DefaultCachePath();

}  // namespace sonaro::directory
