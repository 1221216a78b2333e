#include "radio/station_search.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTreeWidget>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "collection/kept_stations.h"
#include "core/background.h"
#include "core/gbk.h"
#include "directory/client.h"
#include "directory/search_results.h"
#include "radio/directory_tuning.h"
#include "radio/my_stations.h"
#include "radio/player.h"
#include "skin/skin_control.h"
#include "skin/skin_text_box.h"
#include "ui/ids.h"
#include "ui/picture.h"
#include "ui/window_system.h"

namespace sonaro::radio {

namespace {

using directory::DirectoryStation;
namespace search = ids::search;

constexpr std::chrono::seconds kSearchTime{20};

struct SearchState {
  // Counts the searches; the fetching thread reads it too, to abandon a search overtaken by a
  // newer one, and an answer that comes late is dropped by it.
  std::shared_ptr<std::atomic<uint64_t>> latest = std::make_shared<std::atomic<uint64_t>>(0);
  std::vector<DirectoryStation> found;
  directory::ResultPage page;
};

SearchState& State() {
  static SearchState state;
  return state;
}

// The servers the directory's DNS name gave (found once, off the GUI thread), in the order
// that answered best; kept from one search to the next.
struct KnownServers {
  std::mutex mutex;
  std::vector<std::string> servers;
};

KnownServers& Known() {
  static KnownServers known;
  return known;
}

// Off the GUI thread.
directory::DirectoryClient ClientFor(const std::string& server) {
  if (!server.empty()) return directory::DirectoryClient(server);
  KnownServers& known = Known();
  std::lock_guard lock(known.mutex);
  if (known.servers.empty()) known.servers = directory::DiscoverServers();
  return directory::DirectoryClient(known.servers);
}

void RememberOrder(const std::string& server, directory::DirectoryClient& client) {
  if (!server.empty()) return;
  KnownServers& known = Known();
  std::lock_guard lock(known.mutex);
  known.servers = client.Servers();
}

void ShowStatus(const std::string& utf8) {
  ui::SetText(ids::kSearchWindow, search::kStatus, core::GbkFromUtf8(utf8));
}

void Enable(uint32_t unit, bool enabled) {
  if (QWidget* control = ui::ControlWidget(ids::kSearchWindow, unit)) control->setEnabled(enabled);
}

void ClearList() {
  if (auto* list =
          qobject_cast<QTreeWidget*>(ui::ControlWidget(ids::kSearchWindow, search::kResults)))
    list->clear();
}

void ShowPage(int number) {
  SearchState& state = State();
  state.page = directory::PageOf(state.found.size(), number);
  ClearList();
  for (size_t i = state.page.first; i < state.page.first + state.page.count; ++i) {
    const directory::ResultTexts texts = directory::TextsOf(state.found[i]);
    const std::string cells[] = {core::GbkFromUtf8(texts.name), core::GbkFromUtf8(texts.region),
                                 core::GbkFromUtf8(texts.coding), core::GbkFromUtf8(texts.tags)};
    ui::ListAddRow(ids::kSearchWindow, search::kResults, cells);
  }
  Enable(search::kPrevious, state.page.number > 1);
  Enable(search::kNext, state.page.number < state.page.pages);
  Enable(search::kKeep, state.page.count > 0);
  if (state.found.empty()) {
    ShowStatus("没有找到电台");
    return;
  }
  ShowStatus("找到 " + std::to_string(state.found.size()) + " 个电台（第 " +
             std::to_string(state.page.number) + "/" + std::to_string(state.page.pages) + " 页）");
}

// The result the list has selected, if any.
const DirectoryStation* SelectedResult() {
  const SearchState& state = State();
  const int row = ui::GetInt(ids::kSearchWindow, search::kResults, ui::prop::kSelectedRow);
  if (row < 0 || size_t(row) >= state.page.count) return nullptr;
  return &state.found[state.page.first + size_t(row)];
}

// Tells the directory the station was played; nobody waits for its answer.
void ReportClick(QObject* context, const std::string& uuid) {
  if (!DirectoryAllowed() || uuid.empty()) return;
  core::RunInBackground(
      context,
      [server = DirectoryServer(), uuid] {
        directory::DirectoryClient client = ClientFor(server);
        return client.Click(uuid).has_value();
      },
      [](bool) {});
}

// Beside the Main window, never over it (its station box shows what a double-click plays):
// below it, else above, else to its left, else to the right of the Station panel docked at its
// right; whole on its screen.
void Place(QWidget* window) {
  QWidget* mainWindow = ui::FindWindow(ids::kMainWindow);
  QScreen* screen = mainWindow ? mainWindow->screen() : QGuiApplication::primaryScreen();
  QRect where = window->geometry();
  if (!mainWindow || !screen) return;
  const QRect room = screen->availableGeometry();
  QRect main = mainWindow->frameGeometry();
  QRect beside = main;
  if (QWidget* panel = ui::FindWindow(ids::kStationPanel); panel && panel->isVisible())
    beside = beside.united(panel->frameGeometry());
  const QPoint candidates[] = {{main.left(), main.bottom() + 1},
                               {main.left(), main.top() - where.height()},
                               {main.left() - where.width(), main.top()},
                               {beside.right() + 1, main.top()}};
  where.moveTopLeft(candidates[0]);
  for (const QPoint& at : candidates) {
    if (room.contains(QRect(at, where.size()))) {
      where.moveTopLeft(at);
      break;
    }
  }
  where.moveLeft(std::max(room.left(), std::min(where.left(), room.right() + 1 - where.width())));
  where.moveTop(std::max(room.top(), std::min(where.top(), room.bottom() + 1 - where.height())));
  window->move(where.topLeft());
}

}  // namespace

void OnSearchMenu(const ui::Event&) {
  QWidget* window = ui::FindWindow(ids::kSearchWindow);
  if (!window || ui::IsBeingDestroyed(window)) {
    window = ui::LoadWindow(ids::kSearchWindow, ui::FindWindow(ids::kMainWindow));
    if (!window) return;
    Place(window);
  }
  window->show();
  window->raise();
  window->activateWindow();
  if (QWidget* box = ui::ControlWidget(ids::kSearchWindow, search::kBox)) box->setFocus();
}

void OnSearchWindowCreated(const ui::Event&) {
  QWidget* window = ui::FindWindow(ids::kSearchWindow);
  const QByteArray picture =
      ui::GetProperty(ids::kSearchWindow, ids::kSearchWindowUnit, ui::prop::kPicture).toByteArray();
  ui::CutOutline(window, ui::DecodePicture(picture));
  // The skin objects only bind: what they set lives on the controls.
  skin::SkinTextBox box;
  box.Bind(ui::ControlWidget(ids::kSearchWindow, search::kBox));
  box.SetBorderColor(ui::Rgb(28, 110, 194));
  box.SetTextColor(ui::Rgb(16, 52, 110));
  skin::SkinTextBox status;  // its words straight on the window's picture
  status.Bind(ui::ControlWidget(ids::kSearchWindow, search::kStatus));
  status.SetBackColor(skin::kNoColour);
  status.SetBorderColor(skin::kNoColour);
  status.SetTextColor(ui::Rgb(236, 246, 255));
  const struct {
    uint32_t unit;
    const char* name;
    bool disabledAtFirst;
  } buttons[] = {
      {search::kSearch, "search_go", false},   {search::kPrevious, "search_previous", true},
      {search::kNext, "search_next", true},    {search::kKeep, "search_keep", true},
      {search::kClose, "search_close", false},
  };
  for (const auto& b : buttons) {
    skin::SkinButton button;
    button.Bind(ui::ControlWidget(ids::kSearchWindow, b.unit));
    const std::string name = b.name;
    button.SetImageData(ui::PictureBytes((name + "_normal.png").c_str()),
                        ui::PictureBytes((name + "_hover.png").c_str()));
    // Only the buttons that wait for results have a greyed picture.
    if (b.disabledAtFirst)
      button.SetImageData(std::nullopt, std::nullopt, std::nullopt,
                          ui::PictureBytes((name + "_disabled.png").c_str()));
    Enable(b.unit, !b.disabledAtFirst);
  }
  // A window made again after the window manager closed it starts empty.
  State().found.clear();
  State().page = {};
  ShowStatus("输入电台名称或标签，按回车搜索");
}

void OnSearchRequested(const ui::Event&) {
  QWidget* window = ui::FindWindow(ids::kSearchWindow);
  if (!window) return;
  SearchState& state = State();
  // Whatever still runs is abandoned now, even when this search is not made.
  const uint64_t generation = ++*state.latest;
  state.found.clear();
  ShowPage(1);
  const std::string text = core::Utf8FromGbk(ui::GetText(ids::kSearchWindow, search::kBox));
  if (directory::SearchRequests(text).empty()) {
    ShowStatus("请输入电台名称或标签");
    return;
  }
  if (!DirectoryAllowed()) {
    ShowStatus("无法连接电台目录");
    return;
  }
  ShowStatus("正在搜索…");
  core::RunInBackground(
      window,
      [server = DirectoryServer(), text, latest = state.latest, generation] {
        // Each request has the directory's 10 s; the whole search gets twice that, however
        // many requests its text makes.
        const auto deadline = std::chrono::steady_clock::now() + kSearchTime;
        directory::DirectoryClient client = ClientFor(server);
        auto found = client.Find(text, [latest, generation, deadline] {
          return *latest != generation || std::chrono::steady_clock::now() > deadline;
        });
        RememberOrder(server, client);
        return found;
      },
      [generation](std::optional<std::vector<DirectoryStation>> found) {
        SearchState& state = State();
        if (generation != *state.latest) return;  // a newer search has the window
        if (!found) {
          ShowStatus("无法连接电台目录");
          return;
        }
        state.found = std::move(*found);
        ShowPage(1);
      });
}

void OnSearchPrevious(const ui::Event&) { ShowPage(State().page.number - 1); }

void OnSearchNext(const ui::Event&) { ShowPage(State().page.number + 1); }

void OnSearchResultActivated(const ui::Event&) {
  const DirectoryStation* station = SelectedResult();
  if (!station) return;
  // As a station of the list plays: the name shows while the stream connects.
  const core::Text name = core::GbkFromUtf8(station->name);
  ui::SetText(ids::kMainWindow, ids::main::kStationBox, name);
  OtherStationChosen();
  if (PagePlayer* player = Player()) player->Play(station->url, name);
  ReportClick(ui::FindWindow(ids::kSearchWindow), station->uuid);
}

void OnSearchKeep(const ui::Event&) {
  const DirectoryStation* station = SelectedResult();
  if (!station) {
    ShowStatus("请先选择一个电台");
    return;
  }
  KeepStation(station->name, station->url, [](collection::Change change) {
    switch (change) {
      case collection::Change::kDone:
        ShowStatus("已收藏到我的电台");
        return;
      case collection::Change::kDuplicate:
        ShowStatus("我的电台里已有这个电台");
        return;
      case collection::Change::kNotStreamAddress:
        ShowStatus("无法收藏：这不是电台的地址");
        return;
      case collection::Change::kFull:
        ShowStatus("无法收藏：我的电台已满");
        return;
      case collection::Change::kNotLoaded:
        ShowStatus("无法收藏：读不出我的电台");
        return;
      case collection::Change::kNotSaved:
        ShowStatus("无法收藏：我的电台无法保存");
        return;
      case collection::Change::kNoSuchStation:
        break;
    }
    ShowStatus("无法收藏：没有这个电台");
  });
}

void OnSearchClose(const ui::Event&) {
  ui::SetProperty(ids::kSearchWindow, ids::kSearchWindowUnit, ui::prop::kVisible, false);
}

}  // namespace sonaro::radio
