// Several hosts on one PostgreSQL database (a private server started for the test): one feed,
// one set of limits, and a host that carries on while the database is away.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "core/xmldoc.h"
#include "tests/host/postgres_server.h"
#include "tests/host/support.h"

namespace sonaro::host {
namespace {

using namespace test;

int FeedCount(int port) {
  sonaro::core::XmlDoc doc;
  if (!doc.Load(ProgramGet(port, kFeedPath).body)) return -1;
  return static_cast<int>(doc.ChildCount("@1/"));
}

// How long until the host's feed holds count dedications (at least kHang when it never does),
// printed.
std::chrono::steady_clock::duration TimeUntilFeedCount(int port, int count) {
  const auto start = std::chrono::steady_clock::now();
  while (FeedCount(port) != count && std::chrono::steady_clock::now() - start < kHang) {
    std::this_thread::sleep_for(20ms);
  }
  const auto took = std::chrono::steady_clock::now() - start;
  PrintTook("the other host's feed in step after", took);
  return took;
}

std::string From(std::string_view address) {
  return "X-Forwarded-For: " + std::string(address) + "\r\n";
}

class SharedDatabaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = PostgresServer::Start(&reason_); }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override {
    if (!server_) GTEST_SKIP() << "PostgreSQL not tested: " << reason_;
    url_ = server_->NewDatabase();
    ASSERT_FALSE(url_.empty());
  }

  // A host of its own (data folder and port) on the shared database; submissions' addresses
  // come from X-Forwarded-For.
  std::unique_ptr<ServedHost> StartHost() {
    HostOptions options = TestOptions(dirs_.emplace_back(std::make_unique<TempDir>())->path());
    options.database = url_;
    options.trusted_proxies = LoopbackProxies();
    return std::make_unique<ServedHost>(options);
  }

  static std::unique_ptr<PostgresServer> server_;
  static std::string reason_;
  std::string url_;
  std::vector<std::unique_ptr<TempDir>> dirs_;
};

std::unique_ptr<PostgresServer> SharedDatabaseTest::server_;
std::string SharedDatabaseTest::reason_;

TEST_F(SharedDatabaseTest, HostsShareOneFeedAndOneSetOfLimits) {
  auto a = StartHost();
  auto b = StartHost();
  ASSERT_EQ(PostForm(a->port(), DedicationForm("一起听歌"), From("10.0.0.1")).status, 200);
  // The other host's feed has it soon, told by the database (its own check runs every 5 s).
  EXPECT_LT(TimeUntilFeedCount(b->port(), 1), kHang);
  EXPECT_EQ(FeedCount(b->port()), 1);
  // The limits hold across hosts.
  EXPECT_EQ(PostForm(b->port(), DedicationForm("换个主机再送"), From("10.0.0.1")).status, 429);
  EXPECT_EQ(PostForm(b->port(), DedicationForm("一起听歌"), From("10.0.0.2")).status, 409);
  EXPECT_EQ(PostForm(b->port(), DedicationForm("第二首"), From("10.0.0.2")).status, 200);
  EXPECT_LT(TimeUntilFeedCount(a->port(), 2), kHang);
}

TEST_F(SharedDatabaseTest, WithoutItsDatabaseAHostServesTheLastFeedAndRefusesSubmissions) {
  auto host = StartHost();
  ASSERT_EQ(PostForm(host->port(), DedicationForm("断线之前"), From("10.0.1.1")).status, 200);
  ASSERT_TRUE(server_->Stop());
  EXPECT_EQ(FeedCount(host->port()), 1);
  HttpAnswer refused = PostForm(host->port(), DedicationForm("断线之中"), From("10.0.1.2"));
  EXPECT_EQ(refused.status, 503);
  EXPECT_NE(refused.Text().find("断线之中"), std::string::npos);  // kept in the form
  // Back by itself within seconds of the database (a database found unreachable is not tried
  // again for a moment: the submissions meanwhile are refused at once).
  ASSERT_TRUE(server_->Restart());
  int status = 0;
  for (int i = 0; i < 40 && status != 200; ++i) {
    status = PostForm(host->port(), DedicationForm("断线之后"), From("10.0.1.2")).status;
    if (status != 200) std::this_thread::sleep_for(250ms);
  }
  EXPECT_EQ(status, 200);
  EXPECT_EQ(FeedCount(host->port()), 2);
}

}  // namespace
}  // namespace sonaro::host
