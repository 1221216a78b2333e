// The demo service on sockets: one listening socket per planned (address, port), a thread per
// connection, live audio sent at its own pace (a short lead, then real time).
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/streams/plan.h"

namespace sonaro::streams {

class Server {
 public:
  using Log = std::function<void(const std::string&)>;

  Server(Plan plan, Log log);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds every listener it can (port 0 picks a free port) and serves them; one log line for
  // each that cannot be bound. The number bound.
  size_t Start();
  // The port listener i is bound to; 0 when it was skipped.
  int BoundPort(size_t listener) const;
  const Plan& plan() const { return plan_; }
  // Closes the listeners, ends every stream and waits for the connections' threads.
  void Stop();

 private:
  void Accept(size_t listener, int fd);
  void Serve(size_t listener, int fd);
  bool SendAll(int fd, std::string_view bytes);
  bool WaitOrStop(int milliseconds);

  Plan plan_;
  Log log_;
  std::vector<int> fds_;
  std::vector<int> ports_;
  std::vector<std::thread> acceptors_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  int connections_ = 0;
};

}  // namespace sonaro::streams
