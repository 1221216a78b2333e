// The dedication board's refresh: one refresh of a 1,000-record feed (fetched from a loopback
// server, parsed, appended, duplicates removed) into a list that already holds N rows, against
// parsing the same feed into its records alone. The refresh scans every held row for repeated
// wishes, so its cost must grow linearly with N and no faster; and ten refreshes of 10,000 new
// records each cost about ten times one.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "assets/assets.h"
#include "bench/ratios.h"
#include "core/gbk.h"
#include "core/xmldoc.h"
#include "services/board.h"
#include "services/handlers.h"
#include "services/service_host.h"
#include "support/loopback_server.h"
#include "ui/ids.h"
#include "ui/window_system.h"

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
  return "<diange><chenghu>" + core::GbkFromUtf8("朋友") + "</chenghu><diangezhe>" + who +
         "</diangezhe><beichenghu>" + core::GbkFromUtf8("亲爱的") +
         "</beichenghu><beidiangezhe>x</beidiangezhe><geming>" +
         core::GbkFromUtf8("月亮代表我的心") +
         "</geming><gequdizhi>http://127.0.0.1/song.mp3</gequdizhi><zhufuyu>" + wishes +
         "</zhufuyu></diange>";
}

std::string Feed(int records, const std::string& prefix) {
  std::string feed = "<?xml version=\"1.0\" encoding=\"GBK\"?><diangetai>";
  for (int i = 0; i < records; ++i) {
    feed += Record("n" + std::to_string(i),
                   core::GbkFromUtf8("祝你快乐 ") + prefix + std::to_string(i));
  }
  return feed + "</diangetai>";
}

// The feed every refresh fetches: the same 1,000 records each time, as a host with a steady
// list serves them.
const std::string& TheFeed() {
  static const std::string feed = Feed(kFeedRecords, "feed ");
  return feed;
}

// What the host serves now; the steady feed unless a benchmark says otherwise.
std::atomic<const std::string*> g_serving{nullptr};

struct Board {
  Board() {
    EnsureApplication();
    assets::Init();
    server = std::make_unique<sonaro::testing::LoopbackServer>(
        [](const std::string& head) -> std::optional<std::string> {
          const std::string path = sonaro::testing::RequestPath(head);
          if (path == "/gonggao.txt") return sonaro::testing::Response(200, "OK", "notice");
          const std::string* feed = g_serving.load();
          return sonaro::testing::Response(200, "OK", feed ? *feed : TheFeed());
        });
    services::OverrideServiceHostForTesting("127.0.0.1:" + std::to_string(server->Port()));
    ui::InstallCatalogue(app::Catalogue());
    window = ui::LoadWindow(ids::kBoard);
  }
  // Brings the list to `held` rows: other dedications, then the feed's own records.
  void Hold(int held) {
    Clear();
    for (int i = 0; i < held - kFeedRecords; ++i) {
      services::DedicationRow row;
      row[services::column::kDedicator] = "old" + std::to_string(i);
      row[services::column::kWishes] = "old wishes " + std::to_string(i);
      ui::ListAddRow(ids::kBoard, ids::board::kList, row);
    }
    Refresh();
  }
  // From the end: each removal is then cheap.
  static void Clear() {
    for (int rows = ui::ListRowCount(ids::kBoard, ids::board::kList); rows > 0; --rows)
      ui::ListRemoveRow(ids::kBoard, ids::board::kList, rows - 1);
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
    core::XmlDoc doc;
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
// The fetch and the reading of the feed run on a worker thread: the whole process's CPU counts.
BENCHMARK(BM_BoardRefresh)
    ->Arg(10'000)
    ->Arg(20'000)
    ->Arg(40'000)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// Refreshes that each bring 10,000 new dedications (the most a refresh takes): after ten the list
// holds 100,000 rows. Each refresh looks at every held row once, so ten cost about ten times one,
// never the square.
void BM_BoardGrowth(benchmark::State& state) {
  Board& board = TheBoard();
  static const std::vector<std::string> feeds = [] {
    std::vector<std::string> all;
    for (int i = 0; i < 10; ++i) all.push_back(Feed(10'000, "round " + std::to_string(i) + " "));
    return all;
  }();
  const int refreshes = int(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    board.Clear();
    state.ResumeTiming();
    for (int i = 0; i < refreshes; ++i) {
      g_serving = &feeds[size_t(i)];
      Board::Refresh();
    }
  }
  g_serving = nullptr;
  if (ui::ListRowCount(ids::kBoard, ids::board::kList) != refreshes * 10'000)
    state.SkipWithError("the list did not take every new dedication");
}
BENCHMARK(BM_BoardGrowth)->Arg(1)->Arg(10)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

const bool kRatios =
    AddRatio({"BM_BoardRefresh/10000/process_time", "BM_BoardFeedParse_Reference", 10.0}) &&
    AddRatio({"BM_BoardRefresh/20000/process_time", "BM_BoardRefresh/10000/process_time", 2.2}) &&
    AddRatio({"BM_BoardRefresh/40000/process_time", "BM_BoardRefresh/20000/process_time", 2.2}) &&
    AddRatio({"BM_BoardGrowth/10/process_time", "BM_BoardGrowth/1/process_time", 15.0});

}  // namespace
}  // namespace sonaro::bench
