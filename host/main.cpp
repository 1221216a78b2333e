// sonaro-host: the web host the Sonaro player talks to.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "host/host.h"
#include "host/log.h"
#include "host/options.h"

int main(int argc, char** argv) {
  using namespace sonaro::host;
  CommandLine line;
  try {
    line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    std::fprintf(stderr, "sonaro-host: %s\nTry 'sonaro-host --help'.\n", e.what());
    return 2;
  }
  if (line.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (line.version) {
    std::puts("sonaro-host 2.0");
    return 0;
  }

  // Signals are taken by one thread with sigwait; every other thread, the server's workers
  // included, inherits this mask. Writes to closed connections report EPIPE, not a signal.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  try {
    Host host(line.options);
    int port = host.Bind();
    const HostOptions& o = line.options;
    std::string where =
        o.address.find(':') != std::string::npos ? "[" + o.address + "]" : o.address;
    // The first line on standard output tells scripts and tests where the host listens.
    std::printf("sonaro-host: listening on http://%s:%d, data folder %s\n", where.c_str(), port,
                o.data_dir.c_str());
    std::fflush(stdout);
    Log("listening on " + where + ":" + std::to_string(port) + ", data folder " +
        o.data_dir.string() +
        (o.database.empty() ? std::string() : ", database " + DatabaseLabel(o.database)));
    if (!o.trusted_proxies.empty()) {
      std::string proxies;
      for (const AddressRange& proxy : o.trusted_proxies) {
        proxies += (proxies.empty() ? "" : ", ") + proxy.Label();
      }
      Log("X-Forwarded-For taken from " + proxies + " only");
    }

    std::thread waiter([&] {
      for (;;) {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0) continue;
        if (signal == SIGHUP) {
          try {
            host.ReloadFeed();
            Log("read the feed from the database again");
          } catch (const std::exception& e) {
            Log(std::string("cannot read the feed: ") + e.what());
          }
          continue;
        }
        Log("stopping");
        host.Stop();
        return;
      }
    });
    bool stopped = host.Serve();
    if (!stopped) {
      // Serving broke down by itself: wake the waiter so that it ends too.
      pthread_kill(waiter.native_handle(), SIGTERM);
    }
    waiter.join();
    if (!stopped) {
      Log("serving failed");
      return 1;
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sonaro-host: %s\n", e.what());
    return 1;
  }
}
