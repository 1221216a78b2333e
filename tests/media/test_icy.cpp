// Stream titles inside a radio stream: the sound parted from the metadata blocks however the
// body is cut, the titles read as UTF-8 or GBK.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/gbk.h"
#include "media/icy.h"

using sonaro::media::IcyReader;

namespace {

// The length byte, then the text padded with zero bytes to a multiple of 16.
std::string Block(const std::string& text) {
  std::string padded = text;
  padded.resize((text.size() + 15) / 16 * 16, '\0');
  return char(padded.size() / 16) + padded;
}

struct Read {
  std::string sound;
  std::vector<std::string> titles;
};

// The body fed in pieces cut at the given offsets.
Read FeedCut(const std::string& body, size_t interval, const std::vector<size_t>& cuts) {
  IcyReader reader(interval);
  Read read;
  size_t from = 0;
  for (size_t to : cuts) {
    if (auto title = reader.Feed(std::string_view(body).substr(from, to - from), read.sound))
      read.titles.push_back(*title);
    from = to;
  }
  if (auto title = reader.Feed(std::string_view(body).substr(from), read.sound))
    read.titles.push_back(*title);
  return read;
}

TEST(Icy, PartsSoundFromTitles) {
  const std::string utf8 = "Don't Stop — 夜曲";
  const std::string gbk = sonaro::core::GbkFromUtf8("晚间音乐");
  const std::string body = "abcdefgh" + Block("StreamTitle='" + utf8 + "';StreamUrl='';") +
                           "ijklmnop" + std::string(1, '\0') +  // a block with nothing in it
                           "qrstuvwx" + Block("StreamTitle='" + gbk + "';") + "yz";
  const std::string sound = "abcdefghijklmnopqrstuvwxyz";

  // Byte by byte every title comes, each once, as UTF-8.
  std::vector<size_t> everyByte;
  for (size_t i = 1; i < body.size(); ++i) everyByte.push_back(i);
  const Read bytewise = FeedCut(body, 8, everyByte);
  EXPECT_EQ(bytewise.sound, sound);
  EXPECT_EQ(bytewise.titles, (std::vector<std::string>{utf8, "晚间音乐"}));

  // Cut once anywhere: the same sound, and the last title is the one that counts.
  for (size_t cut = 0; cut <= body.size(); ++cut) {
    const Read read = FeedCut(body, 8, {cut});
    EXPECT_EQ(read.sound, sound) << "cut at " << cut;
    ASSERT_FALSE(read.titles.empty()) << "cut at " << cut;
    EXPECT_EQ(read.titles.back(), "晚间音乐") << "cut at " << cut;
  }

  // Without an interval the body is all sound.
  EXPECT_EQ(FeedCut(body, 0, {5}).sound, body);

  const std::string block = Block("StreamTitle='late';");
  IcyReader reader(4);
  std::string heard;
  // The length byte says more than arrives: nothing of the block is sound, no title yet.
  EXPECT_EQ(reader.Feed("abcd" + block.substr(0, 6), heard), std::nullopt);
  EXPECT_EQ(heard, "abcd");
  EXPECT_EQ(reader.Feed(block.substr(6) + "efgh", heard), "late");
  EXPECT_EQ(heard, "abcdefgh");
  // Blocks without a title, or with one that never closes.
  EXPECT_EQ(sonaro::media::StreamTitle("StreamUrl='x';"), std::nullopt);
  EXPECT_EQ(sonaro::media::StreamTitle("StreamTitle='open"), "open");
  EXPECT_EQ(sonaro::media::StreamTitle("StreamTitle='';"), "");
}

}  // namespace
