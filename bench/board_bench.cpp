// The dedication board's refresh: one refresh of a 1,000-record feed (fetched from a loopback
// server, parsed, appended, duplicates removed) into a list that already holds N rows, against
// parsing the same feed into its records alone. The refresh scans every held row for repeated
// wishes, so its cost must grow linearly with N and no faster.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/catalogue.h"
#include "app/ids.h"
#include "app/winsys/window_system.h"
#include "assets/assets.h"
#include "bench/ratios.h"
#include "services/board.h"
#include "services/core/gbk.h"
#include "services/core/xmldoc.h"
#include "services/handlers.h"
#include "services/loopback_server.h"
#include "services/service_host.h"

namespace sonaro::bench {
namespace {

constexpr int kFeedRecords = 1000;

void EnsureApplication() {
  if (QApplication::instance()) return;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "sonaro_board_bench";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // lives until the process ends
}

std::string Record(const std::string& who, const std::string& wishes) {
  return "<diange><chenghu>" + GbkFromUtf8("朋友") + "</chenghu><diangezhe>" + who +
         "</diangezhe><beichenghu>" + GbkFromUtf8("亲爱的") +
         "</beichenghu><beidiangezhe>x</beidiangezhe><geming>" + GbkFromUtf8("月亮代表我的心") +
         "</geming><gequdizhi>http://127.0.0.1/song.mp3</gequdizhi><zhufuyu>" + wishes +
         "</zhufuyu></diange>";
}

std::string Feed(int records, const std::string& prefix) {
  std::string feed = "<?xml version=\"1.0\" encoding=\"GBK\"?><diangetai>";
  for (int i = 0; i < records; ++i) {
    feed += Record("n" + std::to_string(i), GbkFromUtf8("祝你快乐 ") + prefix + std::to_string(i));
  }
  return feed + "</diangetai>";
}

// The feed every refresh fetches: the same 1,000 records each time, as a host with a steady
// list serves them.
const std::string& TheFeed() {
  static const std::string feed = Feed(kFeedRecords, "feed ");
  return feed;
}

struct Board {
  Board() {
    EnsureApplication();
    assets::Init();
    server = std::make_unique<sonaro::testing::LoopbackServer>(
        [](const std::string& head) -> std::optional<std::string> {
          const std::string path = sonaro::testing::RequestPath(head);
          if (path == "/gonggao.txt") return sonaro::testing::Response(200, "OK", "notice");
          return sonaro::testing::Response(200, "OK", TheFeed());
        });
    services::OverrideServiceHostForTesting("127.0.0.1:" + std::to_string(server->Port()));
    ui::InstallCatalogue(app::Catalogue());
    window = ui::LoadWindow(ids::kBoard);
  }
  // Brings the list to `held` rows: other dedications, then the feed's own records.
  void Hold(int held) {
    while (ui::ListRowCount(ids::kBoard, ids::board::kList) > 0)
      ui::ListRemoveRow(ids::kBoard, ids::board::kList, 0);
    for (int i = 0; i < held - kFeedRecords; ++i) {
      services::DedicationRow row;
      row[services::column::kDedicator] = "old" + std::to_string(i);
      row[services::column::kWishes] = "old wishes " + std::to_string(i);
      ui::ListAddRow(ids::kBoard, ids::board::kList, row);
    }
    Refresh();
  }
  // One refresh to its end: fetched and read in the background, applied on this thread.
  static void Refresh() {
    services::OnBoardRefresh(ui::Event{});
    while (services::BoardRefreshRunning()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
  }
  std::unique_ptr<sonaro::testing::LoopbackServer> server;
  QWidget* window = nullptr;
};

Board& TheBoard() {
  static Board board;
  return board;
}

// Parsing alone: the feed's bytes into its 1,000 records of ten texts, nothing shown.
void BM_BoardFeedParse_Reference(benchmark::State& state) {
  const std::string& feed = TheFeed();
  for (auto _ : state) {
    XmlDoc doc;
    doc.Load(feed);
    const int records = int(doc.ChildCount("@1/"));
    for (int i = 1; i <= records; ++i) benchmark::DoNotOptimize(services::RowFromFeed(doc, i));
    doc.Release();
  }
}
BENCHMARK(BM_BoardFeedParse_Reference)->Unit(benchmark::kMillisecond);

// Each refresh appends the 1,000 records and removes them again as repeats, so the list holds
// the same rows before every iteration.
void BM_BoardRefresh(benchmark::State& state) {
  Board& board = TheBoard();
  const int held = int(state.range(0));
  board.Hold(held);
  for (auto _ : state) Board::Refresh();
  if (ui::ListRowCount(ids::kBoard, ids::board::kList) != held)
    state.SkipWithError("the list did not keep its rows");
}
BENCHMARK(BM_BoardRefresh)->Arg(10'000)->Arg(20'000)->Arg(40'000)->Unit(benchmark::kMillisecond);

const bool kRatios = AddRatio({"BM_BoardRefresh/10000", "BM_BoardFeedParse_Reference", 10.0}) &&
                     AddRatio({"BM_BoardRefresh/20000", "BM_BoardRefresh/10000", 2.2}) &&
                     AddRatio({"BM_BoardRefresh/40000", "BM_BoardRefresh/20000", 2.2});

}  // namespace
}  // namespace sonaro::bench
