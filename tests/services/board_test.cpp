// The dedication board against a feed served on loopback: rows, duplicates, announcement,
// and the card a click shows.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QTest>
#include <mutex>

#include "app/catalogue.h"
#include "assets/assets.h"
#include "core/gbk.h"
#include "services/board.h"
#include "services/handlers.h"
#include "services/service_host.h"
#include "support/loopback_server.h"
#include "ui/ids.h"
#include "ui/window_system.h"

using namespace sonaro;
using namespace sonaro::services;

namespace {

core::Text G(const char* utf8) { return core::GbkFromUtf8(utf8); }

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
  // One refresh, run to its end as the board's timer runs it.
  void Refresh() {
    OnBoardRefresh(ui::Event{});
    ASSERT_TRUE(QTest::qWaitFor([] { return !BoardRefreshRunning(); }, 60000));
  }
  int Rows() const { return ui::ListRowCount(ids::kBoard, ids::board::kList); }
  core::Text Cell(int row, int column) const {
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

// --- feeds and announcements that are not what they should be -------------------------------

TEST_F(Board, EmptyAndFieldlessFeedsGiveEmptyTextsNotCrashes) {
  {
    std::lock_guard lock(mutex_);
    feed_.clear();  // a 200 with no body at all
  }
  Refresh();
  EXPECT_EQ(Rows(), 0);

  // A record without any of its seven fields still makes a row: the fixed texts only.
  Serve("<diange/><diange><unknown>x</unknown></diange>");
  Refresh();
  ASSERT_EQ(Rows(), 1);  // both rows have the same (empty) wishes: the second goes
  EXPECT_EQ(Cell(0, column::kDedicator), "");
  EXPECT_EQ(Cell(0, column::kFor), G("为"));
  EXPECT_EQ(Cell(0, column::kDetails), G("<详情点击查看>"));
}

TEST_F(Board, EntitiesAreDecodedAndCharactersOutsideGbkDoNotBreakTheRow) {
  Serve(
      Record("&lt;b&gt;甲&amp;乙&lt;/b&gt;", "&#x4E59;", "&#128512;歌", "&quot;祝&apos;福&quot;"));
  Refresh();
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(Cell(0, column::kDedicator), G("<b>甲&乙</b>"));
  EXPECT_EQ(Cell(0, column::kRecipient), G("乙"));
  EXPECT_EQ(Cell(0, column::kWishes), G("\"祝'福\""));
  // An emoji has no GBK form; the rest of the title survives.
  EXPECT_NE(Cell(0, column::kSong).find(G("歌")), std::string::npos);
}

TEST_F(Board, ManyDuplicatesCollapseToTheFirstAcrossRefreshes) {
  std::string records;
  for (int i = 0; i < 500; ++i) records += Record(i == 0 ? "头一个" : "后来的", "乙", "歌", "一样");
  records += Record("别的", "乙", "歌", "不一样");
  Serve(records);
  Refresh();
  Refresh();
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Cell(0, column::kDedicator), G("头一个"));
  EXPECT_EQ(Cell(1, column::kDedicator), G("别的"));
}

TEST_F(Board, FeedsAndAnnouncementsOverTheirCapsCountAsNotFetched) {
  auto records = [](int count, const std::string& filler) {
    std::string all;
    for (int i = 0; i < count; ++i) {
      all += "<diange><diangezhe>n" + std::to_string(i) + "</diangezhe><zhufuyu>" + filler +
             std::to_string(i) + "</zhufuyu></diange>";
    }
    return all;
  };
  // As many records as a refresh takes: all listed.
  Serve(records(int(kMaxFeedRecords), "w"));
  Refresh();
  ASSERT_EQ(Rows(), int(kMaxFeedRecords));
  EXPECT_EQ(Cell(int(kMaxFeedRecords) - 1, column::kDedicator), "n9999");
  // One record more, or more bytes than the cap in few records: nothing is added.
  Serve(records(int(kMaxFeedRecords) + 1, "v"));
  Refresh();
  EXPECT_EQ(Rows(), int(kMaxFeedRecords));
  Serve(records(2, std::string(kMaxFeedBytes / 2, 'x')));
  Refresh();
  EXPECT_EQ(Rows(), int(kMaxFeedRecords));
  EXPECT_EQ(ui::GetText(ids::kBoard, ids::board::kAnnouncement), G("今日公告"));
  // An announcement over its cap empties the label, as a failed fetch does.
  Serve("", std::string(kMaxAnnouncementBytes + 1, 'a'));
  Refresh();
  EXPECT_EQ(ui::GetText(ids::kBoard, ids::board::kAnnouncement), "");
}

TEST_F(Board, OddAnnouncementsAreShownUpToTheirFirstZeroByte) {
  Serve(Record("甲", "乙", "歌", "一"), std::string(1 << 20, 'a'));
  Refresh();
  EXPECT_EQ(ui::GetText(ids::kBoard, ids::board::kAnnouncement).size(), size_t(1) << 20);
  {
    std::lock_guard lock(mutex_);
    announcement_ = std::string("\x81\xff\x01 ok\0hidden", 10);  // bytes that are not GBK
  }
  Refresh();
  const core::Text shown = ui::GetText(ids::kBoard, ids::board::kAnnouncement);
  EXPECT_TRUE(shown.ends_with(" ok")) << shown;
  EXPECT_EQ(shown.find("hidden"), std::string::npos);
  EXPECT_EQ(Rows(), 1);
}

TEST_F(Board, FeedTextsReachTheScreenAsTextNotMarkup) {
  Serve(Record("&lt;b&gt;&lt;/b&gt;", "乙", "&lt;img src=x&gt;", "&lt;i&gt;&lt;/i&gt;"));
  Refresh();
  ASSERT_EQ(Rows(), 1);
  DedicationRow row;
  for (int c = 0; c < 10; ++c) row[size_t(c)] = Cell(0, c);
  ShowDedication(row);
  // Read as markup, the tags would take no room at all; as text the label needs room for
  // every character of them.
  for (uint32_t unit : {ids::details::kSongTitle, ids::details::kSignature}) {
    auto* label = qobject_cast<QLabel*>(ui::ControlWidget(ids::kDetails, unit));
    ASSERT_NE(label, nullptr);
    const QString shown = label->text();
    EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(shown))
        << shown.toStdString();
  }
  EXPECT_EQ(ui::GetText(ids::kDetails, ids::details::kWishes), G("<i></i>"));
  delete ui::FindWindow(ids::kDetails);
}

