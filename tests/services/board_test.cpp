// The dedication board against a feed served on loopback: rows, duplicates, announcement,
// and the card a click shows.
#include <gtest/gtest.h>

#include <QPointer>
#include <QTest>
#include <mutex>

#include "app/catalogue.h"
#include "app/ids.h"
#include "app/winsys/window_system.h"
#include "assets/assets.h"
#include "services/board.h"
#include "services/core/gbk.h"
#include "services/handlers.h"
#include "services/loopback_server.h"
#include "services/service_host.h"

using namespace sonaro;
using namespace sonaro::services;

namespace {

Text G(const char* utf8) { return GbkFromUtf8(utf8); }

// One feed record (UTF-8 here, served as GBK); an empty wishes text leaves the field out.
std::string Record(const char* from, const char* to, const char* song, const char* wishes) {
  std::string r = "<diange><chenghu>朋友</chenghu><diangezhe>";
  r += from;
  r += "</diangezhe><beichenghu>亲爱的</beichenghu><beidiangezhe>";
  r += to;
  r += "</beidiangezhe><geming>";
  r += song;
  r += "</geming><gequdizhi>http://127.0.0.1/song.mp3</gequdizhi>";
  if (*wishes) r += std::string("<zhufuyu>") + wishes + "</zhufuyu>";
  return r + "</diange>";
}

class Board : public ::testing::Test {
 protected:
  void SetUp() override {
    assets::Init();
    server_ = std::make_unique<sonaro::testing::LoopbackServer>(
        [this](const std::string& head) -> std::optional<std::string> {
          std::lock_guard lock(mutex_);
          const std::string path = sonaro::testing::RequestPath(head);
          if (path == "/gg/diangatai1/xmlxianshi.asp")
            return sonaro::testing::Response(200, "OK", feed_);
          if (path == "/gonggao.txt") return sonaro::testing::Response(200, "OK", announcement_);
          return sonaro::testing::Response(404, "Not Found", "<html>no</html>");
        });
    OverrideServiceHostForTesting("127.0.0.1:" + std::to_string(server_->Port()));
    ui::InstallCatalogue(app::Catalogue());
    board_ = ui::LoadWindow(ids::kBoard);
    ASSERT_NE(board_.data(), nullptr);
  }
  void TearDown() override {
    delete board_.data();
    OverrideServiceHostForTesting("");
  }
  void Serve(const std::string& recordsUtf8, const std::string& announcementUtf8 = "今日公告") {
    std::lock_guard lock(mutex_);
    feed_ = G(("<?xml version=\"1.0\" encoding=\"GBK\"?><diangetai>" + recordsUtf8 + "</diangetai>")
                  .c_str());
    announcement_ = G(announcementUtf8.c_str());
  }
  void Refresh() { OnBoardRefresh(ui::Event{}); }
  int Rows() const { return ui::ListRowCount(ids::kBoard, ids::board::kList); }
  Text Cell(int row, int column) const {
    return ui::ListCellText(ids::kBoard, ids::board::kList, row, column);
  }

  std::mutex mutex_;
  std::string feed_, announcement_;
  std::unique_ptr<sonaro::testing::LoopbackServer> server_;
  QPointer<QWidget> board_;
};

}  // namespace

TEST_F(Board, ARefreshListsTheRecordsWithTheirTenColumns) {
  EXPECT_EQ(ui::GetText(ids::kBoard, ids::board::kAnnouncement), G("公告："));
  Serve(Record("小明", "小红", "月亮代表我的心", "生日快乐"));
  Refresh();
  ASSERT_EQ(Rows(), 1);
  const char* expected[] = {
      "朋友",     "小明",           "亲爱的",         "为",
      "小红",     "月亮代表我的心", "点播了一首歌曲", "http://127.0.0.1/song.mp3",
      "生日快乐", "<详情点击查看>"};
  for (int c = 0; c < 10; ++c) EXPECT_EQ(Cell(0, c), G(expected[c])) << c;
  EXPECT_EQ(ui::GetText(ids::kBoard, ids::board::kAnnouncement), G("今日公告"));
}

TEST_F(Board, RepeatedWishesAreListedOnceAndTheFirstStays) {
  Serve(Record("甲", "乙", "歌一", "同一句话") + Record("丙", "丁", "歌二", "同一句话") +
        Record("戊", "己", "歌三", "") + Record("庚", "辛", "歌四", ""));
  Refresh();
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Cell(0, column::kDedicator), G("甲"));
  EXPECT_EQ(Cell(1, column::kDedicator), G("戊"));  // the first record without wishes

  // The same feed again changes nothing; a new record comes in below the old ones.
  Refresh();
  EXPECT_EQ(Rows(), 2);
  Serve(Record("壬", "癸", "歌五", "新的祝福"));
  Refresh();
  ASSERT_EQ(Rows(), 3);  // the records that left the feed stay listed
  EXPECT_EQ(Cell(2, column::kDedicator), G("壬"));
}

TEST_F(Board, ABrokenFeedAddsNothingAndTheAnnouncementFollowsTheServer) {
  Serve(Record("甲", "乙", "歌一", "一"));
  Refresh();
  {
    std::lock_guard lock(mutex_);
    feed_ = "<diangetai><diange><zhufuyu>cut off";
    announcement_ = "";
  }
  Refresh();
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(ui::GetText(ids::kBoard, ids::board::kAnnouncement), "");
  Serve("");  // a root without records
  Refresh();
  EXPECT_EQ(Rows(), 1);
}

TEST_F(Board, TheServerGoneLeavesTheListAndEmptiesTheAnnouncement) {
  Serve(Record("甲", "乙", "歌一", "一"));
  Refresh();
  server_.reset();
  Refresh();
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(ui::GetText(ids::kBoard, ids::board::kAnnouncement), "");
}
