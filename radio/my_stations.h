// 我的电台 as the player sees it: the kept stations (collection/kept_stations.h) behind one
// serial worker, so that the disk is used off the GUI thread and changes are made in the order
// they were asked for. Results and the list come back on the GUI thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "collection/kept_stations.h"

namespace sonaro::radio {

// The list as last saved, on the GUI thread (empty until the first load has come back).
const std::vector<collection::KeptStation>& MyStations();

// Told on the GUI thread after the list changed (loaded, kept, removed, renamed, imported);
// one observer at a time, empty for none.
void SetMyStationsObserver(std::function<void()> observer);

// Reads the list file (once; later calls give the first result again). Every change below
// loads first when no load has been asked for.
void LoadMyStations(std::function<void(const collection::LoadResult&)> done);

// The changes; done(change) on the GUI thread, after the observer. Indexes are those of
// MyStations() when the change was asked for: a change asked for a list that has changed since
// then is made on the station that had that address, or answers kNoSuchStation.
void KeepStation(std::string utf8Name, std::string address,
                 std::function<void(collection::Change)> done);
void RemoveMyStation(size_t index, std::function<void(collection::Change)> done);
void RenameMyStation(size_t index, std::string utf8Name,
                     std::function<void(collection::Change)> done);
// Reads the file at path and appends its new stations.
struct ImportAnswer {
  collection::FileRead file = collection::FileRead::kRead;
  collection::ImportResult result;
};
void ImportStations(std::string path, std::function<void(const ImportAnswer&)> done);
// Writes the list to path as M3U or PLS (by its name's ending); done(saved).
void ExportStations(std::string path, std::function<void(bool)> done);

// For closing the program and for tests: waits until every change asked for is made.
void FinishMyStationsWork();

}  // namespace sonaro::radio
