// The window catalogue as data: identifiers, names, items, columns, menu and bindings.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "app/catalogue.h"
#include "ui/ids.h"

using namespace sonaro;
using ui::Kind;

namespace {

const ui::WindowSpec& Window(uint32_t id) {
  for (const ui::WindowSpec& window : app::Catalogue()) {
    if (window.windowId == id) return window;
  }
  throw std::runtime_error("no such window");
}

const ui::ControlSpec* Control(const ui::WindowSpec& window, const char* name) {
  for (const ui::ControlSpec& control : window.controls) {
    if (std::strcmp(control.name, name) == 0) return &control;
  }
  return nullptr;
}

bool Bound(const std::vector<ui::Binding>& bindings, int event, const char* handler) {
  for (const ui::Binding& binding : bindings) {
    if (binding.event == event &&
        std::string(binding.handlerName).find(handler) != std::string::npos) {
      return binding.handler != nullptr;
    }
  }
  return false;
}

}  // namespace

TEST(Catalogue, SevenWindowsWithTheirIdentityAndSize) {
  struct Expected {
    uint32_t id, unit;
    int width, height;
    bool drag;
  };
  const Expected expected[] = {
      {ids::kMainWindow, ids::kMainWindowUnit, 400, 300, true},
      {ids::kStationPanel, ids::kStationPanelUnit, 240, 530, false},
      {ids::kBoard, ids::kBoardUnit, 381, 251, false},
      {ids::kDetails, ids::kDetailsUnit, 450, 529, true},
      {ids::kUpdateWindow, ids::kUpdateWindowUnit, 286, 207, false},
      {ids::kRequestForm, ids::kRequestFormUnit, 494, 446, true},
      {ids::kSearchWindow, ids::kSearchWindowUnit, 460, 360, true},
      {ids::kAddStationWindow, ids::kAddStationWindowUnit, 300, 190, false},
  };
  ASSERT_EQ(app::Catalogue().size(), std::size(expected));
  for (const Expected& e : expected) {
    const ui::WindowSpec& window = Window(e.id);
    EXPECT_EQ(window.unitId, e.unit);
    EXPECT_EQ(window.rect.left, 50);
    EXPECT_EQ(window.rect.top, 50);
    EXPECT_EQ(window.rect.width, e.width);
    EXPECT_EQ(window.rect.height, e.height);
    EXPECT_EQ(window.dragByBody, e.drag);
    EXPECT_TRUE(Bound(window.bindings, ui::kEventCreated, "")) << window.name;
  }
  EXPECT_STREQ(Window(ids::kMainWindow).title, "SonaroQuillboard无广告版");
  EXPECT_TRUE(Bound(Window(ids::kMainWindow).bindings, ui::kEventMoved, "OnMainMoved"));
  EXPECT_FALSE(Window(ids::kSearchWindow).visible) << "made hidden, shown by the menu";
}

TEST(Catalogue, IdentifiersAndNamesAreUniqueWithinEachWindow) {
  std::set<uint32_t> allUnits;
  size_t controls = 0;
  for (const ui::WindowSpec& window : app::Catalogue()) {
    std::set<uint32_t> units{window.unitId};
    std::set<std::string> names;
    for (const ui::ControlSpec& control : window.controls) {
      EXPECT_TRUE(units.insert(control.unitId).second) << std::hex << control.unitId;
      EXPECT_TRUE(names.insert(control.name).second) << control.name;
      const uint32_t prefix = control.unitId >> 24;
      EXPECT_EQ(prefix, control.kind == Kind::MenuItem ? 0x26u : 0x16u) << control.name;
      allUnits.insert(control.unitId);
      ++controls;
    }
  }
  // Unit IDs are unique program-wide too.
  EXPECT_EQ(allUnits.size(), controls);
}

