// Playlists as streaming servers hand them out: telling them from streams by their first
// bytes, and reading them leniently.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/gbk.h"
#include "media/playlist.h"

using namespace sonaro;
using namespace sonaro::media;

namespace {

using Refs = std::vector<std::vector<std::string>>;

Refs RefsOf(const Playlist& playlist) {
  Refs refs;
  for (const PlaylistEntry& entry : playlist.entries) refs.push_back(entry.refs);
  return refs;
}

Refs Parse(const std::string& body, const std::string& base = "http://radio.test/a/list.asx") {
  return RefsOf(ParsePlaylist(body, base));
}

std::string Utf16(const std::u16string& text, bool littleEndian) {
  std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t c : text) {
    const char low = char(c & 0xFF), high = char(c >> 8);
    bytes += littleEndian ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

TEST(Sniff, TellsPlaylistsFromStreamsWhateverTheyClaim) {
  EXPECT_EQ(SniffPlaylist("<ASX version=\"3.0\">", false), Sniffed::Playlist);
  EXPECT_EQ(SniffPlaylist("\r\n  <asx>", false), Sniffed::Playlist);
  EXPECT_EQ(SniffPlaylist("\xEF\xBB\xBF<Asx>", false), Sniffed::Playlist);
  EXPECT_EQ(SniffPlaylist(Utf16(u"<ASX>", true), false), Sniffed::Playlist);
  EXPECT_EQ(SniffPlaylist(Utf16(u"[Reference]", false), false), Sniffed::Playlist);
  EXPECT_EQ(SniffPlaylist("[reference]\r\nRef1=x", false), Sniffed::Playlist);
  EXPECT_EQ(SniffPlaylist("<?xml version=\"1.0\"?>\n<!-- hi -->\n<asx>", false), Sniffed::Playlist);
  // MP3 frames, ID3 tags and ASF headers are streams.
  EXPECT_EQ(SniffPlaylist("\xFF\xFB\x90\x64", false), Sniffed::Media);
  EXPECT_EQ(SniffPlaylist("ID3\x04", false), Sniffed::Media);
  EXPECT_EQ(SniffPlaylist("\x30\x26\xB2\x75", false), Sniffed::Media);
}

TEST(Sniff, WaitsForEnoughBytesOnlyWhileMoreCanCome) {
  EXPECT_EQ(SniffPlaylist("", false), Sniffed::NeedMore);
  EXPECT_EQ(SniffPlaylist("  <a", false), Sniffed::NeedMore);
  EXPECT_EQ(SniffPlaylist("[Refer", false), Sniffed::NeedMore);
  EXPECT_EQ(SniffPlaylist("<?xml version='1.0'?>", false), Sniffed::NeedMore);
  EXPECT_EQ(SniffPlaylist("<a", true), Sniffed::Media);
  EXPECT_EQ(SniffPlaylist("", true), Sniffed::Media);
  EXPECT_EQ(SniffPlaylist("<html>" + std::string(5000, ' '), false), Sniffed::Media)
      << "an ASX tag further in than the first 4 KB is not looked for";
}

TEST(Asx, EntriesInOrderEachWithItsRefsInOrder) {
  EXPECT_EQ(Parse("<asx version=\"3.0\">"
                  "<entry><ref href=\"http://a/1\"/><ref href=\"mms://a/2\"/></entry>"
                  "<entry><ref href=\"http://b/1\"/></entry></asx>"),
            (Refs{{"http://a/1", "mms://a/2"}, {"http://b/1"}}));
}

TEST(Asx, LenientAsHandWrittenPlaylistsNeedIt) {
  // Any case of tags and attribute names, single, double or no quotes, spaces around '=',
  // a bare '&', entities, comments, a title with markup-like text.
  const std::string asx =
      "<ASX Version=3.0>\r\n<!-- <ref href=\"http://commented/out\"/> -->\r\n"
      "<TITLE>Rock & Roll</TITLE>\r\n<Entry>\r\n"
      "  <REF HREF = 'http://h/live?a=1&b=2' />\r\n"
      "  <Ref href=http://h/plain>\r\n"
      "  <ref href=\"http://h/x?a=1&amp;b=&#50;&#x33;\">\r\n"
      "</ENTRY>\r\n</Asx>";
  EXPECT_EQ(Parse(asx), (Refs{{"http://h/live?a=1&b=2", "http://h/plain", "http://h/x?a=1&b=23"}}));
}

TEST(Asx, RelativeAddressesBaseAndNesting) {
  EXPECT_EQ(Parse("<asx><entry><ref href=\"stream.mp3\"/></entry>"
                  "<entryref href=\"/more.asx\"/>"
                  "<entry><base href=\"http://other/dir/\"/><ref href=\"x\"/></entry></asx>"),
            (Refs{{"http://radio.test/a/stream.mp3"},
                  {"http://radio.test/more.asx"},
                  {"http://other/dir/x"}}));
  // A ref outside any entry is an entry of its own; an entry left open still counts.
  EXPECT_EQ(Parse("<asx><ref href=\"http://a/\"/><entry><ref href=\"http://b/\">"),
            (Refs{{"http://a/"}, {"http://b/"}}));
}

TEST(Asx, EncodingsOfTheBody) {
  const std::string gbk =
      "<asx><entry><ref href=\"http://h/" + core::GbkFromUtf8("音乐") + "\"/></entry></asx>";
  EXPECT_EQ(Parse(gbk), (Refs{{"http://h/%E9%9F%B3%E4%B9%90"}}));
  EXPECT_EQ(Parse("\xEF\xBB\xBF<asx><entry><ref href=\"http://h/音乐\"/></entry></asx>"),
            (Refs{{"http://h/%E9%9F%B3%E4%B9%90"}}));
  EXPECT_EQ(Parse(Utf16(u"<asx><entry><ref href=\"http://h/\u97F3\"/></entry></asx>", true)),
            (Refs{{"http://h/%E9%9F%B3"}}));
  EXPECT_EQ(Parse(Utf16(u"<ASX><ENTRY><REF HREF=\"http://h/b\"/></ENTRY></ASX>", false)),
            (Refs{{"http://h/b"}}));
}

TEST(Asx, NothingUsableGivesNoEntries) {
  EXPECT_TRUE(Parse("").empty());
  EXPECT_TRUE(Parse("<asx><entry></entry><entry><ref/><ref href=\"\"/></entry></asx>").empty());
  EXPECT_TRUE(Parse("<asx><entry><ref href=\"no scheme\"/></entry></asx>", "").empty());
  EXPECT_TRUE(Parse("<<<<>>>>\"'&&").empty());
}

TEST(Asx, ACutOffPlaylistGivesWhatItHolds) {
  EXPECT_EQ(Parse("<asx><entry><ref href=\"http://a/\"/></entry><entry><ref href=\"cut"),
            (Refs{{"http://a/"}, {"http://radio.test/a/cut"}}));
}

TEST(Asx, HostilePlaylistsStaySmall) {
  std::string many = "<asx>";
  for (int i = 0; i < 3000; ++i)
    many += "<entry><ref href=\"http://h/" + std::to_string(i) + "\"/>";
  EXPECT_EQ(ParsePlaylist(many, "").entries.size(), kMaxPlaylistEntries);
  std::string wide = "<asx><entry>";
  for (int i = 0; i < 100; ++i) wide += "<ref href=\"http://h/" + std::to_string(i) + "\"/>";
  EXPECT_EQ(ParsePlaylist(wide, "").entries.at(0).refs.size(), kMaxRefsPerEntry);
}

TEST(Reference, AllRefsAreOneEntryAndHttpIsTriedAsMmshFirst) {
  EXPECT_EQ(Parse("[Reference]\r\nRef1=http://wm.test/live?MSWMExt=.asf\r\n"
                  "Ref2=mms://wm.test/live\r\n"),
            (Refs{{"mmsh://wm.test/live?MSWMExt=.asf", "http://wm.test/live?MSWMExt=.asf",
                   "mms://wm.test/live"}}));
  EXPECT_EQ(Parse("\xEF\xBB\xBF  [REFERENCE]\nref1 = mms://a/b\n[Other]\nRef2=mms://ignored/\n"),
            (Refs{{"mms://a/b"}}));
  EXPECT_TRUE(Parse("[Reference]\r\nNote=nothing\r\n").empty());
}

TEST(Sniff, PlsAndM3uByTheirBodyTheContentTypeOnlyForOtherText) {
  struct Case {
    std::string head;
    bool complete;
    std::string type;
    Sniffed expected;
  };
  const Case cases[] = {
      {"[playlist]\nFile1=http://a/", false, "", Sniffed::Playlist},
      {"[PlayList]", false, "text/html", Sniffed::Playlist},
      {"[play", false, "", Sniffed::NeedMore},
      {"#EXTM3U\n#EXT-X-VERSION:3\n", false, "", Sniffed::Playlist},
      {"\xEF\xBB\xBF#extm3u", false, "", Sniffed::Playlist},
      {"#EXTM", false, "", Sniffed::NeedMore},
      {"http://radio.test/live.mp3\r\n", false, "text/plain", Sniffed::Playlist},
      {"https://radio.test/live", true, "", Sniffed::Playlist},
      {"http://radio.test/li", false, "", Sniffed::NeedMore},
      {"htt", false, "", Sniffed::NeedMore},
      {"http:", false, "", Sniffed::NeedMore},
      // A comment first is recognised only when the server calls it a playlist.
      {"# my stations\nhttp://a/\n", false, "audio/x-mpegurl; charset=utf-8", Sniffed::Playlist},
      {"# my stations\nhttp://a/\n", false, "audio/mpeg", Sniffed::Media},
      {"# my sta", false, "Audio/X-SCPLS", Sniffed::NeedMore},
      // Streams stay streams, whatever they are called.
      {"\xFF\xFB\x90\x64", false, "audio/x-mpegurl", Sniffed::Media},
      {"ID3\x04\x01", false, "application/vnd.apple.mpegurl", Sniffed::Media},
      {"OggS\x01\x02", false, "", Sniffed::Media},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SniffPlaylist(c.head, c.complete, c.type), c.expected) << c.head << " / " << c.type;
  }
}

TEST(PlsAndM3u, EntriesTitlesAndRelativeAddresses) {
  struct Case {
    std::string body;
    Refs refs;
    std::vector<std::string> titles;
  };
  const std::string gbkName = core::GbkFromUtf8("中国之声");
  const Case cases[] = {
      // PLS: by number, not by line order; other sections and keys ignored; relative resolved.
      {"[playlist]\nNumberOfEntries=3\nFile2=http://b/\nTitle2=B\nFile1=live.mp3\n"
       "Title1=A\nLength1=-1\n[other]\nFile3=http://ignored/\nVersion=2\n",
       {{"http://radio.test/a/live.mp3"}, {"http://b/"}},
       {"A", "B"}},
      {"[playlist]\r\nFile1=http://h/1\r\nTitle1=" + gbkName + "\r\n",
       {{"http://h/1"}},
       {"中国之声"}},
      // Extended M3U: #EXTINF names the next address, comments skipped, UTF-8 names.
      {"#EXTM3U\n#EXTINF:-1 tvg-id=\"x\",中国之声\nhttp://h/cnr1\n# note\n\n/abs/2\n",
       {{"http://h/cnr1"}, {"http://radio.test/abs/2"}},
       {"中国之声", ""}},
      // Cut off inside a UTF-8 name: the names before it are still read as UTF-8, not GBK.
      {"#EXTM3U\n#EXTINF:-1,中国之声\nhttp://h/1\n#EXTINF:-1,音" + std::string("乐").substr(0, 2),
       {{"http://h/1"}},
       {"中国之声"}},
      // Plain M3U, GBK title ignored as there is none; CRLF; a line that names nothing.
      {"http://h/1\r\nmms://h/2\r\n", {{"http://h/1"}, {"mms://h/2"}}, {"", ""}},
  };
  for (const Case& c : cases) {
    const Playlist playlist = ParsePlaylist(c.body, "http://radio.test/a/list.pls");
    EXPECT_TRUE(playlist.alternatives) << c.body;
    EXPECT_FALSE(playlist.hls) << c.body;
    EXPECT_EQ(RefsOf(playlist), c.refs) << c.body;
    std::vector<std::string> titles;
    for (const PlaylistEntry& entry : playlist.entries) titles.push_back(entry.title);
    EXPECT_EQ(titles, c.titles) << c.body;
  }
}

TEST(PlsAndM3u, HlsIsLeftToTheMediaLibraryAndHostileListsStaySmall) {
  for (const std::string body : {"#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\nseg0.ts\n",
                                 "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=64000\nlow/index.m3u8\n",
                                 "#EXTM3U\nfile:///etc/passwd\n#EXT-X-ENDLIST\n"}) {
    const Playlist playlist = ParsePlaylist(body, "https://radio.test/live.m3u8");
    EXPECT_TRUE(playlist.hls) << body;
    EXPECT_TRUE(playlist.entries.empty()) << body;
  }
  std::string many = "#EXTM3U\n";
  for (int i = 0; i < 3000; ++i) many += "http://h/" + std::to_string(i) + "\n";
  EXPECT_EQ(ParsePlaylist(many, "").entries.size(), kMaxPlaylistEntries);
  std::string pls = "[playlist]\n";
  for (int i = 0; i < 3000; ++i) pls += "File" + std::to_string(i) + "=http://h/\n";
  EXPECT_EQ(ParsePlaylist(pls, "").entries.size(), kMaxPlaylistEntries);
  EXPECT_TRUE(Parse("[playlist]\nFileX=http://a/\nFile1=\n").empty());
}

}  // namespace
