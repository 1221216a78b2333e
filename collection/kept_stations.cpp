#include "collection/kept_stations.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace sonaro::collection {

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The folders of the program's data are the user's own (0700), as XDG asks.
void MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    ::mkdir(folder.substr(0, slash).c_str(), 0700);
    if (slash == std::string::npos) break;
  }
}

// After a rename: the new name must survive a crash as well as the bytes. The rename is made
// either way, so a folder that cannot be synced does not undo the change.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(size_t(written));
  }
  return true;
}

// Renames the file at path to "<path>.<why>-<YYYYMMDD-HHMMSS>[-n]", a name nothing has yet.
bool MoveAside(const std::string& path, const char* why, std::string* aside) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char stamp[32] = "";
  if (::localtime_r(&now, &local)) std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = path + "." + why + "-" + stamp;
  for (int n = 1; n < 100; ++n) {
    const std::string name = n == 1 ? base : base + "-" + std::to_string(n);
    struct stat existing;
    if (::lstat(name.c_str(), &existing) == 0) continue;
    if (::rename(path.c_str(), name.c_str()) != 0) return false;
    SyncFolder(FolderOf(path));
    *aside = name;
    return true;
  }
  return false;
}

}  // namespace

std::string DefaultKeptStationsPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return std::string(data) + "/sonaro/kept-stations.m3u";
  std::string home;
  if (const char* variable = std::getenv("HOME"); variable && variable[0] == '/') {
    home = variable;
  } else if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir) {
    home = user->pw_dir;
  }
  return home + "/.local/share/sonaro/kept-stations.m3u";
}

FileRead ReadListFile(const std::string& path, std::string* bytes) {
  bytes->clear();
  // Non-blocking: a pipe at the path fails at once rather than waiting for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? FileRead::kMissing : FileRead::kFailed;
  FileRead result = FileRead::kRead;
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    result = FileRead::kFailed;
  } else if (uint64_t(status.st_size) > kMaxListFileBytes) {
    result = FileRead::kTooLarge;
  } else {
    bytes->reserve(size_t(status.st_size));
    char chunk[1 << 16];
    for (;;) {
      const ssize_t got = ::read(fd, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        result = FileRead::kFailed;
        break;
      }
      if (got == 0) break;
      if (bytes->size() + size_t(got) > kMaxListFileBytes) {  // it grew while being read
        result = FileRead::kTooLarge;
        break;
      }
      bytes->append(chunk, size_t(got));
    }
  }
  ::close(fd);
  if (result != FileRead::kRead) bytes->clear();
  return result;
}

bool SaveListFile(const std::string& path, std::string_view bytes) {
  if (path.empty() || path.back() == '/') return false;
  const std::string folder = FolderOf(path);
  MakeFolders(folder);
  struct stat old;
  const bool replacing = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  // A name of its own for each save, so that two saves (of two files, or an export) never share
  // a temporary file.
  static std::atomic<unsigned> saves{0};
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temporary = path + ".saving-" + std::to_string(::getpid()) + "-" + std::to_string(saves++);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes) && (!replacing || ::fchmod(fd, old.st_mode & 0777) == 0) &&
            ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  SyncFolder(folder);
  return true;
}

KeptStations::KeptStations(std::string path) : path_(std::move(path)) {}

size_t KeptStations::Find(std::string_view address) const {
  const std::optional<std::string> wanted = StreamAddress(address);
  if (!wanted) return npos;
  for (size_t i = 0; i < stations_.size(); ++i) {
    if (stations_[i].address == *wanted) return i;
  }
  return npos;
}

LoadResult KeptStations::Load() {
  LoadResult result;
  loaded_ = false;
  stations_.clear();
  std::string bytes;
  const FileRead read = ReadListFile(path_, &bytes);
  if (read == FileRead::kMissing) {
    loaded_ = true;
    return result;
  }
  if (read == FileRead::kRead) result.read = ReadStationList(bytes);
  // This program writes the list whole and ending in a line break: a file cut short was torn
  // by something else, and what it lost is not known.
  if (read != FileRead::kRead || result.read.format == ListFormat::kNotAList ||
      result.read.cutShort) {
    if (!MoveAside(path_, "unreadable", &result.asidePath)) {
      result.status = LoadStatus::kFailed;
      return result;
    }
    result.status = LoadStatus::kMovedAside;
    loaded_ = true;
    return result;
  }
  stations_ = result.read.stations;
  if (result.read.LeftOut() == 0) {
    loaded_ = true;
    return result;
  }
  // The next save would drop what was left out (a file, another scheme, a duplicate, more than
  // the list holds, as a hand-edited list may have): the file as it was is kept aside first.
  if (!MoveAside(path_, "partly-read", &result.asidePath)) {
    result.status = LoadStatus::kFailed;
    return result;
  }
  if (!SaveListFile(path_, WriteStationList(stations_, ListFileType::kM3u))) {
    // Back where it was, so that the next start finds the list it knew.
    if (::rename(result.asidePath.c_str(), path_.c_str()) == 0) result.asidePath.clear();
    result.status = LoadStatus::kFailed;
    return result;
  }
  result.status = LoadStatus::kPartlyKept;
  loaded_ = true;
  return result;
}

Change KeptStations::Add(std::string_view name, std::string_view address) {
  if (!loaded_) return Change::kNotLoaded;
  std::optional<std::string> stream = StreamAddress(address);
  if (!stream) return Change::kNotStreamAddress;
  if (Find(*stream) != npos) return Change::kDuplicate;
  if (stations_.size() >= kMaxKeptStations) return Change::kFull;
  std::vector<KeptStation> next = stations_;
  next.push_back({StationName(name, *stream), std::move(*stream)});
  return SaveAs(std::move(next));
}

Change KeptStations::Remove(size_t index) {
  if (!loaded_) return Change::kNotLoaded;
  if (index >= stations_.size()) return Change::kNoSuchStation;
  std::vector<KeptStation> next = stations_;
  next.erase(next.begin() + std::ptrdiff_t(index));
  return SaveAs(std::move(next));
}

Change KeptStations::Rename(size_t index, std::string_view name) {
  if (!loaded_) return Change::kNotLoaded;
  if (index >= stations_.size()) return Change::kNoSuchStation;
  std::string newName = StationName(name, stations_[index].address);
  if (newName == stations_[index].name) return Change::kDone;
  std::vector<KeptStation> next = stations_;
  next[index].name = std::move(newName);
  return SaveAs(std::move(next));
}

ImportResult KeptStations::Import(std::string_view bytes) {
  ImportResult result;
  if (!loaded_) {
    result.change = Change::kNotLoaded;
    return result;
  }
  result.read = ReadStationList(bytes, stations_);
  if (result.read.stations.empty()) return result;
  std::vector<KeptStation> next = stations_;
  next.insert(next.end(), result.read.stations.begin(), result.read.stations.end());
  result.change = SaveAs(std::move(next));
  return result;
}

Change KeptStations::SaveAs(std::vector<KeptStation> stations) {
  if (!SaveListFile(path_, WriteStationList(stations, ListFileType::kM3u))) {
    return Change::kNotSaved;
  }
  stations_ = std::move(stations);
  return Change::kDone;
}

}  // namespace sonaro::collection
