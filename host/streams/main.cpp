// sonaro-streams: the demo stream service. Serves every built-in station's address, as this
// build's host file names them, with a tone of the station's own pitch.
//   sonaro-streams          serve until TERM or INT
//   sonaro-streams --list   print row, kind, pitch, address and label of every stream
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string_view>

#include "host/streams/plan.h"
#include "host/streams/server.h"

namespace {

void Log(const std::string& line) { std::fprintf(stderr, "sonaro-streams: %s\n", line.c_str()); }

int List(const sonaro::streams::Plan& plan) {
  for (const auto& listener : plan.listeners) {
    for (const auto& route : listener.routes) {
      if (route.forPlaylist) continue;
      std::cout << route.row << '\t' << KindName(route.kind) << '\t' << route.frequency << '\t'
                << route.address << '\t' << route.label << '\n';
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool list = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--list") {
      list = true;
    } else {
      std::fprintf(stderr, "usage: sonaro-streams [--list]\n");
      return 2;
    }
  }
  sonaro::streams::Plan plan = sonaro::streams::BuildPlan();
  for (const std::string& problem : plan.problems) Log(problem);
  if (list) return List(plan);

  // Signals are taken by sigwait below, not by whichever thread they land on.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  size_t streams = 0;
  for (const auto& listener : plan.listeners) streams += listener.routes.size();
  const size_t listeners = plan.listeners.size();
  sonaro::streams::Server server(std::move(plan), Log);
  const size_t bound = server.Start();
  if (bound == 0) {
    Log("no address could be bound");
    return 1;
  }
  Log("serving " + std::to_string(streams) + " streams on " + std::to_string(bound) + " of " +
      std::to_string(listeners) + " addresses");
  int received = 0;
  sigwait(&signals, &received);
  server.Stop();
  Log("stopped");
  return 0;
}
