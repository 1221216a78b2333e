// The public station directory as Sonaro uses it: names folded as a listener reads them, the
// entry that is the station, its JSON taken as untrusted input, the cache of addresses, and the
// client against loopback servers that answer as the directory's do (or fail as servers do).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "directory/address_cache.h"
#include "directory/client.h"
#include "directory/names.h"
#include "directory/search_results.h"
#include "directory/station_queries.h"
#include "directory/stations.h"
#include "support/live_station.h"
#include "support/loopback_server.h"

using namespace sonaro::directory;
using sonaro::testing::LoopbackServer;

namespace {

// One entry in the directory's JSON shape (the fields Sonaro reads, and some it does not).
std::string Entry(const std::string& uuid, const std::string& name, const std::string& url,
                  const std::string& country, int checkOk, int votes, int clicks = 0) {
  return "{\"changeuuid\":\"c-" + uuid + "\",\"stationuuid\":\"" + uuid + "\",\"name\":\"" + name +
         "\",\"url\":\"" + url + "\",\"url_resolved\":\"" + url +
         "\",\"homepage\":\"\",\"favicon\":\"\",\"tags\":\"news,talk\",\"country\":\"\","
         "\"countrycode\":\"" +
         country +
         "\",\"state\":\"\",\"language\":\"chinese\","
         "\"votes\":" +
         std::to_string(votes) +
         ",\"codec\":\"AAC\",\"bitrate\":64,\"hls\":1,"
         "\"lastcheckok\":" +
         std::to_string(checkOk) + ",\"clickcount\":" + std::to_string(clicks) +
         ",\"geo_lat\":null}";
}

TEST(Names, FoldedAsAListenerReadsThem) {
  ASSERT_TRUE(HasChineseConversion()) << "OpenCC's t2s could not be opened";
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"香港電台第一台", "香港电台第一台", true},
      {"中國之聲", "中国之声", true},
      {"台北愛樂", "台北爱乐", true},
      {"ＣＲＩ　Ｈｉｔ　ＦＭ　８８．７", "CRI Hit FM 88.7", true},
      {"中国之声 (CNR-1)", "中国之声CNR1", true},
      {"北京·新闻广播！", "北京新闻广播", true},
      {"经济之声", "中国之声", false},
      {"天津音乐广播", "天津新闻广播", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FoldName(c.a) == FoldName(c.b), c.same) << c.a << " / " << c.b;
  }
  EXPECT_EQ(FoldName("  \t！？"), "");
}

TEST(Names, SearchTextsInBothScripts) {
  ASSERT_TRUE(HasChineseConversion());
  const struct {
    const char* typed;
    std::vector<std::string> variants;
  } cases[] = {
      {"中国之声", {"中国之声", "中國之聲"}},
      {"香港電台", {"香港電台", "香港电台", "香港電臺"}},  // typed mixed: three
      {"jazz", {"jazz"}},
  };
  for (const auto& c : cases) EXPECT_EQ(ChineseVariants(c.typed), c.variants) << c.typed;
}

DirectoryStation Found(const std::string& uuid, const std::string& name, bool ok, int64_t clicks,
                       int64_t votes = 0) {
  DirectoryStation station;
  station.uuid = uuid;
  station.name = name;
  station.url = "http://s.test/" + uuid;
  station.checkOk = ok;
  station.clicks = clicks;
  station.votes = votes;
  return station;
}

std::vector<std::string> Uuids(const std::vector<DirectoryStation>& stations) {
  std::vector<std::string> uuids;
  for (const DirectoryStation& station : stations) uuids.push_back(station.uuid);
  return uuids;
}

