// Where dedications are kept. The host reaches storage only through DedicationStore, so a
// database server can take the place of the local file when one machine is no longer enough.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/service_contract.h"
#include "host/rate_limit.h"

namespace sonaro::host {

// One dedication as the player and the host agree on it; in the host all texts are UTF-8.
using core::Dedication;

class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What became of a submission.
struct Submission {
  enum class Outcome { kStored, kRepeated, kTooSoon };
  Outcome outcome = Outcome::kStored;
  std::int64_t id = 0;                // kStored: the record's id
  std::chrono::milliseconds wait{0};  // kTooSoon: how long the address still has to wait
};

// Implementations are safe to call from several threads at once, and (where the storage is
// shared) from several processes.
class DedicationStore {
 public:
  virtual ~DedicationStore() = default;

  // Submits a dedication from from_address, checked and kept in one step that every user of
  // the store sees in one order: refused as repeated when its wishes equal those of one of the
  // repeat_window most recent records (the board shows each wishes text once), as too soon
  // when the address's stored dedications leave it no turn under rules; otherwise kept as Add
  // keeps it. Throws StoreError, and then nothing was stored, unless the storage's answer was
  // lost and whether it stored the dedication could not be found out.
  virtual Submission Submit(const Dedication& dedication, std::string_view from_address,
                            const SubmissionRules& rules, std::size_t repeat_window) = 0;

  // Keeps a dedication that arrived from from_address. When Add returns, the record is durable:
  // killing the process (or losing power, as far as the disk keeps its promises) right after it
  // does not lose it. Returns the record's id; ids grow in the order of arrival.
  // Throws StoreError.
  virtual std::int64_t Add(const Dedication& dedication, std::string_view from_address) = 0;

  // The count most recent dedications in the order they arrived, oldest first.
  // Throws StoreError.
  virtual std::vector<Dedication> Latest(std::size_t count) = 0;

  // The most recent record's id, 0 when there is none: a cheap check whether the feed changed
  // since it was read. Throws StoreError.
  virtual std::int64_t NewestId() = 0;

  // Whether the store hears of records kept through other stores on the same database (other
  // hosts) as they are kept.
  virtual bool HearsNews() const { return false; }

  // Waits at most timeout for such news; true when there is some, or when news may have been
  // missed. A store that hears no news returns false at once.
  virtual bool WaitForNews(std::chrono::milliseconds /*timeout*/) { return false; }
};

// A SQLite database file in write-ahead-log mode with a synchronous commit per record; the file
// and its table are created when missing. Throws StoreError when the file cannot be opened or
// set up (not a database, made by a newer version, a file system without WAL support).
std::unique_ptr<DedicationStore> OpenSqliteStore(const std::filesystem::path& file);

// A PostgreSQL database (a libpq URL such as postgresql://user@db.example.com/sonaro) that
// several hosts may share: the schema is created and upgraded by whichever host starts first,
// submissions from every host are checked and kept in one order, each committed before Submit
// returns. A lost connection is made again at the next call. Throws StoreError when the
// database cannot be reached or was made by a newer version.
std::unique_ptr<DedicationStore> OpenPostgresStore(const std::string& url);

}  // namespace sonaro::host