TEST_F(Board, AHostThatNeverAnswersHoldsNeitherTheProgramNorTheNextTicks) {
  Serve(Record("甲", "乙", "歌", "一"), "公告");
  Refresh();
  const core::WebGetOptions saved = BoardFetchOptions();
  BoardFetchOptions().totalTimeout = std::chrono::milliseconds(1500);
  sonaro::testing::LoopbackServer silent([](const std::string&) { return std::nullopt; });
  OverrideServiceHostForTesting("127.0.0.1:" + std::to_string(silent.Port()));
  // The tick returns at once with the fetch still waiting; ticks meanwhile are skipped.
  OnBoardRefresh(ui::Event{});
  EXPECT_TRUE(BoardRefreshRunning());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !silent.Requests().empty(); }, 5000));
  OnBoardRefresh(ui::Event{});
  OnBoardRefresh(ui::Event{});
  ASSERT_TRUE(QTest::qWaitFor([] { return !BoardRefreshRunning(); }, 10'000));
  BoardFetchOptions() = saved;
  EXPECT_EQ(silent.Requests().size(), 2u);  // one feed, one announcement: no second refresh
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(ui::GetText(ids::kBoard, ids::board::kAnnouncement), "");
  // The next refresh against a host that answers works as before.
  OverrideServiceHostForTesting("127.0.0.1:" + std::to_string(server_->Port()));
  Serve(Record("丙", "丁", "歌", "二"));
  Refresh();
  EXPECT_EQ(Rows(), 2);
}
