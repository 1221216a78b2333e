// GBK text operations, TextBetween and the update page's fields.
#include "services/core/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "services/core/update_page.h"

namespace sonaro {
namespace {

Text G(const char* utf8) { return GbkFromUtf8(utf8); }

// The find the text operations promise, written the slow, obvious way: walk the characters and
// try a match at each start.
std::ptrdiff_t ReferenceFind(const std::string& text, const std::string& sought) {
  if (sought.empty()) return -1;
  for (size_t i = 0; i < text.size(); i += (static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1)) {
    if (text.compare(i, sought.size(), sought) == 0) return std::ptrdiff_t(i) + 1;
  }
  return -1;
}

TEST(TextFromBytes, StopsAtTheFirstZeroByte) {
  EXPECT_EQ(TextFromBytes(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(TextFromBytes(std::string("\0x", 2)), "");
  EXPECT_EQ(TextFromBytes(G("中文")), G("中文"));
  EXPECT_EQ(TextFromBytes(""), "");
}

TEST(TextFind, CountsBytesFromOne) {
  EXPECT_EQ(TextFind("abcabc", "c"), 3);
  EXPECT_EQ(TextFind("abcabc", "abc"), 1);
  EXPECT_EQ(TextFind("abc", "abcd"), -1);
  EXPECT_EQ(TextFind("abc", "C"), -1);
  EXPECT_EQ(TextFind("", "a"), -1);
  EXPECT_EQ(TextFind("abc", ""), -1);
  EXPECT_EQ(TextFind(G("当前版本：2.0"), "2"), 11);
}

TEST(TextFind, NeverMatchesTheSecondByteOfACharacter) {
  // 0x81 0x40 is one character whose second byte is "@"; 0xB0 0xA1 0xB0 0xA1 is two characters,
  // and "\xA1\xB0" straddles them.
  EXPECT_EQ(TextFind("\x81\x40@", "@"), 3);
  EXPECT_EQ(TextFind("\x81\x40", "@"), -1);
  EXPECT_EQ(TextFind("\xB0\xA1\xB0\xA1", "\xA1\xB0"), -1);
  EXPECT_EQ(TextFind("a\xB0\xA1\xB0\xA1", "\xB0\xA1"), 2);
  // A match inside a character, then a real one later.
  EXPECT_EQ(TextFind("\x81|x|", "|"), 4);
}

TEST(TextFind, KeepsCharacterBoundariesThroughLongRuns) {
  // Runs of two-byte characters of every length before the sought character, after an odd or
  // even number of single bytes: the search must keep in step across the whole run.
  const Text zhong = G("中");
  const Text ni = G("你");
  for (std::string prefix : {"", "a", "ab"}) {
    for (int run = 0; run < 40; ++run) {
      Text text = prefix;
      for (int i = 0; i < run; ++i) text += zhong;
      text += ni;
      EXPECT_EQ(TextFind(text, ni), std::ptrdiff_t(prefix.size() + 2 * run + 1)) << run;
      // The trail byte of 中 followed by the lead byte of 你 is not a character.
      EXPECT_EQ(TextFind(text, zhong.substr(1) + ni.substr(0, 1)), -1) << run;
    }
  }
}

TEST(TextFind, AgreesWithACharacterByCharacterSearch) {
  std::mt19937 random(20240601);
  // Few distinct bytes, lead and trail alike, so that matches at odd places are common.
  const char alphabet[] = {'a', '@', '\x81', '\xB0', '\xA1', '|'};
  auto make = [&](size_t length) {
    std::string s;
    for (size_t i = 0; i < length; ++i) s += alphabet[random() % sizeof alphabet];
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    std::string text = make(random() % 40);
    std::string sought = make(1 + random() % 3);
    ASSERT_EQ(TextFind(text, sought), ReferenceFind(text, sought))
        << "text " << ::testing::PrintToString(text) << " sought "
        << ::testing::PrintToString(sought);
  }
}

TEST(TextMiddle, TakesFromAOneBasedStartAndCutsAtTheEnd) {
  EXPECT_EQ(TextMiddle("abcdef", 2, 3), "bcd");
  EXPECT_EQ(TextMiddle("abcdef", 1, 6), "abcdef");
  EXPECT_EQ(TextMiddle("abcdef", 5, 10), "ef");
  EXPECT_EQ(TextMiddle("abcdef", 6, 1), "f");
  EXPECT_EQ(TextMiddle("abcdef", 7, 1), "");
  EXPECT_EQ(TextMiddle("abcdef", 0, 3), "");
  EXPECT_EQ(TextMiddle("abcdef", -5, 3), "");
  EXPECT_EQ(TextMiddle("abcdef", 2, 0), "");
  EXPECT_EQ(TextMiddle("abcdef", 2, -1), "");
  EXPECT_EQ(TextMiddle("", 1, 1), "");
}

TEST(TextReplaceAll, ReplacesLeftToRightWithoutRescanning) {
  EXPECT_EQ(TextReplaceAll("<p>one</p><p>two</p>", "<p>", ""), "one</p>two</p>");
  EXPECT_EQ(TextReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(TextReplaceAll("aXa", "a", "aa"), "aaXaa");
  EXPECT_EQ(TextReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(TextReplaceAll("abc", "abc", ""), "");
  EXPECT_EQ(TextReplaceAll("abc", "d", "x"), "abc");
  // "@" inside a character stays.
  EXPECT_EQ(TextReplaceAll("\x81\x40@", "@", "#"), "\x81\x40#");
}

TEST(TextSplit, DropsOnlyTheEmptyPieceAfterATrailingSeparator) {
  using V = std::vector<Text>;
  EXPECT_EQ(TextSplit("a/b/c", "/"), (V{"a", "b", "c"}));
  EXPECT_EQ(TextSplit("a//b", "/"), (V{"a", "", "b"}));
  EXPECT_EQ(TextSplit("a/", "/"), (V{"a"}));
  EXPECT_EQ(TextSplit("a//", "/"), (V{"a", ""}));
  EXPECT_EQ(TextSplit("/a", "/"), (V{"", "a"}));
  EXPECT_EQ(TextSplit("/", "/"), (V{""}));
  EXPECT_EQ(TextSplit("", "/"), V{});
  EXPECT_EQ(TextSplit("abc", "/"), (V{"abc"}));
  EXPECT_EQ(TextSplit("a\r\nb\r\n", "\r\n"), (V{"a", "b"}));
  EXPECT_EQ(TextSplit("\x81|x|y", "|"), (V{"\x81|x", "y"}));
}

TEST(TextToNumber, ReadsTheDecimalAtTheStart) {
  EXPECT_DOUBLE_EQ(TextToNumber("2.1"), 2.1);
  EXPECT_DOUBLE_EQ(TextToNumber("  \t2.10</p>"), 2.1);
  EXPECT_DOUBLE_EQ(TextToNumber("\r\n3"), 3.0);
  EXPECT_DOUBLE_EQ(TextToNumber("-1.5x"), -1.5);
  EXPECT_DOUBLE_EQ(TextToNumber("+4"), 4.0);
  EXPECT_DOUBLE_EQ(TextToNumber(".5"), 0.5);
  EXPECT_DOUBLE_EQ(TextToNumber("5."), 5.0);
  EXPECT_DOUBLE_EQ(TextToNumber("1e5"), 1.0);
  EXPECT_DOUBLE_EQ(TextToNumber("1,5"), 1.0);
  EXPECT_DOUBLE_EQ(TextToNumber("2.00000005"), 2.00000005);
  for (const char* none : {"", "abc", ".", "-", "+.", " x1"}) {
    EXPECT_EQ(TextToNumber(none), 0.0) << none;
  }
  EXPECT_EQ(TextToNumber(G("２")), 0.0);  // a full-width digit is no digit
  EXPECT_TRUE(std::isinf(TextToNumber(std::string(400, '9'))));
  EXPECT_EQ(TextToNumber("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(TextBetween, TakesTheFirstStartAndTheFirstEndAfterIt) {
  EXPECT_EQ(TextBetween("x[a]y[b]", "[", "]"), "a");
  // The start marker twice: the text after the first one, up to the end marker.
  EXPECT_EQ(TextBetween("<<a<<b>>", "<<", ">>"), "a<<b");
  // An end marker before the start marker does not count.
  EXPECT_EQ(TextBetween("]x[a]", "[", "]"), "a");
  EXPECT_EQ(TextBetween("no markers", "[", "]"), "");
  EXPECT_EQ(TextBetween("x[a", "[", "]"), "");
  EXPECT_EQ(TextBetween("x[]a]", "[", "]"), "");
  EXPECT_EQ(TextBetween("", "[", "]"), "");
  EXPECT_EQ(TextBetween(G("版本=2.0</p>"), G("版本="), "</p>"), "2.0");
}

TEST(TextBetween, FindsMarkersOnlyAtCharacterStarts) {
  // "\x81[" is one character: its "[" is no start marker.
  EXPECT_EQ(TextBetween("\x81[a][b]", "[", "]"), "b");
}

// An update page as the service host writes it, GBK, with the block in the middle.
Text Page(const char* blockUtf8, const char* outsideUtf8 = "") {
  return G("<html><body>") + G(outsideUtf8) + G("////开始") + G(blockUtf8) + G("////结束") +
         G("</body></html>");
}

TEST(UpdatePage, ReadsTheFieldsInAnyOrderFromTheBlock) {
  UpdatePage page = ReadUpdatePage(
      Page("<p>下载方式=下载文件</p><p>更新说明=<p>修正</p><p>加快</p>更新说明结束</p>"
           "<p>最新版=2.1</p><p>下载地址=http://h/s.exe</p><p>最新版=9.9</p>"));
  EXPECT_EQ(page.latest, "2.1");
  EXPECT_EQ(page.address, "http://h/s.exe");
  EXPECT_EQ(page.mode, G("下载文件"));
  EXPECT_EQ(page.notes, G("修正加快"));
}

TEST(UpdatePage, KeepsOtherTagsInTheNotes) {
  UpdatePage page =
      ReadUpdatePage(Page("更新说明=<p>一<br>二</p><b>三</b>更新说明结束</p>最新版=3</p>"));
  EXPECT_EQ(page.notes, G("一<br>二<b>三</b>"));
}

TEST(UpdatePage, IgnoresEverythingOutsideTheBlock) {
  EXPECT_EQ(ReadUpdatePage(Page("", "最新版=2.5</p>")).latest, "");
  UpdatePage unended = ReadUpdatePage(G("////开始最新版=2.5</p>"));
  EXPECT_EQ(unended.latest, "");
  // Markers after the block's end do not count.
  EXPECT_EQ(ReadUpdatePage(Page("最新版=2.5") + G("</p>")).latest, "");
}

TEST(UpdatePage, GivesNothingForAPageThatIsNotGbk) {
  // The same page written in UTF-8: the markers' bytes differ, so there is no block.
  std::string utf8 = "////开始<p>最新版=2.1</p>////结束";
  UpdatePage page = ReadUpdatePage(utf8);
  EXPECT_EQ(page.latest, "");
  EXPECT_EQ(page.notes, "");
}

TEST(UpdatePage, CopesWithHugeNotes) {
  Text notes;
  while (notes.size() < (1 << 20)) notes += G("<p>第一段说明</p>");
  UpdatePage page =
      ReadUpdatePage(G("////开始最新版=2.1</p>更新说明=") + notes + G("更新说明结束</p>////结束"));
  EXPECT_EQ(page.latest, "2.1");
  EXPECT_EQ(page.notes.size(),
            notes.size() / G("<p>第一段说明</p>").size() * G("第一段说明").size());
}

TEST(UpdateVersion, ComparesAsDecimalNumbersWithATolerance) {
  EXPECT_FALSE(IsNewerVersion("2.0", "2.0"));
  EXPECT_FALSE(IsNewerVersion("2.00000005", "2.0"));
  EXPECT_TRUE(IsNewerVersion("2.0000002", "2.0"));
  EXPECT_TRUE(IsNewerVersion("2.1", "2.0"));
  EXPECT_FALSE(IsNewerVersion("2.10", "2.1"));
  EXPECT_TRUE(IsNewerVersion("2.9", "2.10"));
  EXPECT_FALSE(IsNewerVersion("", "2.0"));
  EXPECT_FALSE(IsNewerVersion("1.9", "2.0"));
}

TEST(UpdateDownload, NamesTheFileAfterTheLastPieceOfTheAddress) {
  EXPECT_EQ(DownloadFileName("http://h/dir/setup.exe"), "setup.exe");
  EXPECT_EQ(DownloadFileName("http://h/dir/setup/"), "setup");
  EXPECT_EQ(DownloadFileName("http://h/f.exe?x=1"), "f.exe?x=1");
  EXPECT_EQ(DownloadFileName("http://h//"), "");
  EXPECT_EQ(DownloadFileName(""), "");
}

}  // namespace
}  // namespace sonaro
