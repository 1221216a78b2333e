// The Player page's text: the template cipher, the template, playlist lines and the escaping
// that keeps every address inside its script string.
#include <gtest/gtest.h>

#include <QString>
#include <string>

#include "core/gbk.h"
#include "radio/page_template.h"
#include "radio/template_cipher.h"

using namespace sonaro;
using namespace sonaro::radio;

namespace {

core::Text G(const char* utf8) { return core::GbkFromUtf8(utf8); }

TEST(TemplateCipher, BlocksOfEightBytesOrLessGiveNothing) {
  EXPECT_EQ(DecipherBlock("", "key"), "");
  EXPECT_EQ(DecipherBlock("12345678", "key"), "");
  EXPECT_EQ(DecipherBlock("12345678", ""), "");
  EXPECT_EQ(DecipherBlock("123456789", "key").size(), 1u);
}

// Worked by hand from the algorithm: A = 0x04030201, B = 0x08070605, s = ~(A ^ B) & 0xFF =
// 0xFB; P = 05 06 07 08, Q = P ^ 0xFB = FE FD FC F3; key "ab": 'a' ^ P1 = 0x64,
// 'b' ^ P2 = 0x64, c = 0; the data continue with Q3, Q4, Q1, ...
TEST(TemplateCipher, KnownVector) {
  const std::string block = std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8) + "\xFC\xF3\xFE";
  EXPECT_EQ(DecipherBlock(block, "ab"), std::string("\x00\x00\x00", 3));
  const std::string text = DecipherBlock(
      std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8) + std::string("\x9D\x91\x9D", 3), "ab");
  EXPECT_EQ(text, "abc");
  // One key byte: 'a' ^ P1 = 0x64 = c; the data start at Q2.
  EXPECT_EQ(DecipherBlock(std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x00", 9), "a"),
            std::string(1, char(0xFD ^ 0x64)));
}

TEST(TemplateCipher, EncipheringRoundTripsWithAnyHeaderAndKey) {
  const std::string text = G("<html>播放列表数据</html>") + std::string("\0\xFF\x80", 3);
  for (const char* key : {"k", "Sonaro-qvpl-page-key-07", "a much longer key than any header"}) {
    for (uint32_t a : {0u, 0xFFFFFFFFu, 0x3C9E175Au}) {
      const std::string block = EncipherBlock(text, key, a, 0x81B6D2C4u);
      ASSERT_EQ(block.size(), text.size() + 8);
      EXPECT_NE(block.substr(8), text);
      EXPECT_EQ(DecipherBlock(block, key), text) << key << " " << a;
    }
  }
  EXPECT_NE(DecipherBlock(EncipherBlock(text, "k", 1, 2), "j"), text) << "the key matters";
}

TEST(TemplateCipher, EmptyKeyMeansTheDefaultKey) {
  const std::string block = EncipherBlock("some text", kDefaultCipherKey, 7, 9);
  EXPECT_EQ(DecipherBlock(block, ""), "some text");
  EXPECT_EQ(DecipherBlock(EncipherBlock("some text", "", 7, 9), kDefaultCipherKey), "some text");
}

TEST(PageTemplate, IsGbkHtmlWithTheThreePlaceholders) {
  const core::Text page = PageTemplate();
  ASSERT_FALSE(page.empty());
  EXPECT_NE(page.find("charset=gbk"), std::string::npos);
  EXPECT_NE(page.find(WidthPlaceholder()), std::string::npos);
  EXPECT_NE(page.find(HeightPlaceholder()), std::string::npos);
  // The playlist data stand inside a script, on a line of their own.
  const size_t data = page.find(PlaylistPlaceholder());
  ASSERT_NE(data, std::string::npos);
  const size_t scriptOpen = page.rfind("<script", data);
  const size_t scriptClose = page.find("</script>", data);
  ASSERT_NE(scriptOpen, std::string::npos);
  ASSERT_NE(scriptClose, std::string::npos);
  EXPECT_EQ(page.rfind("</script>", data) == std::string::npos ||
                page.rfind("</script>", data) < scriptOpen,
            true);
  EXPECT_EQ(page[data - 1], '\n');
  // No UTF-8 survived: the Chinese title is GBK.
  EXPECT_NE(page.find(G("播放器")), std::string::npos);
  EXPECT_EQ(core::FromGbk(page).toStdString().find("\xEF\xBF\xBD"), std::string::npos)
      << "every byte is GBK";
}

