// The stores (SQLite, and PostgreSQL on a private server) and the feed built from one, read
// back the way the player reads it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <libpq-fe.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/xmldoc.h"
#include "host/feed.h"
#include "host/gbk.h"
#include "host/store.h"
#include "tests/host/postgres_server.h"
#include "tests/host/support.h"

namespace sonaro::host {
namespace {

using test::TempDir;
using namespace std::chrono_literals;

Dedication Numbered(int i) {
  std::string n = std::to_string(i);
  return Dedication{"称呼" + n,     "点歌者" + n, "被称呼" + n,
                    "被点歌者" + n, "歌名" + n,   "http://example.com/" + n + ".mp3",
                    "祝福" + n};
}

std::string QueryOne(const std::filesystem::path& file, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  std::string result = "<error>";
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return result;
}

// ---- every store: the same tests against SQLite and a private PostgreSQL server ----

// kPostgresRepeatableRead: a database whose default isolation is repeatable read, where a
// transaction's snapshot would be taken before the submission lock is granted.
enum class Backend { kSqlite, kPostgres, kPostgresRepeatableRead };

// One database per test; Open gives another store on the same database (another host).
class StoreTest : public ::testing::TestWithParam<Backend> {
 protected:
  static void SetUpTestSuite() {
    if (!server_ && reason_.empty()) server_ = test::PostgresServer::Start(&reason_);
  }

  void SetUp() override {
    if (GetParam() == Backend::kSqlite) {
      location_ = (dir_.path() / "d.sqlite3").string();
      return;
    }
    if (!server_) GTEST_SKIP() << "PostgreSQL not tested: " << reason_;
    location_ = server_->NewDatabase();
    ASSERT_FALSE(location_.empty());
    if (GetParam() == Backend::kPostgresRepeatableRead) {
      PGconn* conn = PQconnectdb(location_.c_str());
      const std::string name = location_.substr(location_.rfind('/') + 1);
      PGresult* result = PQexec(conn, ("ALTER DATABASE " + name +
                                       " SET default_transaction_isolation = 'repeatable read'")
                                          .c_str());
      const bool set = PQresultStatus(result) == PGRES_COMMAND_OK;
      PQclear(result);
      PQfinish(conn);
      ASSERT_TRUE(set);
    }
  }

  std::unique_ptr<DedicationStore> Open() {
    return GetParam() == Backend::kSqlite ? OpenSqliteStore(location_)
                                          : OpenPostgresStore(location_);
  }

