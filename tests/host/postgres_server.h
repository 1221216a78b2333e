// A private PostgreSQL server for tests: a cluster made with initdb in a temporary folder and
// started with pg_ctl on a free loopback port, stopped and removed at the end. PostgreSQL
// refuses to run as root, so as root the server runs as the postgres user.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "tests/host/support.h"

namespace sonaro::host::test {

class PostgresServer {
 public:
  // Starts one; nothing when the server binaries are missing or it cannot start, with why in
  // *reason.
  static std::unique_ptr<PostgresServer> Start(std::string* reason);
  ~PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  // The URL of a new, empty database.
  std::string NewDatabase();

  // Stops the server as a crash would (immediate shutdown), or starts it again.
  bool Stop();
  bool Restart();

  int port() const { return port_; }

 private:
  PostgresServer() = default;
  bool Run(const std::string& command) const;

  TempDir dir_;
  std::filesystem::path bin_;
  std::string as_user_;  // "runuser -u postgres -- " as root
  int port_ = 0;
  int databases_ = 0;
  bool running_ = false;
};

}  // namespace sonaro::host::test
