#include "tests/host/postgres_server.h"

#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace sonaro::host::test {
namespace {

// The newest installed server's binaries: Debian keeps them out of PATH.
std::filesystem::path ServerBinaries() {
  std::vector<std::filesystem::path> candidates;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
    if (std::filesystem::exists(entry.path() / "bin" / "initdb")) {
      candidates.push_back(entry.path() / "bin");
    }
  }
  if (candidates.empty()) return {};
  std::sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
    return std::stoi(a.parent_path().filename()) < std::stoi(b.parent_path().filename());
  });
  return candidates.back();
}

int FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

}  // namespace

std::unique_ptr<PostgresServer> PostgresServer::Start(std::string* reason) {
  std::unique_ptr<PostgresServer> server(new PostgresServer());
  server->bin_ = ServerBinaries();
  if (server->bin_.empty()) {
    *reason = "no PostgreSQL server binaries in /usr/lib/postgresql (apt-get install postgresql)";
    return nullptr;
  }
  if (::geteuid() == 0) {
    passwd* user = ::getpwnam("postgres");
    if (user == nullptr) {
      *reason = "running as root and there is no postgres user to run the server as";
      return nullptr;
    }
    std::filesystem::permissions(server->dir_.path(), std::filesystem::perms::owner_all);
    if (::chown(server->dir_.path().c_str(), user->pw_uid, user->pw_gid) != 0) {
      *reason = "cannot hand the server's folder to the postgres user";
      return nullptr;
    }
    server->as_user_ = "runuser -u postgres -- ";
  }
  server->port_ = FreePort();
  const std::filesystem::path data = server->dir_.path() / "data";
  if (!server->Run(Quoted(server->bin_ / "initdb") + " -D " + Quoted(data) +
                   " -U sonaro -A trust -E UTF8 --no-locale --no-sync")) {
    *reason = "initdb failed (see " + (server->dir_.path() / "server.log").string() + ")";
    return nullptr;
  }
  if (!server->Restart()) {
    *reason = "the server did not start";
    return nullptr;
  }
  return server;
}

PostgresServer::~PostgresServer() {
  if (running_)
    Run(Quoted(bin_ / "pg_ctl") + " -D " + Quoted(dir_.path() / "data") + " -m immediate -w stop");
}

bool PostgresServer::Run(const std::string& command) const {
  std::string line = as_user_ + command + " >>" + Quoted(dir_.path() / "server.log") + " 2>&1";
  return std::system(line.c_str()) == 0;
}

bool PostgresServer::Restart() {
  // Loopback only, the socket in the private folder; fsync stays on, as in production.
  std::string options = "-c listen_addresses=127.0.0.1 -c port=" + std::to_string(port_) +
                        " -c unix_socket_directories=" + dir_.path().string() +
                        " -c max_connections=200";
  running_ = Run(Quoted(bin_ / "pg_ctl") + " -D " + Quoted(dir_.path() / "data") + " -l " +
                 Quoted(dir_.path() / "postgres.log") + " -o '" + options + "' -w -t 30 start");
  return running_;
}

bool PostgresServer::Stop() {
  bool stopped = Run(Quoted(bin_ / "pg_ctl") + " -D " + Quoted(dir_.path() / "data") +
                     " -m immediate -w stop");
  running_ = running_ && !stopped;
  return stopped;
}

std::string PostgresServer::NewDatabase() {
  std::string base = "postgresql://sonaro@127.0.0.1:" + std::to_string(port_) + "/";
  std::string name = "test" + std::to_string(++databases_);
  PGconn* conn = PQconnectdb((base + "postgres").c_str());
  PGresult* result = PQexec(conn, ("CREATE DATABASE " + name).c_str());
  bool made = PQresultStatus(result) == PGRES_COMMAND_OK;
  PQclear(result);
  PQfinish(conn);
  return made ? base + name : std::string();
}

}  // namespace sonaro::host::test