  // One server for the whole binary, stopped when it exits.
  static std::unique_ptr<test::PostgresServer> server_;
  static std::string reason_;
  TempDir dir_;
  std::string location_;
};

std::unique_ptr<test::PostgresServer> StoreTest::server_;
std::string StoreTest::reason_;

TEST_P(StoreTest, KeepsDedicationsInArrivalOrderAcrossReopening) {
  {
    auto store = Open();
    EXPECT_TRUE(store->Latest(50).empty());
    EXPECT_EQ(store->NewestId(), 0);
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(store->Add(Numbered(i), "10.0.0.1"), i);
  }
  auto store = Open();
  std::vector<Dedication> all = store->Latest(50);
  ASSERT_EQ(all.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(all[i], Numbered(i + 1));
  // The most recent ones, still oldest first.
  std::vector<Dedication> last_two = store->Latest(2);
  ASSERT_EQ(last_two.size(), 2u);
  EXPECT_EQ(last_two[0], Numbered(4));
  EXPECT_EQ(last_two[1], Numbered(5));
  EXPECT_TRUE(store->Latest(0).empty());
  EXPECT_EQ(store->Add(Numbered(6), "10.0.0.1"), 6);
  EXPECT_EQ(store->NewestId(), 6);
}

TEST_P(StoreTest, TextIsStoredAsGivenNeverAsSql) {
  auto store = Open();
  Dedication tricky = Numbered(1);
  tricky.wishes = "'); DROP TABLE dedications; --";
  tricky.dedicator = "Robert\"; DELETE FROM dedications WHERE \"1\"=\"1";
  tricky.song = "$1 \\x00 %s 生日快乐 ☃";
  store->Add(tricky, "x");
  store->Add(Numbered(2), "x");
  std::vector<Dedication> all = store->Latest(10);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0], tricky);
}

TEST_P(StoreTest, SubmissionsAreRefusedAsRepeatedOrTooSoonAndOtherwiseKept) {
  using Outcome = Submission::Outcome;
  auto store = Open();
  const SubmissionRules none{0ms, 0, 1h};
  // Repeated wishes: only among the repeat window's most recent records.
  EXPECT_EQ(store->Submit(Numbered(1), "a", none, 2).outcome, Outcome::kStored);
  EXPECT_EQ(store->Submit(Numbered(1), "b", none, 2).outcome, Outcome::kRepeated);
  EXPECT_EQ(store->Submit(Numbered(2), "a", none, 2).outcome, Outcome::kStored);
  EXPECT_EQ(store->Submit(Numbered(3), "a", none, 2).outcome, Outcome::kStored);
  Submission again = store->Submit(Numbered(1), "a", none, 2);
  EXPECT_EQ(again.outcome, Outcome::kStored);
  EXPECT_EQ(again.id, 4);

  // An interval per address.
  const SubmissionRules interval{60s, 0, 1h};
  EXPECT_EQ(store->Submit(Numbered(10), "10.0.0.1", interval, 50).outcome, Outcome::kStored);
  Submission soon = store->Submit(Numbered(11), "10.0.0.1", interval, 50);
  EXPECT_EQ(soon.outcome, Outcome::kTooSoon);
  EXPECT_GT(soon.wait, 55s);
  EXPECT_LE(soon.wait, 60s);
  EXPECT_EQ(store->Submit(Numbered(11), "10.0.0.2", interval, 50).outcome, Outcome::kStored);

  // A cap per window: the third waits for the first to leave the hour.
  const SubmissionRules capped{1ms, 2, 1h};
  EXPECT_EQ(store->Submit(Numbered(20), "10.0.0.3", capped, 50).outcome, Outcome::kStored);
  std::this_thread::sleep_for(5ms);
  EXPECT_EQ(store->Submit(Numbered(21), "10.0.0.3", capped, 50).outcome, Outcome::kStored);
  std::this_thread::sleep_for(5ms);
  Submission capped_out = store->Submit(Numbered(22), "10.0.0.3", capped, 50);
  EXPECT_EQ(capped_out.outcome, Outcome::kTooSoon);
  EXPECT_GT(capped_out.wait, 59min);
  EXPECT_EQ(store->Latest(50).size(), 8u);
}

TEST_P(StoreTest, HostsSharingTheStoreSeeSubmissionsInOneOrder) {
  // Two stores on one database, as two hosts: of simultaneous submissions from one address
  // only one is kept, and of the same wishes from different addresses only one.
  std::vector<std::unique_ptr<DedicationStore>> hosts;
  hosts.push_back(Open());
  hosts.push_back(Open());
  const SubmissionRules rules{60s, 10, 1h};
  std::atomic<int> stored_same_address{0};
  std::atomic<int> stored_same_wishes{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      DedicationStore& store = *hosts[static_cast<size_t>(t % 2)];
      if (store.Submit(Numbered(100 + t), "10.9.9.9", rules, 50).outcome ==
          Submission::Outcome::kStored) {
        ++stored_same_address;
      }
      if (store.Submit(Numbered(7), "10.8.0." + std::to_string(t), rules, 50).outcome ==
          Submission::Outcome::kStored) {
        ++stored_same_wishes;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(stored_same_address, 1);
  EXPECT_EQ(stored_same_wishes, 1);
  EXPECT_EQ(hosts[0]->Latest(50).size(), 2u);
}

TEST_P(StoreTest, ConcurrentAddsAllLand) {
  auto store = Open();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 10; ++i) store->Add(Numbered(t * 100 + i), "x");
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(store->Latest(1000).size(), 40u);
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreTest,
                         ::testing::Values(Backend::kSqlite, Backend::kPostgres,
                                           Backend::kPostgresRepeatableRead),
                         [](const auto& info) {
                           return info.param == Backend::kSqlite     ? "Sqlite"
                                  : info.param == Backend::kPostgres ? "Postgres"
                                                                     : "PostgresRepeatableRead";
                         });

// ---- PostgreSQL: hosts starting together, a server that goes away ----

class PostgresStoreTest : public StoreTest {};

TEST_P(PostgresStoreTest, HostsStartingTogetherOnAnEmptyDatabaseDoNotRace) {
  std::vector<std::thread> threads;
  std::atomic<int> opened{0};
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&] {
      try {
        Open()->NewestId();
        ++opened;
      } catch (const StoreError& e) {
        ADD_FAILURE() << e.what();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(opened, 6);
  EXPECT_EQ(Open()->Add(Numbered(1), "x"), 1);
}

TEST_P(PostgresStoreTest, AStoreCarriesOnAfterTheServerRestarts) {
  auto store = Open();
  store->Add(Numbered(1), "x");
  ASSERT_TRUE(server_->Stop());
  EXPECT_THROW(store->Latest(10), StoreError);
  const SubmissionRules none{0ms, 0, 1h};
  // The server just found unreachable is not tried again at once: refused without waiting.
  try {
    store->Submit(Numbered(2), "x", none, 50);
    ADD_FAILURE() << "a submission without the database";
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("a moment ago"), std::string::npos) << e.what();
  }
  ASSERT_TRUE(server_->Restart());
  // Within a few seconds the store connects again by itself.
  std::optional<Submission> stored;
  for (int i = 0; i < 40 && !stored; ++i) {
    try {
      stored = store->Submit(Numbered(2), "x", none, 50);
    } catch (const StoreError&) {
      std::this_thread::sleep_for(250ms);
    }
  }
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->outcome, Submission::Outcome::kStored);
  EXPECT_EQ(store->Latest(10).size(), 2u);
}

TEST_P(PostgresStoreTest, ASessionHoldingTheSubmissionLockHoldsNoSubmissionForLong) {
  auto store = Open();
  // Another host stalls in the middle of a submission: it holds the lock and never commits.
  PGconn* stalled = PQconnectdb(location_.c_str());
  ASSERT_EQ(PQstatus(stalled), CONNECTION_OK);
  for (const char* statement : {"BEGIN", "SELECT pg_advisory_xact_lock(7237413298413400002)"}) {
    PGresult* result = PQexec(stalled, statement);
    ASSERT_NE(PQresultStatus(result), PGRES_FATAL_ERROR) << PQerrorMessage(stalled);
    PQclear(result);
  }
  const SubmissionRules none{0ms, 0, 1h};
  const auto began = std::chrono::steady_clock::now();
  EXPECT_THROW(store->Submit(Numbered(1), "x", none, 50), StoreError);
  const auto waited = std::chrono::steady_clock::now() - began;
  std::printf("a submission behind a stalled lock holder failed after %.1f s\n",
              std::chrono::duration<double>(waited).count());
  EXPECT_LT(waited, 30s) << "a hang, not a bounded wait";
  EXPECT_TRUE(store->Latest(10).empty()) << "reading goes on";
  PQfinish(stalled);  // the stalled host's lock goes with its session
  EXPECT_EQ(store->Submit(Numbered(1), "x", none, 50).outcome, Submission::Outcome::kStored);
}

// A relay between stores and the server that, when armed, breaks the connection that sends a
// COMMIT: kAnswer forwards it, waits for the server's answer (the transaction is then committed)
// and closes without relaying it; kCommit closes without forwarding it. Once only.
class CommitBreaker {
 public:
  enum class Cut { kNone, kAnswer, kCommit };