TEST(SearchResults, MergedOnceWorkingFirstThenExactNameThenClicksAndVotes) {
  const struct {
    const char* what;
    std::vector<std::vector<DirectoryStation>> answers;
    std::vector<std::string> expected;
  } cases[] = {
      {"an entry found by name and by tag is listed once",
       {{Found("a", "音乐台", true, 5)}, {Found("a", "音乐台", true, 5), Found("b", "x", true, 1)}},
       {"a", "b"}},
      {"broken entries go last, however often played",
       {{Found("broken", "音乐台", false, 900), Found("ok", "音乐台", true, 1)}},
       {"ok", "broken"}},
      {"the name that is the search text, in either script, before more clicks",
       {{Found("more", "音乐之声 FM", true, 90), Found("exact", "音樂之聲", true, 2)}},
       {"exact", "more"}},
      {"clicks, then votes, then the answers' order",
       {{Found("v", "a", true, 7, 1), Found("c", "b", true, 9), Found("w", "c", true, 7, 5)},
        {Found("tie", "d", true, 7, 5)}},
       {"c", "w", "tie", "v"}},
      {"no answers", {}, {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Uuids(MergeAnswers(c.answers, "音乐之声")), c.expected) << c.what;

  std::vector<DirectoryStation> many;
  for (int i = 0; i < 400; ++i) many.push_back(Found(std::to_string(i), "n", true, 1));
  EXPECT_EQ(MergeAnswers({many, many, {Found("new", "n", true, 1)}, many}, "n").size(), 401u);
}

TEST(SearchResults, PagesOfTwentyClampedToThoseThatExist) {
  const struct {
    size_t total;
    int asked;
    ResultPage expected;
  } cases[] = {
      {0, 1, {0, 0, 0, 0}},   {5, 1, {0, 5, 1, 1}},    {20, 1, {0, 20, 1, 1}},
      {21, 2, {20, 1, 2, 2}}, {45, 2, {20, 20, 2, 3}}, {45, 9, {40, 5, 3, 3}},
      {45, 0, {0, 20, 1, 3}}, {45, -3, {0, 20, 1, 3}},
  };
  for (const auto& c : cases) {
    const ResultPage page = PageOf(c.total, c.asked);
    EXPECT_EQ(std::tie(page.first, page.count, page.number, page.pages),
              std::tie(c.expected.first, c.expected.count, c.expected.number, c.expected.pages))
        << c.total << " stations, page " << c.asked;
  }
}

TEST(SearchResults, RowTextsAndRequests) {
  const struct {
    bool ok;
    const char* country;
    const char* codec;
    int bitrate;
    const char* tags;
    ResultTexts expected;
  } cases[] = {
      {false,
       "HK",
       "aac",
       64,
       "pop, hits,,cantonese",
       {"n（可能失效）", "香港", "AAC 64k", "pop, hits, cantonese"}},
      {true, "CN", "MP3", 0, "", {"n", "中国", "MP3", ""}},
      {true, "ZZ", "UNKNOWN", 128, "news", {"n", "ZZ", "128k", "news"}},
  };
  for (const auto& c : cases) {
    DirectoryStation station = Found("a", "n", c.ok, 0);
    station.countryCode = c.country;
    station.codec = c.codec;
    station.bitrate = c.bitrate;
    station.tags = c.tags;
    const ResultTexts texts = TextsOf(station);
    EXPECT_EQ(std::tie(texts.name, texts.region, texts.coding, texts.tags),
              std::tie(c.expected.name, c.expected.region, c.expected.coding, c.expected.tags))
        << c.country;
  }

  EXPECT_TRUE(SearchRequests(" \t ").empty());
  const std::vector<std::string> requests = SearchRequests(" 音乐 台 ");
  ASSERT_EQ(requests.size(), 4u) << "name and tag, simplified and traditional";
  EXPECT_EQ(requests[0].rfind("/json/stations/search?name=%E9%9F%B3%E4%B9%90%20%E5%8F%B0&", 0), 0u)
      << requests[0];
  EXPECT_EQ(requests[3].rfind("/json/stations/search?tag=%E9%9F%B3%E6%A8%82%20%E8%87%BA&", 0), 0u)
      << requests[3];
  EXPECT_NE(requests[0].find("&hidebroken=false&"), std::string::npos);
}

TEST(Choose, WorkingThenCountryThenExactThenVotesAndClicks) {
  const std::string url = "https://radio.test/live.m3u8";
  const auto parse = [&](const std::vector<std::string>& entries) {
    std::string json = "[";
    for (const std::string& entry : entries) json += (json.size() > 1 ? "," : "") + entry;
    return *ParseStations(json + "]");
  };
  struct Case {
    const char* what;
    std::vector<std::string> entries;
    StationQuery query;
    std::string expected;  // uuid; empty: none
  };
  const StationQuery voice{"中国之声", "CN", "chinese"};
  const Case cases[] = {
      {"a broken entry loses to a working one with fewer votes",
       {Entry("broken", "中国之声", url, "CN", 0, 900), Entry("ok", "中國之聲", url, "CN", 1, 3)},
       voice,
       "ok"},
      {"the right country wins among working ones",
       {Entry("tw", "中国之声", url, "TW", 1, 500), Entry("cn", "中国之声", url, "CN", 1, 2)},
       voice,
       "cn"},
      {"an exact name wins over one that holds it",
       {Entry("more", "中国之声 CNR-1 高清", url, "CN", 1, 50),
        Entry("exact", "中国之声", url, "CN", 1, 1)},
       voice,
       "exact"},
      {"a name holding the query counts when nothing is exact",
       {Entry("cnr", "CNR 中国之声", url, "CN", 1, 5),
        Entry("other", "经济之声", url, "CN", 1, 99)},
       voice,
       "cnr"},
      {"votes, then clicks",
       {Entry("a", "中国之声", url, "CN", 1, 7, 1), Entry("b", "中国之声", url, "CN", 1, 7, 9)},
       voice,
       "b"},
      {"nothing matches", {Entry("x", "音乐之声", url, "CN", 1, 1)}, voice, ""},
      {"a query's programme name does not pick another city's",
       {Entry("tj", "天津新闻广播", url, "CN", 1, 1)},
       StationQuery{"北京新闻广播", "CN", "chinese"},
       ""},
  };
  for (const Case& c : cases) {
    const auto found = parse(c.entries);
    const DirectoryStation* chosen = ChooseStation(found, c.query);
    EXPECT_EQ(chosen ? chosen->uuid : "", c.expected) << c.what;
  }
}

TEST(Json, UntrustedAnswersKeepOnlyWhatIsSafe) {
  EXPECT_FALSE(ParseStations("<html>502 Bad Gateway</html>"));
  EXPECT_FALSE(ParseStations("{\"stations\":[]}"));
  EXPECT_FALSE(ParseStations("[{\"stationuuid\":\"a\""));  // cut off
  EXPECT_TRUE(ParseStations("[]")->empty());
  const auto parsed = ParseStations(
      "[" + Entry("file", "x", "file:///etc/passwd", "CN", 1, 1) + "," +
      Entry("js", "x", "javascript:alert(1)", "CN", 1, 1) + "," +
      Entry("", "x", "http://a/", "CN", 1, 1) +
      ",{\"stationuuid\":\"r\",\"url\":\"http://plain.test/\",\"url_resolved\":\"data:,x\","
      "\"votes\":\"NaN\",\"bitrate\":1e300,\"countrycode\":\"cn\"},7,null," +
      Entry("long", std::string(5000, 'n'), "https://ok.test/a b", "HK", 1, 1) + "]");
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->size(), 2u) << "entries without a uuid or a stream address are dropped";
  EXPECT_EQ(parsed->at(0).url, "http://plain.test/") << "url when url_resolved is no stream";
  EXPECT_EQ(parsed->at(0).votes, 0);
  EXPECT_EQ(parsed->at(0).countryCode, "CN");
  EXPECT_EQ(parsed->at(1).name.size(), kMaxFieldBytes);
  EXPECT_EQ(parsed->at(1).url, "https://ok.test/a%20b");
  std::string many = "[";
  for (int i = 0; i < 700; ++i)
    many += (i ? "," : "") + Entry(std::to_string(i), "n", "http://a/", "CN", 1, 1);
  EXPECT_EQ(ParseStations(many + "]")->size(), kMaxStations);
  EXPECT_EQ(ParseClickAnswer("{\"ok\":true,\"message\":\"retrieved station url\","
                             "\"stationuuid\":\"a\",\"name\":\"n\",\"url\":\"https://s.test/l\"}"),
            "https://s.test/l");
  EXPECT_FALSE(ParseClickAnswer("{\"ok\":false,\"url\":\"https://s.test/l\"}"));
  EXPECT_FALSE(ParseClickAnswer("{\"ok\":true,\"url\":\"file:///x\"}"));
}

TEST(Queries, EveryRowHasAQueryOrIsOffTheAir) {
  size_t withQuery = 0;
  for (size_t row = 0; row < 119; ++row) {
    if (const StationQuery* query = QueryForRow(row)) {
      ++withQuery;
      EXPECT_FALSE(FoldName(query->name).empty()) << row;
      EXPECT_EQ(std::string(query->countryCode).size(), 2u) << row;
    }
  }
  EXPECT_EQ(QueryForRow(30)->name, std::string("中国之声"));
  EXPECT_EQ(QueryForRow(12)->name, std::string("北京新闻广播")) << "generic rows carry their city";
  EXPECT_EQ(QueryForRow(45), nullptr) << "a web station of the 2000s is off the air";
  EXPECT_EQ(QueryForRow(119), nullptr);
  EXPECT_GT(withQuery, 60u);
}

TEST(Cache, KeptWholeReadBackAndDamageCountsAsEmpty) {
  const std::string folder = sonaro::test::TemporaryFolder("sonaro-cache");
  const std::string path = folder + "/sonaro/station-addresses";
  {
    AddressCache cache(path);
    EXPECT_FALSE(cache.Find(30));
    ASSERT_TRUE(cache.Store(30, {"https://s.test/live.m3u8", "uuid-1", 1700000000}));
    ASSERT_TRUE(cache.Store(31, {"http://s.test/b", "uuid-2", 1700000001}));
    EXPECT_FALSE(cache.Store(32, {"http://s.test/a\tb", "uuid-3", 1})) << "a tab in an address";
  }
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  AddressCache again(path);
  ASSERT_TRUE(again.Find(30));
  EXPECT_EQ(again.Find(30)->url, "https://s.test/live.m3u8");
  EXPECT_EQ(again.Find(30)->uuid, "uuid-1");
  EXPECT_EQ(again.Find(31)->found, 1700000001);
  EXPECT_FALSE(again.Find(32));

  for (const std::string& damaged :
       {std::string("garbage\n30\t1\tu\thttps://x/\n"),
        std::string(AddressCache::kMaxFileBytes + 10, 'x'),
        std::string("# sonaro station addresses "
                    "1\n30\tnow\tu\thttps://x/\n31\t1\tu\tfile:///etc/passwd\n")}) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
    AddressCache read(path);
    EXPECT_FALSE(read.Find(30));
    EXPECT_FALSE(read.Find(31));
  }
  sonaro::test::RemoveFolder(folder);
}

