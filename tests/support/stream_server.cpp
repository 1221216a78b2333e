#include "support/stream_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace sonaro::test {

struct StreamServer::State {
  int listener = -1;
  int port = 0;
  std::atomic<bool> stopping{false};
  mutable std::mutex mutex;
  std::map<std::string, Route> routes;
  std::vector<Connection> connections;
  std::vector<int> streamSockets;  // endless streams being sent
  std::vector<std::thread> threads;
  std::thread acceptor;
};

namespace {

bool SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= size_t(sent);
  }
  return true;
}

void MarkClosed(StreamServer::State& state, size_t index) {
  std::lock_guard lock(state.mutex);
  state.connections[index].open = false;
}

void ServeConnection(const std::shared_ptr<StreamServer::State>& state, int fd) {
  // Read the greeting: an HTTP head up to its empty line, or whatever a binary client sends.
  std::string head;
  std::array<char, 4096> buffer{};
  const auto start = std::chrono::steady_clock::now();
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) {
      if (!head.empty() || std::chrono::steady_clock::now() - start > std::chrono::seconds(5))
        break;
      continue;
    }
    const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
    if (got <= 0) break;
    head.append(buffer.data(), size_t(got));
    if (head.rfind("GET ", 0) != 0 && head.rfind("HEAD ", 0) != 0) break;  // not HTTP
  }
  std::string path;
  if (head.rfind("GET ", 0) == 0) {
    const size_t end = head.find(' ', 4);
    path = head.substr(4, end == std::string::npos ? std::string::npos : end - 4);
  }
  size_t index = 0;
  std::optional<StreamServer::Route> route;
  {
    std::lock_guard lock(state->mutex);
    state->connections.push_back({head, path, true});
    index = state->connections.size() - 1;
    if (!path.empty()) {
      auto found = state->routes.find(path);
      if (found != state->routes.end()) route = found->second;
    }
  }
  if (path.empty()) {  // a binary greeting: recorded, then the connection is closed
    ::close(fd);
    MarkClosed(*state, index);
    return;
  }
  if (!route) route = StreamServer::Route{404, "text/plain", "not found", false, 0};
  std::string response = "HTTP/1.0 " + std::to_string(route->status) +
                         " X\r\nContent-Type: " + route->contentType + "\r\n";
  if (!route->endless) response += "Content-Length: " + std::to_string(route->body.size()) + "\r\n";
  response += "\r\n";
  if (!route->endless) {
    response += route->body;
    SendAll(fd, response.data(), response.size());
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
    MarkClosed(*state, index);
    return;
  }
  {
    std::lock_guard lock(state->mutex);
    state->streamSockets.push_back(fd);
  }
  bool ok = SendAll(fd, response.data(), response.size()) && !route->body.empty();
  const auto began = std::chrono::steady_clock::now();
  size_t sent = 0;
  size_t position = 0;
  const std::string& body = route->body;
  while (ok && !state->stopping) {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const size_t due = std::min(size_t((1.0 + elapsed) * route->bytesPerSecond),
                                route->stallAfter ? route->stallAfter : SIZE_MAX);
    while (ok && sent < due) {
      const size_t count = std::min(due - sent, body.size() - position);
      ok = SendAll(fd, body.data() + position, count);
      sent += count;
      position = (position + count) % body.size();
    }
    // A closed or dropped connection shows as readable (end of file) or as a send error.
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) > 0) {
      char byte;
      if (::recv(fd, &byte, 1, MSG_DONTWAIT) <= 0) ok = false;
    }
  }
  {
    std::lock_guard lock(state->mutex);
    std::erase(state->streamSockets, fd);
  }
  ::close(fd);
  MarkClosed(*state, index);
}

}  // namespace

StreamServer::StreamServer(int port) : state_(std::make_shared<State>()) {
  state_->listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int yes = 1;
  ::setsockopt(state_->listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(uint16_t(port));
  if (::bind(state_->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(state_->listener, 16) != 0) {
    ::close(state_->listener);
    state_->listener = -1;
    return;
  }
  socklen_t length = sizeof address;
  ::getsockname(state_->listener, reinterpret_cast<sockaddr*>(&address), &length);
  state_->port = ntohs(address.sin_port);
  state_->acceptor = std::thread([state = state_] {
    while (!state->stopping) {
      pollfd p{state->listener, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int fd = ::accept4(state->listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::lock_guard lock(state->mutex);
      state->threads.emplace_back(&ServeConnection, state, fd);
    }
  });
}

StreamServer::~StreamServer() {
  state_->stopping = true;
  if (state_->acceptor.joinable()) state_->acceptor.join();
  DropStreams();
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(state_->mutex);
    threads.swap(state_->threads);
  }
  for (std::thread& thread : threads) thread.join();
  if (state_->listener >= 0) ::close(state_->listener);
}

bool StreamServer::Listening() const { return state_->listener >= 0; }
int StreamServer::Port() const { return state_->port; }

std::string StreamServer::Url(const std::string& path, const std::string& scheme) const {
  return scheme + "://127.0.0.1:" + std::to_string(state_->port) + path;
}

void StreamServer::Serve(const std::string& path, Route route) {
  std::lock_guard lock(state_->mutex);
  state_->routes[path] = std::move(route);
}

std::vector<StreamServer::Connection> StreamServer::Connections() const {
  std::lock_guard lock(state_->mutex);
  return state_->connections;
}

void StreamServer::DropStreams() {
  std::lock_guard lock(state_->mutex);
  for (int fd : state_->streamSockets) ::shutdown(fd, SHUT_RDWR);
}

std::string MakeToneMp3(double frequency, double seconds) {
  char folder[] = "/tmp/sonaro-tone-XXXXXX";
  if (!::mkdtemp(folder)) return {};
  const std::string file = std::string(folder) + "/tone.mp3";
  const std::string command = "sox -n -r 44100 -c 1 -C 128 " + file + " synth " +
                              std::to_string(seconds) + " sine " + std::to_string(frequency) +
                              " gain -3 2>/dev/null";
  std::string bytes;
  if (std::system(command.c_str()) == 0) {
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::remove(file.c_str());
  ::rmdir(folder);
  return bytes;
}

}  // namespace sonaro::test
