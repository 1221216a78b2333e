// 我的电台 in the Station panel: after the built-in items, played by place rather than label,
// and changed from its right-click menu.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "app/catalogue.h"
#include "app/program.h"
#include "assets/assets.h"
#include "collection/kept_stations.h"
#include "core/gbk.h"
#include "radio/my_stations.h"
#include "radio/now_playing.h"
#include "radio/player.h"
#include "radio/stations.h"
#include "radio/volume.h"
#include "support/event_wait.h"
#include "support/steady_volume.h"
#include "ui/ids.h"
#include "ui/widgets.h"
#include "ui/window_system.h"

using namespace sonaro;
using ids::kStationPanel;
using ids::panel::kTree;

namespace {

constexpr int kBuiltIn = int(radio::kTreeItemCount);
const char* kHitName = "CRI Hit FM 88.7";  // a built-in label, item 4
const char* kHitKept = "http://127.0.0.1:9/kept-hit";
const char* kMineKept = "http://127.0.0.1:9/mine";

std::string Item(int index) {
  return core::Utf8FromGbk(ui::TreeItemText(kStationPanel, kTree, index));
}
int Items() { return ui::TreeItemCount(kStationPanel, kTree); }

class MyStationsPanel : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static QTemporaryDir data, cache;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    const collection::KeptStation kept[] = {{kHitName, kHitKept}, {"我的台", kMineKept}};
    ASSERT_TRUE(collection::SaveListFile(
        collection::DefaultKeptStationsPath(),
        collection::WriteStationList(kept, collection::ListFileType::kM3u)));
  }
  void SetUp() override {
    assets::Init();
    radio::SetSystemVolumeMaker([] { return std::make_unique<test::SteadyVolume>(); });
    radio::ConstructPlayer();
    ui::InstallCatalogue(app::Catalogue());
    app::RunSetUpSteps();
    main_ = ui::LoadWindow(ids::kMainWindow, nullptr);
    ASSERT_NE(main_.data(), nullptr);
    ASSERT_TRUE(test::WaitUntil([] { return Items() >= kBuiltIn + 2; }, 10000));
    tree_ = dynamic_cast<ui::CatalogueTree*>(ui::ControlWidget(kStationPanel, kTree));
    ASSERT_NE(tree_, nullptr);
  }
  void TearDown() override {
    radio::FinishMyStationsWork();
    radio::SetSystemVolumeMaker(nullptr);
    delete main_.data();
    radio::DestroyPlayer();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // Right-clicks the item and picks the menu entry; false when no menu came.
  bool Pick(int index, const char* entry) {
    QTreeWidgetItem* item = tree_->StoredItem(index);
    tree_->scrollToItem(item);
    Q_EMIT tree_->customContextMenuRequested(tree_->visualItemRect(item).center());
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return false;
    for (QAction* action : menu->actions()) {
      if (action->text() == QString::fromUtf8(entry)) action->trigger();
    }
    menu->close();
    return true;
  }

  QPointer<QWidget> main_;
  ui::CatalogueTree* tree_ = nullptr;
};

}  // namespace

TEST_F(MyStationsPanel, TheKeptStationsComeLastInTheirOwnCategory) {
  ASSERT_EQ(Items(), kBuiltIn + 3);
  const ui::TreeItem mine[] = {{"我的电台", 1}, {kHitName, 2}, {"我的台", 2}};
  for (int i = 0; i < Items(); ++i) {
    const ui::TreeItem& expected = i < kBuiltIn ? radio::kTreeItems[size_t(i)] : mine[i - kBuiltIn];
    EXPECT_EQ(Item(i), expected.text) << i;
    EXPECT_EQ(ui::TreeItemLevel(kStationPanel, kTree, i), expected.level) << i;
  }
}

TEST_F(MyStationsPanel, AKeptStationPlaysItsOwnAddressWhateverItsName) {
  const radio::Station* builtIn = radio::FindStation(core::GbkFromUtf8(kHitName));
  ASSERT_NE(builtIn, nullptr);
  const struct {
    int index;
    core::Text address;
    core::Text stationBox;
  } cases[] = {
      {kBuiltIn + 1, kHitKept, core::GbkFromUtf8(kHitName)},
      {4, builtIn->address, builtIn->displayName},
      {kBuiltIn + 2, kMineKept, core::GbkFromUtf8("我的台")},
  };
  for (const auto& c : cases) {
    ui::SetInt(kStationPanel, kTree, ui::prop::kSelectedItem, c.index);
    EXPECT_EQ(radio::CurrentlyPlaying().address, c.address) << c.index;
    EXPECT_EQ(ui::GetText(ids::kMainWindow, ids::main::kStationBox), c.stationBox) << c.index;
  }
  // The category itself plays nothing.
  const uint64_t plays = radio::CurrentlyPlaying().play;
  ui::SetInt(kStationPanel, kTree, ui::prop::kSelectedItem, kBuiltIn);
  EXPECT_EQ(radio::CurrentlyPlaying().play, plays);
}

// 重命名's dialog is driven end to end (collection_e2e).
TEST_F(MyStationsPanel, TheRightClickMenuRemovesKeptStationsOnlyAndNothingReplays) {
  tree_->expandAll();
  EXPECT_FALSE(Pick(4, "删除"));         // built-in
  EXPECT_FALSE(Pick(kBuiltIn, "删除"));  // the category
  ASSERT_EQ(Items(), kBuiltIn + 3);

  // The playing kept station stays selected while the list changes, and nothing else plays.
  ui::SetInt(kStationPanel, kTree, ui::prop::kSelectedItem, kBuiltIn + 2);
  const uint64_t plays = radio::CurrentlyPlaying().play;
  ASSERT_TRUE(Pick(kBuiltIn + 1, "删除"));
  ASSERT_TRUE(test::WaitUntil([] { return Items() == kBuiltIn + 2; }, 10000));
  EXPECT_EQ(Item(kBuiltIn + 1), "我的台");
  EXPECT_EQ(ui::GetInt(kStationPanel, kTree, ui::prop::kSelectedItem), kBuiltIn + 1);
  EXPECT_EQ(radio::CurrentlyPlaying().play, plays);
  EXPECT_EQ(radio::MyStations(), (std::vector<collection::KeptStation>{{"我的台", kMineKept}}));
}