TEST(Client, AsksServersInTurnWithItsNameAndCountsClicks) {
  const std::string stations =
      "[" + Entry("u-1", "中國之聲", "https://cnr.test/live.m3u8", "CN", 1, 10) + "]";
  std::vector<std::string> seen;
  std::mutex mutex;
  LoopbackServer good([&](const std::string& head) -> std::optional<std::string> {
    {
      std::lock_guard lock(mutex);
      seen.push_back(head);
    }
    const std::string path = sonaro::testing::RequestPath(head);
    if (path.rfind("/json/stations/search?", 0) == 0)
      return sonaro::testing::Response(200, "OK", stations, "Content-Type: application/json\r\n");
    if (path == "/json/url/u-1")
      return sonaro::testing::Response(200, "OK",
                                       "{\"ok\":true,\"message\":\"retrieved station "
                                       "url\",\"url\":\"https://cnr.test/live.m3u8\"}");
    return sonaro::testing::Response(404, "Not Found", "");
  });
  LoopbackServer failing([](const std::string&) -> std::optional<std::string> {
    return sonaro::testing::Response(502, "Bad Gateway", "<html>502</html>");
  });
  const std::string dead = "http://127.0.0.1:" + std::to_string(sonaro::testing::UnusedPort());
  DirectoryClient client(std::vector<std::string>{dead, failing.Url(""), good.Url("")});
  const auto found = client.Search("中国之声");
  ASSERT_TRUE(found) << "the third server answers";
  ASSERT_EQ(found->size(), 1u);
  EXPECT_EQ(found->at(0).name, "中國之聲");
  EXPECT_EQ(client.Servers().front(), good.Url("")) << "the one that answered is asked first";
  EXPECT_EQ(client.Click("u-1"), "https://cnr.test/live.m3u8");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_NE(seen[0].find("GET /json/stations/search?name=%E4%B8%AD%E5%9B%BD%E4%B9%8B%E5%A3%B0&"),
            std::string::npos)
      << seen[0];
  EXPECT_NE(seen[0].find("\r\nUser-Agent: Sonaro/2.0\r\n"), std::string::npos) << seen[0];
  EXPECT_NE(seen[1].find("GET /json/url/u-1 "), std::string::npos);

  DirectoryClient nobody(std::vector<std::string>{dead, failing.Url("")});
  EXPECT_FALSE(nobody.Search("中国之声")) << "no server answered: not an empty answer";
}

}  // namespace
