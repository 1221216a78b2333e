// The 搜索电台 window against a loopback directory: Enter searches, the answers fill the list a
// page at a time, a newer search overtakes one still waiting, a double-click reports the play,
// 收藏 keeps a result.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "app/program.h"
#include "assets/assets.h"
#include "core/gbk.h"
#include "radio/directory_tuning.h"
#include "radio/my_stations.h"
#include "radio/station_search.h"
#include "support/event_wait.h"
#include "support/loopback_server.h"
#include "ui/ids.h"
#include "ui/window_system.h"

using namespace sonaro;
namespace search = ids::search;
namespace loop = sonaro::testing;

namespace {

std::string Stations(const std::string& prefix, int count) {
  std::string json = "[";
  for (int i = 0; i < count; ++i) {
    const std::string id = prefix + std::to_string(i);
    json += std::string(i ? "," : "") + "{\"stationuuid\":\"" + id + "\",\"name\":\"" + prefix +
            " 电台 " + std::to_string(i) + "\",\"url_resolved\":\"http://s.test/" + id +
            "\",\"countrycode\":\"TW\",\"codec\":\"AAC\",\"bitrate\":64,\"tags\":\"pop,news\","
            "\"lastcheckok\":1,\"clickcount\":" +
            std::to_string(100 - i) + "}";
  }
  return json + "]";
}

std::string Status() { return core::Utf8FromGbk(ui::GetText(ids::kSearchWindow, search::kStatus)); }

bool Enabled(uint32_t unit) { return ui::ControlWidget(ids::kSearchWindow, unit)->isEnabled(); }

}  // namespace

TEST(StationSearch, SearchesFillsPagesOvertakesPlaysAndKeeps) {
  std::mutex mutex;
  std::condition_variable released;
  bool release = false;
  std::vector<std::string> paths;
  loop::LoopbackServer directory([&](const std::string& head) -> std::optional<std::string> {
    const std::string path = loop::RequestPath(head);
    std::unique_lock lock(mutex);
    paths.push_back(path);
    if (path.find("name=slow") != std::string::npos) {
      released.wait_for(lock, std::chrono::seconds(10), [&] { return release; });
      return loop::Response(200, "OK", Stations("slow", 3));
    }
    if (path.find("name=down") != std::string::npos) return loop::Response(502, "Bad", "");
    if (path.find("name=fast") != std::string::npos)
      return loop::Response(200, "OK", Stations("fast", 25));
    if (path.rfind("/json/url/", 0) == 0) return loop::Response(200, "OK", "{\"ok\":true}");
    return loop::Response(200, "OK", "[]");
  });
  auto asked = [&](const std::string& path) {
    std::lock_guard lock(mutex);
    return std::find(paths.begin(), paths.end(), path) != paths.end();
  };
  QTemporaryDir data;  // 我的电台 is kept here
  ASSERT_TRUE(data.isValid());
  qputenv("XDG_DATA_HOME", data.path().toUtf8());
  assets::Init();
  ui::InstallCatalogue(app::Catalogue());
  app::RunSetUpSteps();
  radio::UseStationDirectory(directory.Url(""));

  radio::OnSearchMenu({});
  std::unique_ptr<QWidget> window(ui::FindWindow(ids::kSearchWindow));
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  auto* box = qobject_cast<QLineEdit*>(ui::ControlWidget(ids::kSearchWindow, search::kBox));
  auto* list = qobject_cast<QTreeWidget*>(ui::ControlWidget(ids::kSearchWindow, search::kResults));
  ASSERT_TRUE(box && list);
  auto search = [&](const char* text) {
    box->setText(QString::fromUtf8(text));
    QTest::keyClick(box, Qt::Key_Return);
  };

  search("down");
  ASSERT_TRUE(test::WaitUntil([] { return Status() != "正在搜索…"; }));
  EXPECT_EQ(Status(), "无法连接电台目录");

  // A search still waiting is overtaken: its answer, when it comes, changes nothing.
  search("slow");
  ASSERT_TRUE(test::WaitUntil([&] {
    std::lock_guard lock(mutex);
    return !paths.empty() && paths.back().find("name=slow") != std::string::npos;
  }));
  search("fast");
  ASSERT_TRUE(test::WaitUntil([] { return Status() != "正在搜索…"; }));
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  released.notify_all();
  test::Spin(300);
  EXPECT_EQ(Status(), "找到 25 个电台（第 1/2 页）");
  ASSERT_EQ(list->topLevelItemCount(), 20);
  const QStringList first = {QStringLiteral("fast 电台 0"), QStringLiteral("台湾"),
                             QStringLiteral("AAC 64k"), QStringLiteral("pop, news")};
  for (int c = 0; c < 4; ++c) EXPECT_EQ(list->topLevelItem(0)->text(c), first[c]) << c;
  EXPECT_FALSE(Enabled(search::kPrevious));
  EXPECT_TRUE(Enabled(search::kNext));

  ui::RaiseEvent(ids::kSearchWindow, search::kNext, ui::kEventClicked);
  EXPECT_EQ(Status(), "找到 25 个电台（第 2/2 页）");
  ASSERT_EQ(list->topLevelItemCount(), 5);
  EXPECT_TRUE(Enabled(search::kPrevious));
  EXPECT_FALSE(Enabled(search::kNext));

  // A double-click plays the row of this page and tells the directory.
  const QPoint row = list->visualItemRect(list->topLevelItem(1)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row);
  EXPECT_TRUE(test::WaitUntil([&] { return asked("/json/url/fast21"); }));

  // 收藏 keeps the selected result in 我的电台, once.
  ui::RaiseEvent(ids::kSearchWindow, search::kKeep, ui::kEventClicked);
  EXPECT_TRUE(test::WaitUntil([] { return Status() == "已收藏到我的电台"; })) << Status();
  ASSERT_EQ(radio::MyStations().size(), 1u);
  EXPECT_EQ(radio::MyStations()[0].name, "fast 电台 21");
  EXPECT_EQ(radio::MyStations()[0].address, "http://s.test/fast21");
  ui::RaiseEvent(ids::kSearchWindow, search::kKeep, ui::kEventClicked);
  EXPECT_TRUE(test::WaitUntil([] { return Status() == "我的电台里已有这个电台"; })) << Status();

  ui::RaiseEvent(ids::kSearchWindow, search::kClose, ui::kEventClicked);
  EXPECT_FALSE(window->isVisible());
  radio::OnSearchMenu({});
  EXPECT_TRUE(window->isVisible()) << "the same window, shown again";
  radio::FinishMyStationsWork();
}
