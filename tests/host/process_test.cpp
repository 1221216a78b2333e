// sonaro-host as a program: started, killed and restarted for real.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/xmldoc.h"
#include "host/data_folder.h"
#include "host/gbk.h"
#include "tests/host/postgres_server.h"
#include "tests/host/support.h"

namespace sonaro::host {
namespace {

using namespace test;

struct Exit {
  bool exited = false;
  int code = -1;   // when exited
  int signal = 0;  // when killed
};

// One run of the host binary, its standard output on a pipe and its standard error in a file.
class HostProcess {
 public:
  explicit HostProcess(const std::vector<std::string>& arguments,
                       const std::filesystem::path& stderr_file) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    const pid_t test = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
      // A test killed before its destructors run (a time-out) takes its host with it.
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != test) ::_exit(127);
      ::dup2(out[1], STDOUT_FILENO);
      int err = ::open(stderr_file.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (err >= 0) ::dup2(err, STDERR_FILENO);
      std::vector<char*> argv;
      std::string program = SONARO_HOST_BINARY;
      argv.push_back(program.data());
      std::vector<std::string> copy = arguments;
      for (std::string& argument : copy) argv.push_back(argument.data());
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    stdout_ = out[0];
  }

  ~HostProcess() {
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      Wait(10s);
    }
    if (stdout_ >= 0) ::close(stdout_);
  }

  // The port from the host's first line, or 0 when it ended or said nothing in time.
  int AwaitPort(std::chrono::milliseconds timeout = 20s) {
    std::string line = ReadLine(timeout);
    size_t at = line.find("listening on http://127.0.0.1:");
    if (at == std::string::npos) return 0;
    return std::atoi(line.c_str() + at + std::string("listening on http://127.0.0.1:").size());
  }

  // Everything the host wrote to standard output until it closed it.
  std::string ReadLine(std::chrono::milliseconds timeout) {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    char c;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{stdout_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      if (::read(stdout_, &c, 1) != 1) break;
      if (c == '\n') break;
      text += c;
    }
    return text;
  }

  void Signal(int signal) { ::kill(pid_, signal); }

  std::optional<Exit> Wait(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      int status = 0;
      pid_t done = ::waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        waited_ = true;
        Exit exit;
        exit.exited = WIFEXITED(status);
        if (exit.exited) exit.code = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) exit.signal = WTERMSIG(status);
        return exit;
      }
      if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
      std::this_thread::sleep_for(10ms);
    }
  }

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
  bool waited_ = false;
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class HostProcessTest : public ::testing::Test {
 protected:
  std::vector<std::string> Arguments(std::vector<std::string> more = {}) {
    std::vector<std::string> arguments = {"--listen", "127.0.0.1:0", "--data",
                                          (dir_.path() / "data").string()};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  }
  std::filesystem::path Log() const { return dir_.path() / "stderr.txt"; }
  TempDir dir_;
};

TEST_F(HostProcessTest, ConfirmedDedicationsSurviveKillRightAfterTheAnswer) {
  constexpr int kRounds = 5;
  for (int round = 1; round <= kRounds; ++round) {
    // Without the interval: the turns are in the database and outlive a restart.
    HostProcess host(Arguments({"--submit-interval", "0"}), Log());
    int port = host.AwaitPort();
    ASSERT_GT(port, 0) << ReadFile(Log());
    HttpAnswer answer = PostForm(port, DedicationForm("第" + std::to_string(round) + "条祝福"));
    ASSERT_EQ(answer.status, 200);
    ASSERT_TRUE(answer.Text().find("点歌成功") != std::string::npos);
    host.Signal(SIGKILL);
    std::optional<Exit> exit = host.Wait(10s);
    ASSERT_TRUE(exit.has_value());
    EXPECT_EQ(exit->signal, SIGKILL);
  }
  HostProcess host(Arguments(), Log());
  int port = host.AwaitPort();
  ASSERT_GT(port, 0) << ReadFile(Log());
  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(ProgramGet(port, kFeedPath).body));
  ASSERT_EQ(doc.ChildCount("@1/"), kRounds);
  for (int i = 1; i <= kRounds; ++i) {
    EXPECT_EQ(doc.Value("@1/@" + std::to_string(i) + "/zhufuyu"),
              GbkFromUtf8("第" + std::to_string(i) + "条祝福"));
  }
}

