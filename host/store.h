// Where dedications are kept. The host reaches storage only through DedicationStore, so a
// database server can take the place of the local file when one machine is no longer enough.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/service_contract.h"

namespace sonaro::host {

// One dedication as the player and the host agree on it; in the host all texts are UTF-8.
using core::Dedication;

class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Implementations are safe to call from several threads at once.
class DedicationStore {
 public:
  virtual ~DedicationStore() = default;

  // Keeps a dedication that arrived from from_address. When Add returns, the record is durable:
  // killing the process (or losing power, as far as the disk keeps its promises) right after it
  // does not lose it. Returns the record's id; ids grow in the order of arrival.
  // Throws StoreError.
  virtual std::int64_t Add(const Dedication& dedication, std::string_view from_address) = 0;

  // The count most recent dedications in the order they arrived, oldest first.
  // Throws StoreError.
  virtual std::vector<Dedication> Latest(std::size_t count) = 0;
};

// A SQLite database file in write-ahead-log mode with a synchronous commit per record; the file
// and its table are created when missing. Throws StoreError when the file cannot be opened or
// set up (not a database, made by a newer version, a file system without WAL support).
std::unique_ptr<DedicationStore> OpenSqliteStore(const std::filesystem::path& file);

}  // namespace sonaro::host
