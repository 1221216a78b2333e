#include "radio/my_stations.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "core/background.h"

namespace sonaro::radio {

namespace {

using collection::Change;
using collection::KeptStation;
using collection::KeptStations;
using collection::LoadResult;

// The worker's side: touched only by the job running now.
struct Store {
  KeptStations stations;
  std::optional<LoadResult> loaded;

  const LoadResult& Load() {
    if (!loaded) loaded = stations.Load();
    return *loaded;
  }
  // Where the station with this address is now.
  size_t Find(const std::string& address) const { return stations.Find(address); }
};

// One job at a time, in the order asked.
struct Queue {
  std::mutex mutex;
  std::condition_variable idle;
  std::deque<std::function<void(Store&)>> jobs;
  bool running = false;
  Store store;
};

Queue& TheQueue() {
  static Queue* queue = new Queue;  // outlives the worker at exit
  return *queue;
}

// GUI thread's side.
std::vector<KeptStation> g_shown;
std::function<void()> g_observer;

void Drain() {
  Queue& q = TheQueue();
  for (;;) {
    std::function<void(Store&)> job;
    {
      std::lock_guard lock(q.mutex);
      if (q.jobs.empty()) {
        q.running = false;
        q.idle.notify_all();
        return;
      }
      job = std::move(q.jobs.front());
      q.jobs.pop_front();
    }
    job(q.store);
  }
}

void Submit(std::function<void(Store&)> job) {
  Queue& q = TheQueue();
  std::lock_guard lock(q.mutex);
  q.jobs.push_back(std::move(job));
  if (!q.running) {
    q.running = true;
    core::detail::StartInBackground(Drain);
  }
}

// Back on the GUI thread: the list as the worker has it now, then the answer.
template <typename Answer>
void Deliver(const Store& store, Answer answer) {
  core::detail::PostToGuiThread(
      [list = store.stations.Stations(), answer = std::move(answer)]() mutable {
        const bool changed = list != g_shown;
        g_shown = std::move(list);
        if (changed && g_observer) g_observer();
        answer();
      });
}

using ChangeDone = std::function<void(Change)>;

void SubmitChange(std::function<Change(Store&)> change, ChangeDone done) {
  Submit([change = std::move(change), done = std::move(done)](Store& store) {
    store.Load();
    const Change result = change(store);
    Deliver(store, [done, result] {
      if (done) done(result);
    });
  });
}

std::string AddressAt(size_t index) {
  return index < g_shown.size() ? g_shown[index].address : std::string();
}

}  // namespace

const std::vector<KeptStation>& MyStations() { return g_shown; }

void SetMyStationsObserver(std::function<void()> observer) { g_observer = std::move(observer); }

void LoadMyStations(std::function<void(const LoadResult&)> done) {
  Submit([done = std::move(done)](Store& store) {
    LoadResult result = store.Load();
    Deliver(store, [done, result = std::move(result)] {
      if (done) done(result);
    });
  });
}

void KeepStation(std::string utf8Name, std::string address, ChangeDone done) {
  SubmitChange([name = std::move(utf8Name), address = std::move(address)](
                   Store& store) { return store.stations.Add(name, address); },
               std::move(done));
}

void RemoveMyStation(size_t index, ChangeDone done) {
  SubmitChange(
      [address = AddressAt(index)](Store& store) {
        const size_t at = address.empty() ? KeptStations::npos : store.Find(address);
        return store.stations.Remove(at);
      },
      std::move(done));
}

void RenameMyStation(size_t index, std::string utf8Name, ChangeDone done) {
  SubmitChange(
      [address = AddressAt(index), name = std::move(utf8Name)](Store& store) {
        const size_t at = address.empty() ? KeptStations::npos : store.Find(address);
        return store.stations.Rename(at, name);
      },
      std::move(done));
}

void ImportStations(std::string path, std::function<void(const ImportAnswer&)> done) {
  Submit([path = std::move(path), done = std::move(done)](Store& store) {
    store.Load();
    ImportAnswer answer;
    std::string bytes;
    answer.file = collection::ReadListFile(path, &bytes);
    if (answer.file == collection::FileRead::kRead) answer.result = store.stations.Import(bytes);
    Deliver(store, [done, answer = std::move(answer)] {
      if (done) done(answer);
    });
  });
}

void ExportStations(std::string path, std::function<void(bool)> done) {
  Submit([path = std::move(path), done = std::move(done)](Store& store) {
    store.Load();
    const bool saved =
        collection::SaveListFile(path, store.stations.Export(collection::ListFileTypeFor(path)));
    Deliver(store, [done, saved] {
      if (done) done(saved);
    });
  });
}

void FinishMyStationsWork() {
  Queue& q = TheQueue();
  std::unique_lock lock(q.mutex);
  q.idle.wait(lock, [&] { return !q.running; });
}

}  // namespace sonaro::radio