TEST(Catalogue, ControlsAsListed) {
  const auto& main = Window(ids::kMainWindow);
  ASSERT_EQ(main.controls.size(), 19u);  // 8 controls and 11 menu items
  const ui::ControlSpec* station = Control(main, "diantaim");
  ASSERT_NE(station, nullptr);
  EXPECT_EQ(station->unitId, ids::main::kStationBox);
  EXPECT_TRUE(station->disabled);
  EXPECT_EQ(station->align, ui::Align::Centre);
  EXPECT_EQ(station->font.pixelSize, 16);
  EXPECT_TRUE(station->font.bold);
  EXPECT_EQ(station->borderStyle, 2);
  EXPECT_EQ(Control(main, "diange")->cursor, ui::kCursorSizeNS);
  EXPECT_EQ(Control(main, "diantaidaohang")->cursor, ui::kCursorSizeWE);
  EXPECT_FALSE(Control(main, "超级菜单1")->visible);

  const auto& panel = Window(ids::kStationPanel);
  EXPECT_EQ(panel.controls.size(), 12u);
  const ui::ControlSpec* knob = Control(panel, "音量拖动");
  ASSERT_NE(knob, nullptr);
  EXPECT_EQ(knob->rect.left, 73);
  EXPECT_EQ(knob->rect.width, 33);
  EXPECT_TRUE(Bound(knob->bindings, ui::kEventLeftDown, "OnVolumeKnobDown"));
  EXPECT_TRUE(Bound(knob->bindings, ui::kEventLeftUp, "OnVolumeKnobUp"));
  EXPECT_TRUE(Bound(knob->bindings, ui::kEventMouseMove, "OnVolumeKnobMove"));
  EXPECT_EQ(Control(panel, "透明标签1")->textColour, ui::Rgb(0, 136, 255));
  EXPECT_EQ(Control(panel, "标签1")->fillColour, ui::Rgb(0, 153, 255));

  const auto& board = Window(ids::kBoard);
  const ui::ControlSpec* timer = Control(board, "时钟1");
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->kind, Kind::Timer);
  EXPECT_EQ(timer->interval, 10000);
  EXPECT_TRUE(
      Bound(Control(board, "超级列表框1")->bindings, ui::kEventListClick, "OnBoardListClicked"));

  const auto& form = Window(ids::kRequestForm);
  EXPECT_EQ(form.controls.size(), 20u);
  EXPECT_STREQ(Control(form, "透明标签6")->text,
               "歌曲地址是直接地址，例如http://xxxxxxxxxx.xxxx.xx.MP3或者.wma后缀。"
               "祝福语不要超过120字，120字我想该写的都能写清楚了吧");
  EXPECT_FALSE(Control(form, "超文本浏览框1")->visible);
  EXPECT_TRUE(Control(form, "编辑框5")->multiLine);
  EXPECT_EQ(Window(ids::kDetails).controls.size(), 6u);
  EXPECT_EQ(Window(ids::kUpdateWindow).controls.size(), 1u);

  const auto& search = Window(ids::kSearchWindow);
  EXPECT_EQ(search.controls.size(), 8u);
  EXPECT_TRUE(
      Bound(Control(search, "搜索框")->bindings, ui::kEventEnterPressed, "OnSearchRequested"));
  EXPECT_TRUE(Bound(Control(search, "搜索")->bindings, ui::kEventClicked, "OnSearchRequested"));
  EXPECT_TRUE(Bound(Control(search, "搜索结果")->bindings, ui::kEventListActivated,
                    "OnSearchResultActivated"));
  const auto& add = Window(ids::kAddStationWindow);
  EXPECT_STREQ(add.title, "添加电台");
  EXPECT_TRUE(add.framed);
  EXPECT_EQ(Control(add, "电台名称")->unitId, ids::add_station::kName);
  EXPECT_EQ(Control(add, "电台地址")->unitId, ids::add_station::kAddress);
  EXPECT_STREQ(Control(add, "添加状态")->accessibleName, "添加状态");
  EXPECT_TRUE(Bound(Control(add, "确定")->bindings, ui::kEventClicked, "OnAddStationOk"));
  EXPECT_TRUE(Bound(Control(add, "取消")->bindings, ui::kEventClicked, "OnAddStationCancel"));
}

TEST(Catalogue, TreeHoldsSixCategoriesAnd113StationsInOrder) {
  const ui::ControlSpec* tree = Control(Window(ids::kStationPanel), "树型框1");
  ASSERT_NE(tree, nullptr);
  ASSERT_EQ(tree->items.size(), 119u);
  std::vector<std::string> categories;
  std::vector<int> counts;
  for (const ui::TreeItem& item : tree->items) {
    if (item.level == 1) {
      categories.push_back(item.text);
      counts.push_back(0);
    } else {
      ASSERT_EQ(item.level, 2);
      ASSERT_FALSE(counts.empty());
      ++counts.back();
    }
  }
  EXPECT_EQ(categories, (std::vector<std::string>{"精彩电台", "网络电台", "中央广播电台",
                                                  "北京广播电台", "天津广播电台", "广东广播电台"}));
  EXPECT_EQ(counts, (std::vector<int>{12, 25, 33, 16, 16, 11}));
  // Texts are kept exactly, spaces and case included; the last item is empty.
  EXPECT_STREQ(tree->items[4].text, "CRI Hit FM 88.7");
  EXPECT_STREQ(tree->items[64].text, "CRI Hit Fm");
  EXPECT_STREQ(tree->items[71].text, "CRI Perth 104.9FM");
  EXPECT_STREQ(tree->items[118].text, "");
}

TEST(Catalogue, ListColumnsInOrderWithHiddenDataColumns) {
  const ui::ControlSpec* list = Control(Window(ids::kBoard), "超级列表框1");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->columns.size(), 10u);
  const int widths[] = {0, 50, 0, 20, 50, 0, 100, 0, 0, 100};
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(list->columns[i].width, widths[i]) << i;
  EXPECT_STREQ(list->columns[0].title, "点歌者称呼");
  EXPECT_STREQ(list->columns[9].title, "详情点击查看");
}

TEST(Catalogue, MenuHasAHiddenTopItemAndItsEntries) {
  const auto& main = Window(ids::kMainWindow);
  std::vector<const ui::ControlSpec*> items;
  for (const ui::ControlSpec& control : main.controls) {
    if (control.kind == Kind::MenuItem) items.push_back(&control);
  }
  ASSERT_EQ(items.size(), 11u);
  EXPECT_EQ(items[0]->menuLevel, 0);
  EXPECT_FALSE(items[0]->visible);
  EXPECT_TRUE(items[0]->disabled);
  const char* captions[] = {"显示主窗口", "关于Nocturo", "提交建议",  "检查更新",  "我要点歌",
                            "搜索电台…",  "添加电台…",   "导入电台…", "导出电台…", "退出"};
  const char* handlers[] = {
      "OnMenuShow",   "OnMenuAbout",      "OnMenuSuggest", "OnMenuCheckUpdate", "OnMenuRequest",
      "OnSearchMenu", "OnMenuAddStation", "OnMenuImport",  "OnMenuExport",      "OnMenuExit"};
  for (size_t i = 0; i < std::size(captions); ++i) {
    EXPECT_EQ(items[i + 1]->menuLevel, 1);
    EXPECT_STREQ(items[i + 1]->text, captions[i]);
    EXPECT_TRUE(items[i + 1]->visible);
    EXPECT_TRUE(Bound(items[i + 1]->bindings, ui::kEventClicked, handlers[i])) << captions[i];
  }
}
