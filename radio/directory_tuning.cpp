#include "radio/directory_tuning.h"

#include <QObject>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>

#include "core/background.h"
#include "directory/address_cache.h"
#include "directory/client.h"
#include "directory/station_queries.h"
#include "radio/player.h"
#include "ui/ids.h"
#include "ui/window_system.h"

namespace sonaro::radio {

namespace {

using directory::CachedAddress;

struct DirectoryState {
  std::string server;
  directory::AddressCache cache{directory::DefaultCachePath()};
  std::mutex clientMutex;  // one look-up at a time; the client learns its servers once
  directory::DirectoryClient client;
  QObject context;         // results come back to the GUI thread while this lives
  uint64_t selection = 0;  // counts the selections: a late answer for an earlier one is dropped
  // What plays now, when it came from the directory.
  std::optional<size_t> row;
  std::string uuid;
  std::string address;
  bool fromCache = false;
  bool lookedAgain = false;
  Station station;

  explicit DirectoryState(std::string base) : server(base), client(std::move(base)) {}
};

std::unique_ptr<DirectoryState> g_directory;

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void ShowStatus(const char* utf8) {
  ui::SetText(ids::kMainWindow, ids::main::kStatusBox, core::GbkFromUtf8(utf8));
}

enum class Found { Address, NoDirectory, NotListed };

struct LookUp {
  Found found = Found::NoDirectory;
  CachedAddress address;
  bool fromCache = false;
};

// Off the GUI thread: the directory's answer, chosen and kept in the cache.
LookUp AskDirectory(DirectoryState& state, size_t row) {
  LookUp result;
  const directory::StationQuery* query = directory::QueryForRow(row);
  if (!query || !DirectoryAllowed()) return result;
  std::optional<std::vector<directory::DirectoryStation>> found;
  {
    std::lock_guard lock(state.clientMutex);
    found = state.client.Search(query->name);
  }
  if (!found) return result;
  const directory::DirectoryStation* station = directory::ChooseStation(*found, *query);
  if (!station) {
    result.found = Found::NotListed;
    return result;
  }
  result.found = Found::Address;
  result.address = CachedAddress{station->url, station->uuid, Now()};
  state.cache.Store(int(row), result.address);
  return result;
}

void ReportClick(const std::string& uuid) {
  if (!DirectoryAllowed() || uuid.empty()) return;
  DirectoryState* state = g_directory.get();
  core::RunInBackground(
      &state->context,
      [state, uuid] {
        std::lock_guard lock(state->clientMutex);
        return state->client.Click(uuid).has_value();
      },
      [](bool) {});
}

void PlayFound(const LookUp& found, size_t row, const Station& station) {
  DirectoryState& state = *g_directory;
  state.row = row;
  state.uuid = found.address.uuid;
  state.address = found.address.url;
  state.fromCache = found.fromCache;
  state.lookedAgain = false;
  state.station = station;
  if (PagePlayer* player = Player()) player->Play(found.address.url, station.displayName);
  ReportClick(found.address.uuid);
}

// Looks the row up again in the background; plays the new address when asked to and the
// directory has moved the station (and the user has not chosen another meanwhile).
void LookAgain(size_t row, bool playIfMoved) {
  if (!DirectoryAllowed()) return;
  DirectoryState* state = g_directory.get();
  const uint64_t selection = state->selection;
  core::RunInBackground(
      &state->context, [state, row] { return AskDirectory(*state, row); },
      [state, row, selection, playIfMoved](LookUp found) {
        if (!playIfMoved || selection != state->selection || found.found != Found::Address) return;
        if (found.address.url == state->address) return;
        PlayFound(found, row, state->station);
      });
}

}  // namespace

void UseStationDirectory(std::string server) {
  g_directory = std::make_unique<DirectoryState>(std::move(server));
}

bool StationsFromDirectory() { return g_directory != nullptr; }

std::string DirectoryServer() { return g_directory ? g_directory->server : std::string(); }

bool DirectoryAllowed() {
  const char* off = std::getenv("SONARO_NO_DIRECTORY");
  return !(off && std::string(off) == "1");
}

void OtherStationChosen() {
  DirectoryState* state = g_directory.get();
  if (!state) return;
  ++state->selection;
  state->row.reset();
}

void TuneFromDirectory(size_t index, const Station& station) {
  DirectoryState* state = g_directory.get();
  if (!state) return;
  const uint64_t selection = ++state->selection;
  state->row.reset();
  if (!directory::QueryForRow(index)) {
    if (PagePlayer* player = Player()) player->Close();
    ShowStatus("电台已停播");
    return;
  }
  ShowStatus("正在连接…");
  core::RunInBackground(
      &state->context,
      [state, index] {
        // The cache file is read here, off the GUI thread, on the first selection.
        if (const std::optional<CachedAddress> cached = state->cache.Find(int(index))) {
          return LookUp{Found::Address, *cached, true};
        }
        return AskDirectory(*state, index);
      },
      [state, selection, index, station](LookUp found) {
        if (selection != state->selection) return;  // another station was chosen meanwhile
        if (found.found != Found::Address) {
          if (PagePlayer* player = Player()) player->Close();
          ShowStatus(found.found == Found::NotListed ? "电台目录中没有此台" : "无法连接电台目录");
          return;
        }
        PlayFound(found, index, station);
        if (found.fromCache && Now() - found.address.found > directory::kRefreshAfterSeconds) {
          LookAgain(index, /*playIfMoved=*/false);
        }
      });
}

void DirectoryStationFailed() {
  DirectoryState* state = g_directory.get();
  if (!state || !state->row || !state->fromCache || state->lookedAgain) return;
  state->lookedAgain = true;
  LookAgain(*state->row, /*playIfMoved=*/true);
}

}  // namespace sonaro::radio