  explicit CommitBreaker(int server_port) : server_port_(server_port) {
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 16);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    accepting_ = std::thread([this] {
      for (int client; (client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
        relays_.emplace_back([this, client] { Relay(client); });
      }
    });
  }

  ~CommitBreaker() {
    stop_ = true;
    ::shutdown(listener_, SHUT_RDWR);  // ends the accept
    accepting_.join();
    for (std::thread& relay : relays_) relay.join();
    ::close(listener_);
  }

  int port() const { return port_; }
  void Arm(Cut cut) { armed_ = cut; }
  bool Armed() const { return armed_ != Cut::kNone; }

 private:
  static sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
  }

  static bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }

  void Relay(int client) {
    int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(server_port_);
    bool open = ::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    // libpq sends a statement's messages in one write: its Parse message holds "COMMIT".
    constexpr std::string_view kCommitQuery("\0COMMIT\0", 8);
    bool swallowing = false;  // the server's answer to a forwarded COMMIT
    std::string swallowed;
    char buffer[16384];
    while (open && !stop_) {
      pollfd ready[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
      if (::poll(ready, 2, 100) <= 0) continue;
      if (ready[0].revents != 0) {
        ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        std::string_view bytes(buffer, n > 0 ? static_cast<size_t>(n) : 0);
        Cut cut = bytes.find(kCommitQuery) != std::string_view::npos ? armed_.exchange(Cut::kNone)
                                                                     : Cut::kNone;
        swallowing = cut == Cut::kAnswer;
        open = n > 0 && cut != Cut::kCommit && SendAll(server, bytes);
      }
      if (open && ready[1].revents != 0) {
        ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
        std::string_view bytes(buffer, n > 0 ? static_cast<size_t>(n) : 0);
        if (swallowing) swallowed.append(bytes);
        // Closed once the server's CommandComplete says COMMIT, never relayed.
        open = n > 0 && (swallowing ? swallowed.find("COMMIT") == std::string::npos
                                    : SendAll(client, bytes));
      }
    }
    ::close(client);
    ::close(server);
  }

  const int server_port_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<Cut> armed_{Cut::kNone};
  std::atomic<bool> stop_{false};
  std::thread accepting_;
  std::vector<std::thread> relays_;  // the accepting thread's until it ends
};

