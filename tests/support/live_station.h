// Stations as they broadcast today, for tests: a live HLS station made by ffmpeg as it runs
// (its playlist window keeps sliding), served by a loopback server over http or https, and a
// test certificate authority for the https ones.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "support/loopback_server.h"

namespace sonaro::test {

// A program of the test's, in a process group of its own: ended with the object, and by the
// kernel if the test process dies first.
class ChildProcess {
 public:
  // argv[0] is looked up in PATH; output goes to logFile (appended); dir: working folder.
  ChildProcess(std::vector<std::string> argv, const std::string& dir, const std::string& logFile);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  bool Running() const;
  void Stop();

 private:
  int pid_ = -1;
};

class LiveHls {
 public:
  struct Options {
    double frequency = 440;
    bool fmp4 = false;    // fMP4 segments (else MPEG-TS)
    bool master = false;  // two audio variants under a master playlist
  };
  explicit LiveHls(Options options);
  // Ends ffmpeg and removes its folder.
  ~LiveHls();
  LiveHls(const LiveHls&) = delete;
  LiveHls& operator=(const LiveHls&) = delete;

  const std::string& Folder() const { return dir_; }
  // "live.m3u8", or "master.m3u8" with variants.
  std::string Playlist() const { return master_ ? "master.m3u8" : "live.m3u8"; }
  // Waits until the media playlist's first segment is number `sequence` or later: the window
  // the station started with has been replaced.
  bool WaitForSequence(int sequence, std::chrono::seconds timeout) const;

 private:
  std::string dir_;
  bool master_ = false;
  ChildProcess ffmpeg_;
};

// Serves the files of a folder as a station's web server does (404 for anything else, no path
// outside the folder); every request is recorded by the server as usual.
testing::LoopbackServer::Handler ServeFolder(std::string folder);

// A certificate authority of the test's and a certificate for 127.0.0.1 that it signed.
struct TestAuthority {
  std::string authority;  // the authority's certificate (PEM): what a client is told to trust
  std::string certificate;
  std::string key;
};
TestAuthority MakeTestAuthority(const std::string& folder);

// A fresh folder under the temporary folder.
std::string TemporaryFolder(const std::string& prefix);
// Removes a folder and everything in it.
void RemoveFolder(const std::string& folder);

}  // namespace sonaro::test
