#include "media/prefetch.h"

#include <mutex>
#include <thread>

namespace sonaro::media {

namespace {

struct Slot {
  std::mutex mutex;
  std::unique_ptr<HttpSource> source;
  unsigned long long generation = 0;
};

// Never destroyed: a timer thread may still look at it while the program ends.
Slot& TheSlot() {
  static Slot* slot = new Slot;
  return *slot;
}

// A source's destructor joins its transfer thread: never on the caller's (the GUI) thread.
void Discard(std::unique_ptr<HttpSource> source) {
  if (source) std::thread([gone = std::move(source)] {}).detach();
}

bool IsHttp(const std::string& address) {
  return address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
}

}  // namespace

void PrefetchStream(const std::string& address) {
  if (!IsHttp(address)) return;
  Slot& slot = TheSlot();
  std::unique_ptr<HttpSource> replaced;
  unsigned long long generation = 0;
  {
    std::lock_guard lock(slot.mutex);
    replaced = std::move(slot.source);
    slot.source = std::make_unique<HttpSource>(address);
    generation = ++slot.generation;
  }
  Discard(std::move(replaced));
  std::thread([generation] {
    std::this_thread::sleep_for(kPrefetchKept);
    Slot& slot = TheSlot();
    std::unique_ptr<HttpSource> unclaimed;
    {
      std::lock_guard lock(slot.mutex);
      if (slot.generation == generation) unclaimed = std::move(slot.source);
    }
  }).detach();
}

std::unique_ptr<HttpSource> TakePrefetchedStream(const std::string& address) {
  Slot& slot = TheSlot();
  std::lock_guard lock(slot.mutex);
  if (!slot.source || slot.source->Address() != address) return nullptr;
  ++slot.generation;
  return std::move(slot.source);
}

}  // namespace sonaro::media