TEST_P(PostgresStoreTest, ASubmissionWhoseCommitWentUnansweredIsAnsweredAsItEnded) {
  using Outcome = Submission::Outcome;
  using Cut = CommitBreaker::Cut;
  struct Case {
    const char* what;
    Cut cut;
    bool kept;        // committed by the server, though the store heard no answer
    Outcome retried;  // the user sends it again
  };
  const Case cases[] = {
      {"the answer to the COMMIT lost", Cut::kAnswer, true, Outcome::kRepeated},
      {"the COMMIT lost on its way", Cut::kCommit, false, Outcome::kStored},
  };
  CommitBreaker breaker(server_->port());
  auto store = OpenPostgresStore("postgresql://sonaro@127.0.0.1:" + std::to_string(breaker.port()) +
                                 location_.substr(location_.rfind('/')));
  const SubmissionRules none{0ms, 0, 1h};
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Dedication wish = Numbered(++number);
    const std::int64_t newest = store->NewestId();
    breaker.Arm(c.cut);
    std::optional<Submission> answer;
    try {
      answer = store->Submit(wish, "x", none, 50);
    } catch (const StoreError& e) {
      std::printf("%s: %s\n", c.what, e.what());
    }
    EXPECT_FALSE(breaker.Armed()) << "the connection did not break at the COMMIT";
    std::vector<Dedication> feed = store->Latest(50);
    EXPECT_EQ(std::count(feed.begin(), feed.end(), wish), c.kept ? 1 : 0);
    if (c.kept) {
      ASSERT_TRUE(answer) << "a dedication stored was answered as not";
      EXPECT_EQ(answer->outcome, Outcome::kStored);
      EXPECT_EQ(answer->id, store->NewestId());
      EXPECT_EQ(feed.back(), wish);
    } else {
      EXPECT_FALSE(answer) << "a dedication not stored was answered as stored";
      EXPECT_EQ(store->NewestId(), newest);
    }
    EXPECT_EQ(store->Submit(wish, "x", none, 50).outcome, c.retried);
  }
}

