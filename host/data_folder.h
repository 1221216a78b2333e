// The host's data folder: the database and the files the operator edits.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

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

// A file the operator edits, delivered as the player expects it (see GbkFromOperatorFile).
// It is read again whenever it changes on disk, so edits show without a restart.
class OperatorFile {
 public:
  explicit OperatorFile(std::filesystem::path path);

  // The current contents in GBK; null when the file is missing or cannot be read.
  std::shared_ptr<const std::string> Get();

 private:
  struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    long long modified_ns = -1;
    bool operator==(const Identity&) const = default;
  };

  std::filesystem::path path_;
  std::mutex mutex_;
  Identity identity_;
  std::shared_ptr<const std::string> contents_;
};

}  // namespace sonaro::host
