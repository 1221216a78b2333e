// 我的电台: the stations the listener keeps, in the order they were added, in one extended M3U
// file. Every change is saved whole or not at all (a temporary file beside it, fsync, rename,
// fsync of the folder); a change that cannot be saved is not made. A file found unreadable is
// moved aside under another name, never written over. The disk is used synchronously: the UI
// calls Load and the changes off the GUI thread. Not thread-safe: one caller at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "collection/station_list.h"

namespace sonaro::collection {

// $XDG_DATA_HOME/sonaro/kept-stations.m3u; ~/.local/share/… when XDG_DATA_HOME is unset or not
// an absolute path.
std::string DefaultKeptStationsPath();

enum class FileRead { kRead, kMissing, kTooLarge, kFailed };

// Reads a whole list file (at most kMaxListFileBytes) into *bytes, for Load and for imports the
// UI reads off the GUI thread. kFailed also for a folder, a pipe or a device.
FileRead ReadListFile(const std::string& path, std::string* bytes);

// Writes bytes as the file at path, whole or not at all: a temporary file in the same folder
// (created, with its parents, if missing), fsync, rename over, fsync of the folder. A file
// replaced keeps its permissions. False, with the old file as it was, when any step fails.
bool SaveListFile(const std::string& path, std::string_view bytes);

enum class LoadStatus {
  kLoaded,      // the whole file is the list (a missing file is an empty one)
  kMovedAside,  // not readable as a list: it is at asidePath now, and the list starts empty
  kPartlyKept,  // some entries left out (counts in read): the file as it was is at asidePath,
                // the rest is the list and is saved
  kFailed,      // the file could not be read or set aside (asidePath, if set, holds it): the
                // list is what could be read, and no change is saved until a Load succeeds
};

struct LoadResult {
  LoadStatus status = LoadStatus::kLoaded;
  std::string asidePath;  // where the file as found now is, for the one message that tells so
  ReadResult read;        // what the file gave
};

enum class Change {
  kDone,
  kDuplicate,         // the address is kept already (Find tells where)
  kNotStreamAddress,  // not an http, https, mms or mmsh address
  kFull,              // kMaxKeptStations are kept
  kNoSuchStation,     // the index is out of range
  kNotLoaded,         // no successful Load yet: nothing is written over a file not read
  kNotSaved,          // the file could not be written: the list and the file are as before
};

struct ImportResult {
  ReadResult read;                // the stations added and the counts of those left out
  Change change = Change::kDone;  // kNotLoaded or kNotSaved: nothing was added
};

class KeptStations {
 public:
  explicit KeptStations(std::string path = DefaultKeptStationsPath());

  const std::string& Path() const { return path_; }
  const std::vector<KeptStation>& Stations() const { return stations_; }
  // The index of the station with this address (in any spelling StreamAddress makes the same),
  // or npos.
  size_t Find(std::string_view address) const;

  // Reads the file; until a Load succeeds, changes are refused.
  LoadResult Load();

  // Appends a station. An empty name calls it by its address.
  Change Add(std::string_view name, std::string_view address);
  Change Remove(size_t index);
  Change Rename(size_t index, std::string_view name);
  // Appends the new stations of a list file's bytes, by ReadStationList's rules; bytes that are
  // not a list (read.format) add nothing.
  ImportResult Import(std::string_view bytes);

  // The list as a file to give away; write it with SaveListFile.
  std::string Export(ListFileType type) const { return WriteStationList(stations_, type); }

  static constexpr size_t npos = size_t(-1);

 private:
  // Saves the list as it would be after a change; only a saved change is made.
  Change SaveAs(std::vector<KeptStation> stations);

  std::string path_;
  std::vector<KeptStation> stations_;
  bool loaded_ = false;
};

}  // namespace sonaro::collection