TEST_P(PostgresStoreTest, ADatabaseOfANewerSchemaIsRefused) {
  Open().reset();
  PGconn* conn = PQconnectdb(location_.c_str());
  PQclear(PQexec(conn, "UPDATE sonaro_schema SET version = 99"));
  PQfinish(conn);
  try {
    Open();
    FAIL() << "opened a database of a newer schema";
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("newer"), std::string::npos);
  }
  EXPECT_THROW(OpenPostgresStore("postgresql://sonaro@127.0.0.1:1/none"), StoreError);
}

INSTANTIATE_TEST_SUITE_P(Server, PostgresStoreTest, ::testing::Values(Backend::kPostgres),
                         [](const auto&) { return "Postgres"; });

// ---- SQLite only ----

TEST(HostSqliteStore, UsesWriteAheadLogAndRecordsTheSender) {
  TempDir dir;
  std::filesystem::path file = dir.path() / "d.sqlite3";
  auto store = OpenSqliteStore(file);
  store->Add(Numbered(1), "192.0.2.7");
  EXPECT_EQ(QueryOne(file, "PRAGMA journal_mode"), "wal");
  EXPECT_EQ(QueryOne(file, "SELECT from_address FROM dedications"), "192.0.2.7");
  EXPECT_EQ(QueryOne(file, "SELECT zhufuyu FROM dedications"), "祝福1");
  // Another process reading the file sees the committed record at once.
  EXPECT_EQ(QueryOne(file, "SELECT count(*) FROM dedications"), "1");
}

TEST(HostSqliteStore, KeepsTextWithANulWhole) {
  TempDir dir;
  auto store = OpenSqliteStore(dir.path() / "d.sqlite3");
  Dedication tricky = Numbered(1);
  tricky.song = std::string("nul\0inside", 10);
  store->Add(tricky, "x");
  EXPECT_EQ(store->Latest(10).at(0), tricky);
}

TEST(HostSqliteStore, ADatabaseOfTheFirstSchemaIsUpgradedWithItsRecords) {
  TempDir dir;
  std::filesystem::path file = dir.path() / "old.sqlite3";
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  sqlite3_exec(db,
               "CREATE TABLE dedications (id INTEGER PRIMARY KEY AUTOINCREMENT, received_at TEXT "
               "NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')), from_address TEXT NOT "
               "NULL, chenghu TEXT NOT NULL, diangezhe TEXT NOT NULL, beichenghu TEXT NOT NULL, "
               "beidiangezhe TEXT NOT NULL, geming TEXT NOT NULL, gequdizhi TEXT NOT NULL, "
               "zhufuyu TEXT NOT NULL); PRAGMA user_version=1; INSERT INTO dedications "
               "(from_address, chenghu, diangezhe, beichenghu, beidiangezhe, geming, gequdizhi, "
               "zhufuyu) VALUES ('10.0.0.1', 'a', 'b', 'c', 'd', 'e', 'http://x/1.mp3', '旧的');",
               nullptr, nullptr, nullptr);
  sqlite3_close(db);
  auto store = OpenSqliteStore(file);
  EXPECT_EQ(QueryOne(file, "PRAGMA user_version"), "2");
  EXPECT_EQ(store->Latest(10).at(0).wishes, "旧的");
  // The old record is the address's turn.
  EXPECT_EQ(store->Submit(Numbered(1), "10.0.0.1", {60s, 0, 1h}, 50).outcome,
            Submission::Outcome::kTooSoon);
}

