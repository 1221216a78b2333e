// The host's data folder: the database and the files the operator edits.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "host/gbk.h"

namespace sonaro::host {

// Names inside the data folder.
inline constexpr std::string_view kDatabaseFile = "dedications.sqlite3";
inline constexpr std::string_view kAnnouncementFile = "announcement.txt";
inline constexpr std::string_view kUpdatePageFile = "update.html";
inline constexpr std::string_view kAdvertPageFile = "advert.html";
inline constexpr std::string_view kHelpPageFile = "help.html";
inline constexpr std::string_view kLockFile = "sonaro-host.lock";

// A file the data folder starts with (from host/defaults/, built into the program).
struct DefaultFile {
  std::string_view name;
  std::string_view content;
};
std::span<const DefaultFile> DefaultFiles();

// Opens a data folder for one host: creates the folder and every default file that is missing
// (an existing file is never overwritten) and holds the folder's lock while the object lives,
// so that a second host cannot use the same folder. Throws std::runtime_error with a message
// for the operator.
class DataFolder {
 public:
  explicit DataFolder(std::filesystem::path dir);
  ~DataFolder();
  DataFolder(const DataFolder&) = delete;
  DataFolder& operator=(const DataFolder&) = delete;

  std::filesystem::path File(std::string_view name) const { return dir_ / name; }

 private:
  std::filesystem::path dir_;
  int lock_fd_ = -1;
};

// The most an operator's file may hold to be served. The player reads at most 1 MiB of the
// announcement; a page of text is far smaller still, and inline images fit in 4 MiB.
inline constexpr size_t kAnnouncementMaxBytes = size_t(1) << 20;
inline constexpr size_t kPageMaxBytes = size_t(4) << 20;

// A file the operator edits, delivered as the player expects it (see GbkFromOperatorFile). The
// converted bytes are kept once and shared by every answer. Reading the disk is Refresh's job,
// which runs on a thread of its own (Host checks every file once a second), so that answering
// never waits on the disk or on a conversion.
class OperatorFile {
 public:
  using Convert = std::function<std::string(std::string_view bytes)>;

  // Nothing is read until the first Refresh.
  OperatorFile(std::filesystem::path path, size_t max_bytes, Convert convert = GbkFromOperatorFile);

  // The contents as last read, in GBK; null when the file is missing or cannot be read. Takes
  // no lock and touches no disk: safe on the I/O threads.
  std::shared_ptr<const std::string> Current() const { return contents_.load(); }

  // Looks at the file and, when it changed since it was last looked at, reads and converts it
  // again. A file over max_bytes is not read: its previous contents stay (none after a start),
  // and one log line says so. Blocks on the disk and the conversion.
  void Refresh();

 private:
  struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    long long modified_ns = -1;
    long long changed_ns = -1;  // also moves on chmod, and on a write that keeps the mtime
    bool operator==(const Identity&) const = default;
  };

  const std::filesystem::path path_;
  const size_t max_bytes_;
  const Convert convert_;
  std::mutex refresh_mutex_;
  // Under refresh_mutex_: the version last looked at, and whether it was looked at twice.
  Identity identity_;
  bool settled_ = false;
  std::atomic<std::shared_ptr<const std::string>> contents_;
};

}  // namespace sonaro::host