TEST_F(HostProcessTest, TermStopsCleanlyAndARestartKeepsTheData) {
  {
    HostProcess host(Arguments({"--submit-interval", "0"}), Log());
    int port = host.AwaitPort();
    ASSERT_GT(port, 0) << ReadFile(Log());
    ASSERT_EQ(PostForm(port, DedicationForm("一")).status, 200);
    ASSERT_EQ(PostForm(port, DedicationForm("二")).status, 200);
    host.Signal(SIGTERM);
    std::optional<Exit> exit = host.Wait(10s);
    ASSERT_TRUE(exit.has_value());
    EXPECT_TRUE(exit->exited);
    EXPECT_EQ(exit->code, 0);
  }
  EXPECT_NE(ReadFile(Log()).find("stopping"), std::string::npos);
  HostProcess host(Arguments(), Log());
  int port = host.AwaitPort();
  ASSERT_GT(port, 0) << ReadFile(Log());
  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(ProgramGet(port, kFeedPath).body));
  EXPECT_EQ(doc.ChildCount("@1/"), 2);
  EXPECT_EQ(doc.Value("@1/@2/zhufuyu"), GbkFromUtf8("二"));
}

TEST_F(HostProcessTest, HangUpReadsTheFeedFromTheDatabaseAgain) {
  HostProcess host(Arguments({"--submit-interval", "0"}), Log());
  int port = host.AwaitPort();
  ASSERT_GT(port, 0) << ReadFile(Log());
  ASSERT_EQ(PostForm(port, DedicationForm("不合适的内容")).status, 200);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir_.path() / "data" / kDatabaseFile).c_str(), &db), SQLITE_OK);
  sqlite3_busy_timeout(db, 5000);
  ASSERT_EQ(sqlite3_exec(db, "DELETE FROM dedications", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  host.Signal(SIGHUP);
  bool emptied = false;
  for (int i = 0; i < 100 && !emptied; ++i) {
    sonaro::core::XmlDoc doc;
    emptied = doc.Load(ProgramGet(port, kFeedPath).body) && doc.ChildCount("@1/") == 0;
    if (!emptied) std::this_thread::sleep_for(50ms);
  }
  EXPECT_TRUE(emptied);
  EXPECT_EQ(ProgramGet(port, kAnnouncementPath).status, 200);  // still serving
}

TEST_F(HostProcessTest, CommandLineMistakesAndHelp) {
  {
    HostProcess host({"--bogus"}, Log());
    std::optional<Exit> exit = host.Wait(10s);
    ASSERT_TRUE(exit.has_value());
    EXPECT_EQ(exit->code, 2);
    EXPECT_NE(ReadFile(Log()).find("unknown option '--bogus'"), std::string::npos);
  }
  HostProcess help({"--help"}, Log());
  EXPECT_EQ(help.ReadLine(10s), "Usage: sonaro-host [options]");
  std::optional<Exit> exit = help.Wait(10s);
  ASSERT_TRUE(exit.has_value());
  EXPECT_EQ(exit->code, 0);
}

TEST_F(HostProcessTest, StartFailuresAreExplained) {
  // The data folder is a file.
  std::filesystem::path file = dir_.path() / "a-file";
  std::ofstream(file) << "x";
  {
    HostProcess host({"--listen", "127.0.0.1:0", "--data", file.string()}, Log());
    std::optional<Exit> exit = host.Wait(10s);
    ASSERT_TRUE(exit.has_value());
    EXPECT_EQ(exit->code, 1);
    EXPECT_NE(ReadFile(Log()).find("cannot create data folder"), std::string::npos);
  }
  // The data folder is taken, then the port.
  HostProcess first(Arguments(), Log());
  int port = first.AwaitPort();
  ASSERT_GT(port, 0);
  {
    HostProcess second(Arguments(), Log());
    std::optional<Exit> exit = second.Wait(10s);
    ASSERT_TRUE(exit.has_value());
    EXPECT_EQ(exit->code, 1);
    EXPECT_NE(ReadFile(Log()).find("is in use by another sonaro-host"), std::string::npos);
  }
  HostProcess third(
      {"--listen", "127.0.0.1:" + std::to_string(port), "--data", (dir_.path() / "other").string()},
      Log());
  std::optional<Exit> exit = third.Wait(10s);
  ASSERT_TRUE(exit.has_value());
  EXPECT_EQ(exit->code, 1);
  EXPECT_NE(ReadFile(Log()).find("cannot listen on 127.0.0.1:" + std::to_string(port)),
            std::string::npos);
}

// ---- on a shared PostgreSQL database ----

// Submits numbered dedications from threads of its own until stopped, each from an address of
// its own; remembers the wishes the host confirmed as stored.
class Burst {
 public:
  Burst(int port, int threads, std::string tag) {
    for (int t = 0; t < threads; ++t) {
      threads_.emplace_back([this, port, t, tag] {
        for (int i = 0; running_; ++i) {
          std::string wishes = tag + "-" + std::to_string(t) + "-" + std::to_string(i);
          std::string from = "X-Forwarded-For: 10.7." + std::to_string(t) + ".1\r\n";
          HttpAnswer answer = PostForm(port, DedicationForm(wishes), from);
          if (answer.status == 200) {
            std::lock_guard lock(mutex_);
            confirmed_.push_back(wishes);
          } else if (answer.status == 0) {
            std::this_thread::sleep_for(20ms);  // the host is gone
          }
        }
      });
    }
  }
  // Lets the burst run until count dedications are confirmed, or a hang's worth of time.
  void AwaitConfirmed(size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (Confirmed() < count && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(20ms);
    }
  }
  std::vector<std::string> Stop() {
    running_ = false;
    for (std::thread& thread : threads_) thread.join();
    return confirmed_;
  }

 private:
  size_t Confirmed() {
    std::lock_guard lock(mutex_);
    return confirmed_.size();
  }

  std::atomic<bool> running_{true};
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::vector<std::string> confirmed_;
};

std::set<std::string> StoredWishes(const std::string& url) {
  std::set<std::string> wishes;
  PGconn* conn = PQconnectdb(url.c_str());
  PGresult* rows = PQexec(conn, "SELECT zhufuyu FROM dedications");
  for (int row = 0; row < PQntuples(rows); ++row) wishes.insert(PQgetvalue(rows, row, 0));
  PQclear(rows);
  PQfinish(conn);
  return wishes;
}

TEST_F(HostProcessTest, OnPostgresEveryConfirmedDedicationSurvivesKillsAndADatabaseCrash) {
  std::string reason;
  auto server = PostgresServer::Start(&reason);
  if (!server) GTEST_SKIP() << "PostgreSQL not tested: " << reason;
  const std::string url = server->NewDatabase();
  ASSERT_FALSE(url.empty());
  const std::vector<std::string> arguments =
      Arguments({"--database", url, "--submit-interval", "0", "--trust-forwarded-for"});
  std::vector<std::string> confirmed;
  // The host killed in the middle of bursts.
  for (int round = 0; round < 3; ++round) {
    HostProcess host(arguments, Log());
    int port = host.AwaitPort();
    ASSERT_GT(port, 0) << ReadFile(Log());
    Burst burst(port, 4, "kill" + std::to_string(round));
    std::this_thread::sleep_for(700ms);
    burst.AwaitConfirmed(6);  // however slow the machine, some were confirmed before the kill
    host.Signal(SIGKILL);
    ASSERT_TRUE(host.Wait(10s).has_value());
    std::vector<std::string> more = burst.Stop();
    confirmed.insert(confirmed.end(), more.begin(), more.end());
  }
  // The database crashed (immediate shutdown) and restarted under a burst.
  {
    HostProcess host(arguments, Log());
    int port = host.AwaitPort();
    ASSERT_GT(port, 0) << ReadFile(Log());
    Burst burst(port, 4, "crash");
    std::this_thread::sleep_for(500ms);
    burst.AwaitConfirmed(6);
    ASSERT_TRUE(server->Stop());
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(server->Restart());
    std::this_thread::sleep_for(700ms);
    std::vector<std::string> more = burst.Stop();
    confirmed.insert(confirmed.end(), more.begin(), more.end());
    // The host recovered by itself, within seconds (a database found unreachable is not tried
    // again for a moment).
    int status = 0;
    for (int i = 0; i < 40 && status != 200; ++i) {
      status = PostForm(port, DedicationForm("恢复之后"), "X-Forwarded-For: 10.7.9.9\r\n").status;
      if (status != 200) std::this_thread::sleep_for(250ms);
    }
    EXPECT_EQ(status, 200);
  }
  std::set<std::string> stored = StoredWishes(url);
  RecordProperty("confirmed", static_cast<int>(confirmed.size()));
  RecordProperty("stored", static_cast<int>(stored.size()));
  std::printf("%zu dedications confirmed, %zu stored\n", confirmed.size(), stored.size());
  EXPECT_GT(confirmed.size(), 20u);  // four bursts of at least six
  for (const std::string& wishes : confirmed) EXPECT_TRUE(stored.count(wishes)) << wishes;
}

}  // namespace
}  // namespace sonaro::host