TEST(HostSqliteStore, RefusesFilesItCannotUse) {
  TempDir dir;
  std::filesystem::path junk = dir.path() / "junk.sqlite3";
  {
    std::FILE* f = std::fopen(junk.c_str(), "wb");
    std::string noise(4096, 'x');
    std::fwrite(noise.data(), 1, noise.size(), f);
    std::fclose(f);
  }
  EXPECT_THROW(OpenSqliteStore(junk), StoreError);
  EXPECT_THROW(OpenSqliteStore(dir.path() / "no-such-folder" / "d.sqlite3"), StoreError);

  std::filesystem::path newer = dir.path() / "newer.sqlite3";
  OpenSqliteStore(newer).reset();
  sqlite3* db = nullptr;
  sqlite3_open(newer.c_str(), &db);
  sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  try {
    OpenSqliteStore(newer);
    FAIL() << "opened a database of a newer schema";
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("newer"), std::string::npos);
  }
}

// ---- the feed, as the player reads it ----

sonaro::core::Text Gbk(std::string_view utf8) { return GbkFromUtf8(utf8); }

TEST(HostFeed, PlayerReadsEveryRecordAndFieldInOrder) {
  std::vector<Dedication> list = {Numbered(1), Numbered(2), Numbered(3)};
  std::string feed = BuildFeed(list);
  EXPECT_TRUE(feed.starts_with("<?xml version=\"1.0\" encoding=\"GBK\"?>"));
  EXPECT_TRUE(IsGbk(feed));

  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(feed));
  ASSERT_EQ(doc.ChildCount("@1/"), 3);
  for (int i = 1; i <= 3; ++i) {
    std::string record = "@1/@" + std::to_string(i) + "/";
    const Dedication& d = list[static_cast<size_t>(i - 1)];
    EXPECT_EQ(doc.Value(record + "chenghu"), Gbk(d.dedicatorTitle));
    EXPECT_EQ(doc.Value(record + "diangezhe"), Gbk(d.dedicator));
    EXPECT_EQ(doc.Value(record + "beichenghu"), Gbk(d.recipientTitle));
    EXPECT_EQ(doc.Value(record + "beidiangezhe"), Gbk(d.recipient));
    EXPECT_EQ(doc.Value(record + "geming"), Gbk(d.song));
    EXPECT_EQ(doc.Value(record + "gequdizhi"), Gbk(d.songAddress));
    EXPECT_EQ(doc.Value(record + "zhufuyu"), Gbk(d.wishes));
  }
}

TEST(HostFeed, SpecialsComeBackExactlyAsTyped) {
  Dedication d = Numbered(1);
  d.wishes = "第一行\r\n<b>粗体</b> & \"引号\" 'apostrophe' ]]> &amp;";
  d.dedicator = "</diangezhe><zhufuyu>forged</zhufuyu>";
  d.song = "5€";  // stored before the host refused what GBK lacks
  std::string feed = BuildFeed({d});
  EXPECT_EQ(feed.find("<b>"), std::string::npos);
  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(feed));
  EXPECT_EQ(doc.ChildCount("@1/"), 1);
  EXPECT_EQ(doc.ChildCount("@1/@1/"), 7);
  EXPECT_EQ(doc.Value("@1/@1/zhufuyu"), Gbk(d.wishes));
  EXPECT_EQ(doc.Value("@1/@1/diangezhe"), Gbk(d.dedicator));
  EXPECT_EQ(doc.Value("@1/@1/geming"), "5?");
  EXPECT_TRUE(IsGbk(feed));
}

TEST(HostFeed, StaysWellFormedWhateverTheStoreHolds) {
  Dedication d = Numbered(1);
  d.wishes = std::string("bell\x07 nul\0 end", 14);
  d.song = "bad utf-8 \xFF\xFE";
  d.recipient = "outside GBK 🎵";
  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(BuildFeed({d})));
  EXPECT_EQ(doc.Value("@1/@1/zhufuyu"), "bell nul end");
  EXPECT_EQ(doc.Value("@1/@1/geming"), "bad utf-8 ??");
  EXPECT_EQ(doc.Value("@1/@1/beidiangezhe"), "outside GBK ?");
}

TEST(HostFeed, EmptyFeedHasARootWithoutChildren) {
  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(BuildFeed({})));
  EXPECT_EQ(doc.ChildCount("@1/"), 0);
}

}  // namespace
}  // namespace sonaro::host
