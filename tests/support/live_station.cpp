#include "support/live_station.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace sonaro::test {

ChildProcess::ChildProcess(std::vector<std::string> argv, const std::string& dir,
                           const std::string& logFile) {
  pid_ = ::fork();
  if (pid_ != 0) return;
  ::setpgid(0, 0);
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (!dir.empty() && ::chdir(dir.c_str()) != 0) ::_exit(127);
  if (FILE* log = std::fopen(logFile.c_str(), "a")) {
    ::dup2(::fileno(log), 1);
    ::dup2(::fileno(log), 2);
  }
  std::vector<char*> args;
  for (std::string& arg : argv) args.push_back(arg.data());
  args.push_back(nullptr);
  ::execvp(args[0], args.data());
  ::_exit(127);
}

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::Running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

void ChildProcess::Stop() {
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGTERM);
  ::kill(pid_, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (::waitpid(pid_, nullptr, WNOHANG) != 0) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(-pid_, SIGKILL);
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::string TemporaryFolder(const std::string& prefix) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
  return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

void RemoveFolder(const std::string& folder) {
  if (!folder.empty()) std::filesystem::remove_all(folder);
}

namespace {

std::vector<std::string> FfmpegArguments(const LiveHls::Options& options) {
  std::ostringstream sine;
  sine << "sine=frequency=" << options.frequency << ":sample_rate=44100";
  // At the pace of a broadcast, 2 s segments, a window of 5 that the muxer keeps replacing;
  // ten minutes at most, whatever happens to the test.
  std::vector<std::string> args = {"ffmpeg", "-nostdin", "-loglevel", "error", "-re", "-f",
                                   "lavfi",  "-i",       sine.str(),  "-t",    "600"};
  if (options.master) {
    for (const char* arg : {"-filter_complex", "[0:a]asplit=2[a][b]", "-map", "[a]", "-map", "[b]",
                            "-b:a:0", "32k", "-b:a:1", "96k"}) {
      args.push_back(arg);
    }
  } else {
    args.insert(args.end(), {"-b:a", "64k"});
  }
  args.insert(args.end(), {"-c:a", "aac", "-f", "hls", "-hls_time", "2", "-hls_list_size", "5",
                           "-hls_flags", "delete_segments"});
  if (options.fmp4) args.insert(args.end(), {"-hls_segment_type", "fmp4"});
  if (options.master) {
    args.insert(args.end(),
                {"-master_pl_name", "master.m3u8", "-var_stream_map", "a:0 a:1",
                 "-hls_segment_filename", options.fmp4 ? "v%v_%d.m4s" : "v%v_%d.ts", "v%v.m3u8"});
  } else {
    args.push_back("live.m3u8");
  }
  return args;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace

LiveHls::LiveHls(Options options)
    : dir_(TemporaryFolder("sonaro-hls")),
      master_(options.master),
      ffmpeg_(FfmpegArguments(options), dir_, dir_ + "/ffmpeg.log") {}

LiveHls::~LiveHls() {
  ffmpeg_.Stop();
  RemoveFolder(dir_);
}

bool LiveHls::WaitForSequence(int sequence, std::chrono::seconds timeout) const {
  const std::string media = dir_ + (master_ ? "/v0.m3u8" : "/live.m3u8");
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < until) {
    const std::string text = ReadFile(media);
    const size_t at = text.find("#EXT-X-MEDIA-SEQUENCE:");
    if (at != std::string::npos && std::atoi(text.c_str() + at + 22) >= sequence) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return false;
}

testing::LoopbackServer::Handler ServeFolder(std::string folder) {
  return [folder](const std::string& head) -> std::optional<std::string> {
    std::string path = testing::RequestPath(head);
    path = path.substr(0, path.find('?'));
    if (path.empty() || path.find("..") != std::string::npos) {
      return testing::Response(404, "Not Found", "not found");
    }
    std::ifstream in(folder + path, std::ios::binary);
    if (!in) return testing::Response(404, "Not Found", "not found");
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const bool playlist = path.size() > 5 && path.substr(path.size() - 5) == ".m3u8";
    return testing::Response(200, "OK", bytes.str(),
                             playlist ? "Content-Type: application/vnd.apple.mpegurl\r\n"
                                      : "Content-Type: application/octet-stream\r\n");
  };
}

TestAuthority MakeTestAuthority(const std::string& folder) {
  TestAuthority files{folder + "/ca.pem", folder + "/station.pem", folder + "/station.key"};
  const std::string log = " >>" + folder + "/openssl.log 2>&1";
  const std::string commands =
      "cd '" + folder + "' && " +
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 "
      "-subj '/CN=Sonaro test authority' -keyout ca.key -out ca.pem" +
      log + " && " +
      "openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes "
      "-subj '/CN=127.0.0.1' -keyout station.key -out station.csr" +
      log + " && " +
      "printf 'subjectAltName=IP:127.0.0.1\\nbasicConstraints=CA:FALSE\\n' > ext.cnf && " +
      "openssl x509 -req -in station.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 "
      "-extfile ext.cnf -out station.pem" +
      log;
  if (std::system(commands.c_str()) != 0) return {};
  return files;
}

}  // namespace sonaro::test
