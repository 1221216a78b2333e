// XmlDoc: loading, the path language, text content and hostile documents.
#include "core/xmldoc.h"

#include <gtest/gtest.h>

#include <string>

namespace sonaro {
namespace {

core::Text G(const char* utf8) { return core::GbkFromUtf8(utf8); }

// A dedication feed as the service host writes it: GBK, any root name, one child per record.
const core::Text kFeed =
    G("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n"
      "<diange>\r\n"
      "  <jilu><chenghu>小</chenghu><diangezhe>张三</diangezhe><geming>月亮</geming></jilu>\r\n"
      "  <jilu><diangezhe>李四</diangezhe><geming>星星</geming><geming>太阳</geming></jilu>\r\n"
      "  <other><geming>第三首</geming><zhufuyu>祝你快乐</zhufuyu></other>\r\n"
      "</diange>\r\n");

class XmlDocFeed : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(doc_.Load(kFeed)); }
  core::XmlDoc doc_;
};

TEST_F(XmlDocFeed, CountsTheRecords) {
  EXPECT_EQ(doc_.ChildCount("@1/"), 3);
  EXPECT_EQ(doc_.ChildCount("@1"), 3);
  EXPECT_EQ(doc_.ChildCount("diange/"), 3);
  EXPECT_EQ(doc_.ChildCount("@1/@1"), 3);
  EXPECT_EQ(doc_.ChildCount("@1/@2/"), 3);
  EXPECT_EQ(doc_.ChildCount("@1/@1/geming"), 0);
  EXPECT_EQ(doc_.ChildCount("@1/@4"), 0);
}

TEST_F(XmlDocFeed, ReadsFieldsByPositionAndName) {
  EXPECT_EQ(doc_.Value("@1/@1/diangezhe"), G("张三"));
  EXPECT_EQ(doc_.Value("@1/@2/diangezhe"), G("李四"));
  // The first child with the name; the record's own name does not matter.
  EXPECT_EQ(doc_.Value("@1/@2/geming"), G("星星"));
  EXPECT_EQ(doc_.Value("@1/@3/zhufuyu"), G("祝你快乐"));
  EXPECT_EQ(doc_.Value("diange/jilu/geming"), G("月亮"));
  EXPECT_EQ(doc_.Value("@1/other/@2"), G("祝你快乐"));
  EXPECT_EQ(doc_.Value("@1/@3/zhufuyu/"), G("祝你快乐"));
  EXPECT_EQ(doc_.Value("@1/@01/geming"), G("月亮"));
}

TEST_F(XmlDocFeed, SelectsNothingForStepsThatMatchNothing) {
  for (const char* path :
       {"@1/@4/geming", "@1/@2/chenghu", "@1/@0", "@1/@", "@1/@x", "@1/@1x/geming", "@1/@-1", "@2",
        "@0/", "jilu/@1", "DIANGE/@1", "@1//geming", "@1/@1//", "", "/", "/@1",
        "@1/@99999999999999999999999", "@1/jilu/geming/x"}) {
    EXPECT_EQ(doc_.Value(path), "") << path;
    EXPECT_EQ(doc_.ChildCount(path), 0) << path;
  }
}

TEST_F(XmlDocFeed, ReadsTheWholeTextContent) { EXPECT_EQ(doc_.Value("@1/@1"), G("小张三月亮")); }

TEST_F(XmlDocFeed, ReadsRecordsInAnyOrderAndRepeatedly) {
  // Positional steps are served from a cache; it must follow each parent separately.
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(doc_.Value("@1/@3/@1"), G("第三首"));
    EXPECT_EQ(doc_.Value("@1/@1/@2"), G("张三"));
    EXPECT_EQ(doc_.Value("@1/@2/@3"), G("太阳"));
  }
}

TEST(XmlDoc, FailsOnEmptyOrMalformedInputAndIsThenEmpty) {
  core::XmlDoc doc;
  for (std::string bad : {std::string(), std::string("   "), std::string("<a>"),
                          std::string("<a></b>"), std::string("<a/><b/>"), std::string("text"),
                          std::string("<!-- only a comment -->"), std::string("<a><![CDATA[x</a>"),
                          std::string("<![CDATA[x]]><a/>"), kFeed.substr(0, kFeed.size() / 2)}) {
    ASSERT_TRUE(doc.Load("<r><x>1</x></r>"));
    EXPECT_FALSE(doc.Load(bad)) << bad;
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_EQ(doc.ChildCount("@1/"), 0);
    EXPECT_EQ(doc.Value("@1/x"), "");
  }
}

