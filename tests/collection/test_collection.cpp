// 我的电台: station list files read as listeners' files come (any encoding, torn, hostile,
// huge), written so that they read back, and the kept list's own file, which a failed save or
// an unreadable file never costs the listener.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "collection/kept_stations.h"
#include "collection/station_list.h"
#include "core/gbk.h"

using namespace sonaro;
using namespace sonaro::collection;
namespace fs = std::filesystem;

namespace {

using Stations = std::vector<KeptStation>;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> FolderNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

struct TempFolder {
  TempFolder() {
    std::string name = (fs::temp_directory_path() / "sonaro-collection-XXXXXX").string();
    path = ::mkdtemp(name.data());
  }
  ~TempFolder() { fs::remove_all(path); }
  fs::path path;
};

TEST(StationList, ReadsTheFilesListenersHave) {
  struct Case {
    const char* what;
    std::string bytes;
    ListFormat format;
    Stations stations;
    struct {
      size_t duplicates = 0, notStreams = 0;
      bool cutShort = false;
    } report = {};
    Stations kept = {};  // in the list already
  };
  const std::string cut = std::string("声").substr(0, 2);
  const Case cases[] = {
      {"extended, UTF-8 names, quoted comma, scheme and host in any case",
       "#EXTM3U\n#EXTINF:-1,中国之声\nhttp://cnr.test/1\n#EXTINF:-1 tvg-name=\"a,b\",音乐 台\n"
       "HTTPS://Music.Test/Live\n",
       ListFormat::kExtendedM3u,
       {{"中国之声", "http://cnr.test/1"}, {"音乐 台", "https://music.test/Live"}}},
      {"extended, GBK names",
       core::GbkFromUtf8("#EXTM3U\n#EXTINF:-1,经济之声\nhttp://e.test/\n"),
       ListFormat::kExtendedM3u,
       {{"经济之声", "http://e.test/"}}},
      {"plain, the address names the station",
       "http://a.test/1\nmms://b.test/2\nmmsh://c.test/3",
       ListFormat::kM3u,
       {{"http://a.test/1", "http://a.test/1"},
        {"mms://b.test/2", "mms://b.test/2"},
        {"mmsh://c.test/3", "mmsh://c.test/3"}},
       {.cutShort = true}},
      {"PLS by number with gaps; other sections, keys and a second File1 ignored",
       "[playlist]\nFile3=http://c.test/\nTitle3=丙\nFile1=http://a.test/\nTitle1=甲\n"
       "File1=http://again.test/\nFile7=http://g.test/\nNumberOfEntries=3\n[other]\n"
       "File2=http://other.test/\n",
       ListFormat::kPls,
       {{"甲", "http://a.test/"}, {"丙", "http://c.test/"}, {"http://g.test/", "http://g.test/"}},
       {.duplicates = 1}},
      {"only stream addresses",
       "#EXTM3U\nmusic/song.mp3\n/abs/a.mp3\nfile:///home/u/a.mp3\njavascript:alert(1)\n"
       "ftp://f.test/x\nhttp://\nhttp:/no-host\nhttp://ok.test/a b\nhttp://big.test/" +
           std::string(kMaxAddressBytes, 'a') + "\n",
       ListFormat::kExtendedM3u,
       {{"http://ok.test/a%20b", "http://ok.test/a%20b"}},
       {.notStreams = 8}},
      {"duplicates: in the file, or kept already; paths keep their case",
       "http://a.test/x\nHTTP://A.TEST/x\nhttp://a.test/X\nhttp://b.test/\n",
       ListFormat::kM3u,
       {{"http://a.test/x", "http://a.test/x"}, {"http://a.test/X", "http://a.test/X"}},
       {.duplicates = 2},
       {{"乙", "http://b.test/"}}},
      {"CRLF, byte order mark, control characters in a name",
       "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:-1,\t新闻\x01 \x7F 广播 \r\nhttp://n.test/\r\n",
       ListFormat::kExtendedM3u,
       {{"新闻 广播", "http://n.test/"}}},
      {"torn inside a name: the names before stay UTF-8",
       "#EXTM3U\n#EXTINF:-1,中国之声\nhttp://a.test/1\n#EXTINF:-1,经济之" + cut,
       ListFormat::kExtendedM3u,
       {{"中国之声", "http://a.test/1"}},
       {.cutShort = true}},
      {"binary", std::string("#EXTM3U\nhttp://a.test/\n\0\x89PNG", 28), ListFormat::kNotAList, {}},
      {"markup", "<html><body>http://a.test/</body></html>\n", ListFormat::kNotAList, {}},
      {"a stream's own HLS playlist",
       "#EXTM3U\n#EXT-X-TARGETDURATION:10\nhttp://a.test/s.ts\n",
       ListFormat::kNotAList,
       {}},
      {"prose", "hello world\nhttp://a.test/\n", ListFormat::kNotAList, {}},
      {"blank", " \r\n\n", ListFormat::kEmpty, {}},
  };
  for (const Case& c : cases) {
    const ReadResult read = ReadStationList(c.bytes, c.kept);
    EXPECT_EQ(read.format, c.format) << c.what;
    EXPECT_EQ(read.stations, c.stations) << c.what;
    EXPECT_EQ(read.duplicates, c.report.duplicates) << c.what;
    EXPECT_EQ(read.notStreams, c.report.notStreams) << c.what;
    EXPECT_EQ(read.overCap, 0u) << c.what;
    EXPECT_EQ(read.cutShort, c.report.cutShort) << c.what;
  }
}

TEST(StationList, AHundredThousandLinesKeptToTheCap) {
  std::string m3u = "#EXTM3U\n", pls = "[playlist]\n";
  for (int i = 0; i < 50000; ++i) {  // 100,000 lines each
    const std::string n = std::to_string(i);
    const std::string address = i % 10 == 9 ? "file:///m/" + n : "http://s" + n + ".test/";
    m3u += "#EXTINF:-1,台" + n + "\n" + address + "\n";
    pls += "File" + n + "=" + address + "\nTitle" + n + "=台" + n + "\n";
  }
  const Stations kept = {{"已有", "http://s0.test/"}};
  for (const std::string& bytes : {m3u, pls}) {
    const ReadResult read = ReadStationList(bytes, kept);
    ASSERT_EQ(read.Added(), kMaxKeptStations - 1);
    EXPECT_EQ(read.duplicates, 1u);
    EXPECT_EQ(read.notStreams, 5000u);
    EXPECT_EQ(read.overCap, 45000 - 1 - read.Added());
    EXPECT_EQ(read.stations.front(), (KeptStation{"台1", "http://s1.test/"}));
    EXPECT_EQ(read.stations.back(), (KeptStation{"台1110", "http://s1110.test/"}));
  }
}

TEST(StationList, WrittenListsReadBackTheSame) {
  const Stations given = {
      {"中国之声", "http://cnr.test/1"},    {"两行\n的\r名字", "HTTPS://Two.Test/live?a=1&b=2"},
      {"", "mms://nameless.test/"},         {std::string(600, 'x'), "http://long.test/"},
      {"not a stream", "file:///left/out"},
  };
  const Stations kept = {
      {"中国之声", "http://cnr.test/1"},
      {"两行 的 名字", "https://two.test/live?a=1&b=2"},
      {"mms://nameless.test/", "mms://nameless.test/"},
      {std::string(kMaxNameBytes, 'x'), "http://long.test/"},
  };
  const std::string m3u =
      "#EXTM3U\n#EXTINF:-1,中国之声\nhttp://cnr.test/1\n#EXTINF:-1,两行 的 名字\n"
      "https://two.test/live?a=1&b=2\n#EXTINF:-1,mms://nameless.test/\nmms://nameless.test/\n"
      "#EXTINF:-1," +
      kept[3].name + "\nhttp://long.test/\n";
  const std::string pls =
      "[playlist]\nFile1=http://cnr.test/1\nTitle1=中国之声\nLength1=-1\n"
      "File2=https://two.test/live?a=1&b=2\nTitle2=两行 的 名字\nLength2=-1\n"
      "File3=mms://nameless.test/\nTitle3=mms://nameless.test/\nLength3=-1\n"
      "File4=http://long.test/\nTitle4=" +
      kept[3].name +
      "\nLength4=-1\n"
      "NumberOfEntries=4\nVersion=2\n";
  for (const auto& [type, expected] :
       {std::pair{ListFileType::kM3u, m3u}, std::pair{ListFileType::kPls, pls}}) {
    const std::string written = WriteStationList(given, type);
    EXPECT_EQ(written, expected);
    const ReadResult read = ReadStationList(written);
    EXPECT_EQ(read.stations, kept);
    EXPECT_EQ(read.LeftOut(), 0u);
    EXPECT_FALSE(read.cutShort);
  }
  EXPECT_EQ(CleanName(std::string(200, ' ') + std::string(510, 'y') + "中国之声").size(),
            kMaxNameBytes - 2)
      << "cut before the character that does not fit";
  EXPECT_EQ(ListFileTypeFor("/home/u/Radio.PLS"), ListFileType::kPls);
  EXPECT_EQ(ListFileTypeFor("/home/u/pls.m3u8"), ListFileType::kM3u);
}

TEST(KeptStations, WhereTheListLives) {
  std::optional<std::string> saved[2];
  for (int i = 0; i < 2; ++i) {
    if (const char* value = getenv(i ? "XDG_DATA_HOME" : "HOME")) saved[i] = value;
  }
  ::setenv("HOME", "/home/listener", 1);
  const std::pair<const char*, std::string> cases[] = {
      {"/data", "/data/sonaro/kept-stations.m3u"},
      {"relative/data", "/home/listener/.local/share/sonaro/kept-stations.m3u"},
      {nullptr, "/home/listener/.local/share/sonaro/kept-stations.m3u"}};
  for (const auto& [xdg, path] : cases) {
    xdg ? ::setenv("XDG_DATA_HOME", xdg, 1) : ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(DefaultKeptStationsPath(), path) << (xdg ? xdg : "unset");
  }
  for (int i = 0; i < 2; ++i) {
    const char* name = i ? "XDG_DATA_HOME" : "HOME";
    saved[i] ? ::setenv(name, saved[i]->c_str(), 1) : ::unsetenv(name);
  }
}

TEST(KeptStations, ChangesAreSavedAndReadByTheNextStart) {
  TempFolder folder;
  const std::string path = (folder.path / "new" / "kept-stations.m3u").string();
  KeptStations list(path);
  EXPECT_EQ(list.Add("甲", "http://a.test/"), Change::kNotLoaded) << "nothing read yet";
  EXPECT_EQ(list.Load().status, LoadStatus::kLoaded) << "missing: an empty list";
  struct Step {
    std::function<Change()> change;
    Change expected;
    Stations after;
  };
  const KeptStation a{"甲", "http://a.test/"}, b{"http://b.test/x", "http://b.test/x"};
  const Step steps[] = {
      {[&] { return list.Add("甲", "http://a.test/"); }, Change::kDone, {a}},
      {[&] { return list.Add("", "http://B.test/x"); }, Change::kDone, {a, b}},
      {[&] { return list.Add("又", "HTTP://A.TEST/"); }, Change::kDuplicate, {a, b}},
      {[&] { return list.Add("文件", "file:///a.mp3"); }, Change::kNotStreamAddress, {a, b}},
      {[&] { return list.Rename(1, "乙\n台"); }, Change::kDone, {a, {"乙 台", b.address}}},
      {[&] { return list.Rename(2, "丙"); }, Change::kNoSuchStation, {a, {"乙 台", b.address}}},
      {[&] { return list.Remove(0); }, Change::kDone, {{"乙 台", b.address}}},
      {[&] { return list.Import("[playlist]\nFile1=http://a.test/\nTitle1=甲\n").change; },
       Change::kDone,
       {{"乙 台", b.address}, a}},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(step.change(), step.expected);
    EXPECT_EQ(list.Stations(), step.after);
    KeptStations next(path);
    EXPECT_EQ(next.Load().status, LoadStatus::kLoaded);
    EXPECT_EQ(next.Stations(), step.after);
  }
  EXPECT_EQ(list.Find("http://A.test/"), 1u);
  const std::string exported = (folder.path / "给朋友.pls").string();
  ASSERT_TRUE(SaveListFile(exported, list.Export(ListFileTypeFor(exported))));
  std::string bytes;
  ASSERT_EQ(ReadListFile(exported, &bytes), FileRead::kRead);
  EXPECT_EQ(ReadStationList(bytes).stations, list.Stations());
}

TEST(KeptStations, ASaveThatFailsKeepsTheOldList) {
  TempFolder folder;
  const fs::path path = folder.path / "kept-stations.m3u";
  const Stations old = {{"甲", "http://a.test/"}, {"乙", "http://b.test/"}};
  WriteBytes(path, WriteStationList(old, ListFileType::kM3u));
  const std::string oldBytes = ReadBytes(path);
  struct Sabotage {
    const char* what;
    std::function<void()> make, undo;
  };
  const fs::path moved = folder.path / "moved";
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  const Sabotage sabotages[] = {
      // Root writes through permission bits; it cannot rename a file over a non-empty folder.
      {"a non-empty folder where the file goes",
       [&] {
         fs::rename(path, moved);
         fs::create_directory(path);
         WriteBytes(path / "inside", "x");
       },
       [&] {
         fs::remove_all(path);
         fs::rename(moved, path);
       }},
      // Nor write past its file size limit.
      {"no room to write",
       [&] {
         ::signal(SIGXFSZ, SIG_IGN);
         const rlimit small{4, limit.rlim_max};
         ::setrlimit(RLIMIT_FSIZE, &small);
       },
       [&] {
         ::setrlimit(RLIMIT_FSIZE, &limit);
         ::signal(SIGXFSZ, SIG_DFL);
       }},
  };
  const std::function<Change(KeptStations&)> changes[] = {
      [](KeptStations& l) { return l.Add("丙", "http://c.test/"); },
      [](KeptStations& l) { return l.Remove(0); },
      [](KeptStations& l) { return l.Rename(0, "丁"); },
      [](KeptStations& l) { return l.Import("http://d.test/\n").change; },
  };
  for (const Sabotage& sabotage : sabotages) {
    for (const auto& change : changes) {
      KeptStations list(path.string());
      ASSERT_EQ(list.Load().status, LoadStatus::kLoaded);
      sabotage.make();
      const Change made = change(list);
      sabotage.undo();
      EXPECT_EQ(made, Change::kNotSaved) << sabotage.what;
      EXPECT_EQ(list.Stations(), old) << sabotage.what;
      EXPECT_EQ(ReadBytes(path), oldBytes) << sabotage.what;
      EXPECT_EQ(FolderNames(folder.path), std::vector<std::string>{"kept-stations.m3u"})
          << sabotage.what << ": no temporary file left";
    }
  }
}

TEST(KeptStations, AnUnreadableFileIsMovedAsideOnceAndANewListStarts) {
  const std::string tooLarge = "#EXTM3U\n" + std::string(kMaxListFileBytes, '#') + "\n";
  const std::pair<const char*, std::string> files[] = {
      {"torn", "#EXTM3U\n#EXTINF:-1,甲\nhttp://a.test/\n#EXTINF:-1,乙\nhttp://b.te"},
      {"binary", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
      {"not a list", "<!DOCTYPE html><title>404</title>\n"},
      {"too large", tooLarge},
  };
  for (const auto& [what, bytes] : files) {
    TempFolder folder;
    const fs::path path = folder.path / "kept-stations.m3u";
    WriteBytes(path, bytes);
    KeptStations list(path.string());
    const LoadResult loaded = list.Load();
    EXPECT_EQ(loaded.status, LoadStatus::kMovedAside) << what;
    EXPECT_EQ(loaded.asidePath.rfind(path.string() + ".unreadable-2", 0), 0u) << what;
    EXPECT_TRUE(ReadBytes(loaded.asidePath) == bytes) << what;
    EXPECT_TRUE(list.Stations().empty()) << what;
    EXPECT_EQ(list.Add("丙", "http://c.test/"), Change::kDone) << what;
    KeptStations next(path.string());
    const LoadResult again = next.Load();
    EXPECT_EQ(again.status, LoadStatus::kLoaded) << what << ": told once";
    EXPECT_EQ(next.Stations(), (Stations{{"丙", "http://c.test/"}})) << what;
    EXPECT_EQ(FolderNames(folder.path).size(), 2u) << what;
  }
}

TEST(KeptStations, WhatLoadLeavesOutIsKeptAsideAndImportsStopAtTheCap) {
  TempFolder folder;
  const fs::path path = folder.path / "kept-stations.m3u";
  const std::string edited = "#EXTM3U\nhttp://a.test/\nfile:///b.mp3\nHTTP://A.test/\n";
  WriteBytes(path, edited);
  KeptStations list(path.string());
  const LoadResult loaded = list.Load();
  EXPECT_EQ(loaded.status, LoadStatus::kPartlyKept);
  EXPECT_EQ(loaded.read.notStreams + loaded.read.duplicates, 2u);
  EXPECT_EQ(ReadBytes(loaded.asidePath), edited);
  const Stations a = {{"http://a.test/", "http://a.test/"}};
  EXPECT_EQ(list.Stations(), a);
  KeptStations next(path.string());
  EXPECT_EQ(next.Load().status, LoadStatus::kLoaded);
  EXPECT_EQ(next.Stations(), a);

  Stations many;
  for (size_t i = 1; i < kMaxKeptStations - 1; ++i) {
    many.push_back({"台" + std::to_string(i), "http://s" + std::to_string(i) + ".test/"});
  }
  WriteBytes(path, WriteStationList(many, ListFileType::kM3u));
  KeptStations full(path.string());
  ASSERT_EQ(full.Load().status, LoadStatus::kLoaded);
  const ImportResult imported = full.Import(
      "http://s1.test/\njavascript:x\nhttp://n1.test/\nhttp://n2.test/\n"
      "http://n3.test/\nhttp://n4.test/\n");
  EXPECT_EQ(imported.change, Change::kDone);
  EXPECT_EQ(imported.read.Added(), 2u);
  EXPECT_EQ(imported.read.duplicates, 1u);
  EXPECT_EQ(imported.read.notStreams, 1u);
  EXPECT_EQ(imported.read.overCap, 2u);
  EXPECT_EQ(full.Add("满", "http://n9.test/"), Change::kFull);
  KeptStations reread(path.string());
  ASSERT_EQ(reread.Load().status, LoadStatus::kLoaded);
  EXPECT_EQ(reread.Stations().size(), kMaxKeptStations);
  EXPECT_EQ(reread.Stations().back().address, "http://n2.test/");
}

}  // namespace
