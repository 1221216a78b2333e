// The SQLite store and the feed built from it, read back the way the player reads it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <thread>
#include <vector>

#include "core/xmldoc.h"
#include "host/feed.h"
#include "host/gbk.h"
#include "host/store.h"
#include "support.h"

namespace sonaro::host {
namespace {

using test::TempDir;

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

TEST(HostSqliteStore, KeepsDedicationsInArrivalOrderAcrossReopening) {
  TempDir dir;
  std::filesystem::path file = dir.path() / "d.sqlite3";
  {
    auto store = OpenSqliteStore(file);
    EXPECT_TRUE(store->Latest(50).empty());
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(store->Add(Numbered(i), "10.0.0.1"), i);
  }
  auto store = OpenSqliteStore(file);
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
}

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

TEST(HostSqliteStore, TextIsStoredAsGivenNeverAsSql) {
  TempDir dir;
  auto store = OpenSqliteStore(dir.path() / "d.sqlite3");
  Dedication tricky = Numbered(1);
  tricky.wishes = "'); DROP TABLE dedications; --";
  tricky.dedicator = "Robert\"; DELETE FROM dedications WHERE \"1\"=\"1";
  tricky.song = std::string("nul\0inside", 10);
  store->Add(tricky, "x");
  store->Add(Numbered(2), "x");
  std::vector<Dedication> all = store->Latest(10);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0], tricky);
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

TEST(HostSqliteStore, ConcurrentAddsAllLand) {
  TempDir dir;
  auto store = OpenSqliteStore(dir.path() / "d.sqlite3");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 10; ++i) store->Add(Numbered(t * 100 + i), "x");
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(store->Latest(1000).size(), 40u);
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
