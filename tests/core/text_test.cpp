// GBK text operations, TextBetween and the update page's fields.
#include "core/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/update_page.h"

namespace sonaro {
namespace {

core::Text G(const char* utf8) { return core::GbkFromUtf8(utf8); }

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
  EXPECT_EQ(core::TextFromBytes(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(core::TextFromBytes(std::string("\0x", 2)), "");
  EXPECT_EQ(core::TextFromBytes(G("中文")), G("中文"));
  EXPECT_EQ(core::TextFromBytes(""), "");
}

TEST(TextFind, CountsBytesFromOne) {
  EXPECT_EQ(core::TextFind("abcabc", "c"), 3);
  EXPECT_EQ(core::TextFind("abcabc", "abc"), 1);
  EXPECT_EQ(core::TextFind("abc", "abcd"), -1);
  EXPECT_EQ(core::TextFind("abc", "C"), -1);
  EXPECT_EQ(core::TextFind("", "a"), -1);
  EXPECT_EQ(core::TextFind("abc", ""), -1);
  EXPECT_EQ(core::TextFind(G("当前版本：2.0"), "2"), 11);
}

TEST(TextFind, NeverMatchesTheSecondByteOfACharacter) {
  // 0x81 0x40 is one character whose second byte is "@"; 0xB0 0xA1 0xB0 0xA1 is two characters,
  // and "\xA1\xB0" straddles them.
  EXPECT_EQ(core::TextFind("\x81\x40@", "@"), 3);
  EXPECT_EQ(core::TextFind("\x81\x40", "@"), -1);
  EXPECT_EQ(core::TextFind("\xB0\xA1\xB0\xA1", "\xA1\xB0"), -1);
  EXPECT_EQ(core::TextFind("a\xB0\xA1\xB0\xA1", "\xB0\xA1"), 2);
  // A match inside a character, then a real one later.
  EXPECT_EQ(core::TextFind("\x81|x|", "|"), 4);
}

TEST(TextFind, KeepsCharacterBoundariesThroughLongRuns) {
  // Runs of two-byte characters of every length before the sought character, after an odd or
  // even number of single bytes: the search must keep in step across the whole run.
  const core::Text zhong = G("中");
  const core::Text ni = G("你");
  for (std::string prefix : {"", "a", "ab"}) {
    for (int run = 0; run < 40; ++run) {
      core::Text text = prefix;
      for (int i = 0; i < run; ++i) text += zhong;
      text += ni;
      EXPECT_EQ(core::TextFind(text, ni), std::ptrdiff_t(prefix.size() + 2 * run + 1)) << run;
      // The trail byte of 中 followed by the lead byte of 你 is not a character.
      EXPECT_EQ(core::TextFind(text, zhong.substr(1) + ni.substr(0, 1)), -1) << run;
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
    ASSERT_EQ(core::TextFind(text, sought), ReferenceFind(text, sought))
        << "text " << ::testing::PrintToString(text) << " sought "
        << ::testing::PrintToString(sought);
  }
}

TEST(TextMiddle, TakesFromAOneBasedStartAndCutsAtTheEnd) {
  EXPECT_EQ(core::TextMiddle("abcdef", 2, 3), "bcd");
  EXPECT_EQ(core::TextMiddle("abcdef", 1, 6), "abcdef");
  EXPECT_EQ(core::TextMiddle("abcdef", 5, 10), "ef");
  EXPECT_EQ(core::TextMiddle("abcdef", 6, 1), "f");
  EXPECT_EQ(core::TextMiddle("abcdef", 7, 1), "");
  EXPECT_EQ(core::TextMiddle("abcdef", 0, 3), "");
  EXPECT_EQ(core::TextMiddle("abcdef", -5, 3), "");
  EXPECT_EQ(core::TextMiddle("abcdef", 2, 0), "");
  EXPECT_EQ(core::TextMiddle("abcdef", 2, -1), "");
  EXPECT_EQ(core::TextMiddle("", 1, 1), "");
}

TEST(TextReplaceAll, ReplacesLeftToRightWithoutRescanning) {
  EXPECT_EQ(core::TextReplaceAll("<p>one</p><p>two</p>", "<p>", ""), "one</p>two</p>");
  EXPECT_EQ(core::TextReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(core::TextReplaceAll("aXa", "a", "aa"), "aaXaa");
  EXPECT_EQ(core::TextReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(core::TextReplaceAll("abc", "abc", ""), "");
  EXPECT_EQ(core::TextReplaceAll("abc", "d", "x"), "abc");
  // "@" inside a character stays.
  EXPECT_EQ(core::TextReplaceAll("\x81\x40@", "@", "#"), "\x81\x40#");
}

TEST(TextSplit, DropsOnlyTheEmptyPieceAfterATrailingSeparator) {
  using V = std::vector<core::Text>;
  EXPECT_EQ(core::TextSplit("a/b/c", "/"), (V{"a", "b", "c"}));
  EXPECT_EQ(core::TextSplit("a//b", "/"), (V{"a", "", "b"}));
  EXPECT_EQ(core::TextSplit("a/", "/"), (V{"a"}));
  EXPECT_EQ(core::TextSplit("a//", "/"), (V{"a", ""}));
  EXPECT_EQ(core::TextSplit("/a", "/"), (V{"", "a"}));
  EXPECT_EQ(core::TextSplit("/", "/"), (V{""}));
  EXPECT_EQ(core::TextSplit("", "/"), V{});
  EXPECT_EQ(core::TextSplit("abc", "/"), (V{"abc"}));
  EXPECT_EQ(core::TextSplit("a\r\nb\r\n", "\r\n"), (V{"a", "b"}));
  EXPECT_EQ(core::TextSplit("\x81|x|y", "|"), (V{"\x81|x", "y"}));
}

TEST(TextToNumber, ReadsTheDecimalAtTheStart) {
  EXPECT_DOUBLE_EQ(core::TextToNumber("2.1"), 2.1);
  EXPECT_DOUBLE_EQ(core::TextToNumber("  \t2.10</p>"), 2.1);
  EXPECT_DOUBLE_EQ(core::TextToNumber("\r\n3"), 3.0);
  EXPECT_DOUBLE_EQ(core::TextToNumber("-1.5x"), -1.5);
  EXPECT_DOUBLE_EQ(core::TextToNumber("+4"), 4.0);
  EXPECT_DOUBLE_EQ(core::TextToNumber(".5"), 0.5);
  EXPECT_DOUBLE_EQ(core::TextToNumber("5."), 5.0);
  EXPECT_DOUBLE_EQ(core::TextToNumber("1e5"), 1.0);
  EXPECT_DOUBLE_EQ(core::TextToNumber("1,5"), 1.0);
  EXPECT_DOUBLE_EQ(core::TextToNumber("2.00000005"), 2.00000005);
  for (const char* none : {"", "abc", ".", "-", "+.", " x1"}) {
    EXPECT_EQ(core::TextToNumber(none), 0.0) << none;
  }
  EXPECT_EQ(core::TextToNumber(G("２")), 0.0);  // a full-width digit is no digit
  EXPECT_TRUE(std::isinf(core::TextToNumber(std::string(400, '9'))));
  EXPECT_EQ(core::TextToNumber("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(TextBetween, TakesTheFirstStartAndTheFirstEndAfterIt) {
  EXPECT_EQ(core::TextBetween("x[a]y[b]", "[", "]"), "a");
  // The start marker twice: the text after the first one, up to the end marker.
  EXPECT_EQ(core::TextBetween("<<a<<b>>", "<<", ">>"), "a<<b");
  // An end marker before the start marker does not count.
  EXPECT_EQ(core::TextBetween("]x[a]", "[", "]"), "a");
  EXPECT_EQ(core::TextBetween("no markers", "[", "]"), "");
  EXPECT_EQ(core::TextBetween("x[a", "[", "]"), "");
  EXPECT_EQ(core::TextBetween("x[]a]", "[", "]"), "");
  EXPECT_EQ(core::TextBetween("", "[", "]"), "");
  EXPECT_EQ(core::TextBetween(G("版本=2.0</p>"), G("版本="), "</p>"), "2.0");
}

TEST(TextBetween, FindsMarkersOnlyAtCharacterStarts) {
  // "\x81[" is one character: its "[" is no start marker.
  EXPECT_EQ(core::TextBetween("\x81[a][b]", "[", "]"), "b");
}

// An update page as the service host writes it, GBK, with the block in the middle.
core::Text Page(const char* blockUtf8, const char* outsideUtf8 = "") {
  return G("<html><body>") + G(outsideUtf8) + G("////开始") + G(blockUtf8) + G("////结束") +
         G("</body></html>");
}

TEST(UpdatePage, ReadsTheFieldsInAnyOrderFromTheBlock) {
  core::UpdatePage page = core::ReadUpdatePage(
      Page("<p>下载方式=下载文件</p><p>更新说明=<p>修正</p><p>加快</p>更新说明结束</p>"
           "<p>最新版=2.1</p><p>下载地址=http://h/s.exe</p><p>最新版=9.9</p>"));
  EXPECT_EQ(page.latest, "2.1");
  EXPECT_EQ(page.address, "http://h/s.exe");
  EXPECT_EQ(page.mode, G("下载文件"));
  EXPECT_EQ(page.notes, G("修正加快"));
}

TEST(UpdatePage, KeepsOtherTagsInTheNotes) {
  core::UpdatePage page =
      core::ReadUpdatePage(Page("更新说明=<p>一<br>二</p><b>三</b>更新说明结束</p>最新版=3</p>"));
  EXPECT_EQ(page.notes, G("一<br>二<b>三</b>"));
}

TEST(UpdatePage, IgnoresEverythingOutsideTheBlock) {
  EXPECT_EQ(core::ReadUpdatePage(Page("", "最新版=2.5</p>")).latest, "");
  core::UpdatePage unended = core::ReadUpdatePage(G("////开始最新版=2.5</p>"));
  EXPECT_EQ(unended.latest, "");
  // Markers after the block's end do not count.
  EXPECT_EQ(core::ReadUpdatePage(Page("最新版=2.5") + G("</p>")).latest, "");
}

TEST(UpdatePage, GivesNothingForAPageThatIsNotGbk) {
  // The same page written in UTF-8: the markers' bytes differ, so there is no block.
  std::string utf8 = "////开始<p>最新版=2.1</p>////结束";
  core::UpdatePage page = core::ReadUpdatePage(utf8);
  EXPECT_EQ(page.latest, "");
  EXPECT_EQ(page.notes, "");
}

TEST(UpdatePage, CopesWithHugeNotes) {
  core::Text notes;
  while (notes.size() < (1 << 20)) notes += G("<p>第一段说明</p>");
  core::UpdatePage page = core::ReadUpdatePage(G("////开始最新版=2.1</p>更新说明=") + notes +
                                               G("更新说明结束</p>////结束"));
  EXPECT_EQ(page.latest, "2.1");
  EXPECT_EQ(page.notes.size(),
            notes.size() / G("<p>第一段说明</p>").size() * G("第一段说明").size());
}

TEST(UpdateVersion, ComparesAsDecimalNumbersWithATolerance) {
  EXPECT_FALSE(core::IsNewerVersion("2.0", "2.0"));
  EXPECT_FALSE(core::IsNewerVersion("2.00000005", "2.0"));
  EXPECT_TRUE(core::IsNewerVersion("2.0000002", "2.0"));
  EXPECT_TRUE(core::IsNewerVersion("2.1", "2.0"));
  EXPECT_FALSE(core::IsNewerVersion("2.10", "2.1"));
  EXPECT_TRUE(core::IsNewerVersion("2.9", "2.10"));
  EXPECT_FALSE(core::IsNewerVersion("", "2.0"));
  EXPECT_FALSE(core::IsNewerVersion("1.9", "2.0"));
}

TEST(UpdateDownload, NamesTheFileAfterTheLastPieceOfTheAddress) {
  EXPECT_EQ(core::DownloadFileName("http://h/dir/setup.exe"), "setup.exe");
  EXPECT_EQ(core::DownloadFileName("http://h/dir/setup/"), "setup");
  EXPECT_EQ(core::DownloadFileName("http://h/f.exe?x=1"), "f.exe?x=1");
  EXPECT_EQ(core::DownloadFileName("http://h//"), "");
  EXPECT_EQ(core::DownloadFileName(""), "");
}

}  // namespace
}  // namespace sonaro