TEST(PageTemplate, SizeAndPlaylistAreFilledIn) {
  const core::Text page =
      FillPlaylist(PageWithSize(400, 65), PlaylistText({"http://a/1", "mms://b/2"}));
  EXPECT_EQ(page.find(WidthPlaceholder()), std::string::npos);
  EXPECT_EQ(page.find(HeightPlaceholder()), std::string::npos);
  EXPECT_EQ(page.find(PlaylistPlaceholder()), std::string::npos);
  EXPECT_NE(page.find("width: 400px"), std::string::npos);
  EXPECT_NE(page.find("height: 65px"), std::string::npos);
  const size_t first = page.find("Player.newMedia(\"http://a/1\")");
  const size_t second = page.find("Player.newMedia(\"mms://b/2\")");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, second) << "lines in list order";
  EXPECT_EQ(FillPlaylist(PageWithSize(6, 3), PlaylistText({})).find("appendItem"),
            std::string::npos)
      << "an empty playlist leaves no line";
}

TEST(PlaylistLine, HasTheExactForm) {
  EXPECT_EQ(PlaylistLine("http://127.0.0.1:18020/voice"),
            "     playlist.appendItem(Player.newMedia(\"http://127.0.0.1:18020/voice\"));\r\n");
  EXPECT_EQ(PlaylistLine(""), "     playlist.appendItem(Player.newMedia(\"\"));\r\n");
  EXPECT_EQ(PlaylistLine(G("mms://h/音乐")),
            "     playlist.appendItem(Player.newMedia(\"" + G("mms://h/音乐") + "\"));\r\n")
      << "GBK characters stay as they are";
  EXPECT_EQ(PlaylistText({"a", "b"}), PlaylistLine("a") + PlaylistLine("b"));
}

TEST(ScriptString, EscapesWhatCouldEndTheStringOrTheScript) {
  EXPECT_EQ(ScriptStringContent("a\"b"), "a\\\"b");
  EXPECT_EQ(ScriptStringContent("a\\b"), "a\\\\b");
  EXPECT_EQ(ScriptStringContent("a'b"), "a\\'b");
  EXPECT_EQ(ScriptStringContent("a\r\nb"), "a\\r\\nb");
  EXPECT_EQ(ScriptStringContent("</script><script>x()</script>"),
            "\\x3C/script>\\x3Cscript>x()\\x3C/script>");
  EXPECT_EQ(ScriptStringContent("<!--"), "\\x3C!--");
  EXPECT_EQ(ScriptStringContent(std::string("a\0b\x1F\x7F", 5)), "a\\x00b\\x1F\\x7F");
  EXPECT_EQ(ScriptStringContent("http://h/p?a=1&b=2#f"), "http://h/p?a=1&b=2#f");
}

TEST(ScriptString, LineAndParagraphSeparatorsAreEscaped) {
  const core::Text lineSeparator = core::ToGbk(QString(QChar(0x2028)));
  const core::Text paragraphSeparator = core::ToGbk(QString(QChar(0x2029)));
  ASSERT_EQ(lineSeparator.size(), 4u) << "GB18030 four-byte form";
  EXPECT_EQ(ScriptStringContent("a" + lineSeparator + "b" + paragraphSeparator),
            "a\\u2028b\\u2029");
  const core::Text other = core::ToGbk(QString(QChar(0x20AD)));  // another four-byte character
  ASSERT_EQ(other.size(), 4u);
  EXPECT_EQ(ScriptStringContent(other), other);
}

// Bytes that are not GBK must not hide a quote or a backslash from the escaper: the page's
// decoder reads an ASCII byte after a lone lead byte as itself.
TEST(ScriptString, BrokenGbkCannotSwallowAQuote) {
  EXPECT_EQ(ScriptStringContent("\x81\""), "\\uFFFD\\\"");
  EXPECT_EQ(ScriptStringContent("\x81\x30\""), "\\uFFFD0\\\"") << "broken four-byte form";
  EXPECT_EQ(ScriptStringContent("\x81\x30\x81\""), "\\uFFFD0\\uFFFD\\\"");
  EXPECT_EQ(ScriptStringContent("\x81"), "\\uFFFD") << "a lead byte at the end";
  EXPECT_EQ(ScriptStringContent("\x80\xFF"), "\\u20AC\\uFFFD");
  EXPECT_EQ(ScriptStringContent("\x81\xFF\""), "\\uFFFD\\\"");
  // A real character whose trail byte is a backslash stays whole.
  const core::Text withBackslashTrail("\x81\x5C", 2);
  EXPECT_EQ(ScriptStringContent(withBackslashTrail), withBackslashTrail);
}

}  // namespace