TEST(XmlDoc, LoadingReplacesTheDocument) {
  core::XmlDoc doc;
  ASSERT_TRUE(doc.Load("<a><x>1</x><x>2</x></a>"));
  EXPECT_EQ(doc.Value("@1/@2"), "2");
  ASSERT_TRUE(doc.Load("<b><y>3</y></b>"));
  EXPECT_EQ(doc.ChildCount("@1/"), 1);
  EXPECT_EQ(doc.Value("@1/@1"), "3");
  EXPECT_EQ(doc.Value("@1/@2"), "");
  EXPECT_EQ(doc.Value("a/@1"), "");
  doc.Release();
  EXPECT_FALSE(doc.IsLoaded());
  EXPECT_EQ(doc.Value("@1/@1"), "");
}

TEST(XmlDoc, ARootWithoutChildren) {
  core::XmlDoc doc;
  ASSERT_TRUE(doc.Load("<root/>"));
  EXPECT_EQ(doc.ChildCount("@1/"), 0);
  EXPECT_EQ(doc.Value("@1/"), "");
  EXPECT_EQ(doc.Value("@1/@1/geming"), "");
  ASSERT_TRUE(doc.Load("<root>only text</root>"));
  EXPECT_EQ(doc.ChildCount("@1/"), 0);
  EXPECT_EQ(doc.Value("@1/"), "only text");
}

TEST(XmlDoc, DecodesEntitiesAndCharacterReferencesToGbk) {
  core::XmlDoc doc;
  ASSERT_TRUE(
      doc.Load("<r><e>&lt;b&gt; &amp; &apos;&quot;</e><n>&#20013;&#x6587;&#65;&#x4e2d;</n>"
               "<u>&nbsp;&#0;&#xD800;&#x110000;&#;&#x;&#12a;&amp</u><c><![CDATA[&lt;]]>&lt;</c>"
               "<m>&#x20AC;</m><a>&amp;lt;</a></r>"));
  EXPECT_EQ(doc.Value("@1/e"), "<b> & '\"");
  EXPECT_EQ(doc.Value("@1/n"), G("中文A中"));
  // Unknown and invalid references stay as written.
  EXPECT_EQ(doc.Value("@1/u"), "&nbsp;&#0;&#xD800;&#x110000;&#;&#x;&#12a;&amp");
  EXPECT_EQ(doc.Value("@1/c"), "&lt;<");
  EXPECT_EQ(doc.Value("@1/m"), G("€"));
  // Decoded once only.
  EXPECT_EQ(doc.Value("@1/a"), "&lt;");
}

TEST(XmlDoc, PassesGbkBytesThrough) {
  // Second bytes that are ASCII letters and symbols ("@", "\\", "|", "]") are part of their
  // characters, in text and in names of the common range.
  const core::Text text = "\x81\x40\x95\x5C\x8A\x7C\x81\x5D]>";
  core::XmlDoc doc;
  ASSERT_TRUE(doc.Load("<r><\xD6\xD0>" + text + "</\xD6\xD0></r>"));
  EXPECT_EQ(doc.Value("@1/\xD6\xD0"), text);
  EXPECT_EQ(doc.Value("@1/@1"), text);
}

TEST(XmlDoc, KeepsWhitespaceOnlyContentButNotIndentation) {
  core::XmlDoc doc;
  ASSERT_TRUE(doc.Load("<r>\n  <a> </a>\n  <b>x\r\ny</b>\n</r>"));
  EXPECT_EQ(doc.Value("@1/a"), " ");
  EXPECT_EQ(doc.Value("@1/b"), "x\ny");
  EXPECT_EQ(doc.Value("@1/"), " x\ny");
}

TEST(XmlDoc, SurvivesDeepNesting) {
  const int depth = 10000;
  std::string xml;
  for (int i = 0; i < depth; ++i) xml += "<a>";
  xml += "deep";
  for (int i = 0; i < depth; ++i) xml += "</a>";
  core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(xml));
  EXPECT_EQ(doc.ChildCount("@1/"), 1);
  EXPECT_EQ(doc.Value("@1/"), "deep");
  EXPECT_EQ(doc.Value("@1/a/a/@1/a"), "deep");
  // Cut off inside: malformed.
  EXPECT_FALSE(doc.Load(xml.substr(0, xml.size() - 4)));
}

TEST(XmlDoc, ReadsALargeFeed) {
  // 50 MB of records.
  const core::Text record = G("<j><chenghu>小</chenghu><geming>歌名</geming><zhufuyu>") +
                            std::string(200, 'w') + "</zhufuyu></j>";
  std::string xml = "<feed>";
  size_t count = 0;
  while (xml.size() < (size_t(50) << 20)) {
    xml += record;
    ++count;
  }
  xml += "</feed>";
  core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(xml));
  EXPECT_EQ(doc.ChildCount("@1/"), std::ptrdiff_t(count));
  EXPECT_EQ(doc.Value("@1/@" + std::to_string(count) + "/geming"), G("歌名"));
  EXPECT_FALSE(doc.Load(xml.substr(0, xml.size() - 1)));
}

}  // namespace
}  // namespace sonaro
