#include "services/board.h"

#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/ids.h"
#include "app/winsys/docking.h"
#include "app/winsys/picture.h"
#include "app/winsys/window_system.h"
#include "services/core/background.h"
#include "services/core/text.h"
#include "services/core/webget.h"
#include "services/handlers.h"
#include "services/service_host.h"
#include "skin/skin_control.h"

namespace sonaro::services {

namespace {

skin::SkinButton& BoardButtonSkin() {
  static skin::SkinButton button;
  return button;
}

Text Field(const XmlDoc& feed, int record, const char* name) {
  return feed.Value("@1/@" + std::to_string(record) + "/" + name);
}

}  // namespace

WebGetOptions& BoardFetchOptions() {
  static WebGetOptions options = PageFetchOptions();
  return options;
}

DedicationRow RowFromFeed(const XmlDoc& feed, int record) {
  DedicationRow row;
  row[column::kDedicatorTitle] = Field(feed, record, "chenghu");
  row[column::kDedicator] = Field(feed, record, "diangezhe");
  row[column::kRecipientTitle] = Field(feed, record, "beichenghu");
  row[column::kFor] = GbkFromUtf8("为");
  row[column::kRecipient] = Field(feed, record, "beidiangezhe");
  row[column::kSong] = Field(feed, record, "geming");
  row[column::kDedicated] = GbkFromUtf8("点播了一首歌曲");
  row[column::kAddress] = Field(feed, record, "gequdizhi");
  row[column::kWishes] = Field(feed, record, "zhufuyu");
  row[column::kDetails] = GbkFromUtf8("<详情点击查看>");
  return row;
}

namespace {

// The wishes texts the list holds, kept from one refresh to the next so that a refresh costs
// what the feed brings, not what the list holds. Made again from the list whenever the list is
// another one or its row count is not the one left here (rows were taken out or put in by other
// means).
struct ListedWishes {
  QPointer<QObject> list;
  int rows = -1;
  std::unordered_set<Text> texts;
};

ListedWishes& Listed() {
  static ListedWishes listed;
  return listed;
}

}  // namespace

int AppendNewDedications(const std::vector<DedicationRow>& rows) {
  ListedWishes& listed = Listed();
  QObject* list = ui::FindControl(ids::kBoard, ids::board::kList);
  if (!list) return 0;
  if (listed.list != list || listed.rows != ui::ListRowCount(ids::kBoard, ids::board::kList)) {
    const std::vector<Text> texts =
        ui::ListColumnTexts(ids::kBoard, ids::board::kList, column::kWishes);
    listed.texts = std::unordered_set<Text>(texts.begin(), texts.end());
    listed.list = list;
  }
  int appended = 0;
  for (const DedicationRow& row : rows) {
    if (!listed.texts.insert(row[column::kWishes]).second) continue;
    ui::ListAddRow(ids::kBoard, ids::board::kList, row);
    ++appended;
  }
  listed.rows = ui::ListRowCount(ids::kBoard, ids::board::kList);
  return appended;
}

void OnBoardCreated(const ui::Event&) {
  // 1. Hang below the Main window, overlapping it by 11 pixels.
  const int left = ui::GetInt(ids::kMainWindow, ids::kMainWindowUnit, ui::prop::kLeft);
  const int top = ui::GetInt(ids::kMainWindow, ids::kMainWindowUnit, ui::prop::kTop);
  const int height = ui::GetInt(ids::kMainWindow, ids::kMainWindowUnit, ui::prop::kHeight);
  ui::DockWindow(ids::kBoard, ids::kBoardUnit, left, top + height - 11, ids::kMainWindow,
                 ids::kMainWindowUnit, ui::DockSide::kBelow);
  // 2. The request button is an image button.
  BoardButtonSkin().Bind(ui::ControlWidget(ids::kBoard, ids::board::kRequestButton));
  BoardButtonSkin().SetImageData(ui::PictureBytes("board_button_normal.png"),
                                 ui::PictureBytes("board_button_hover.png"));
  // 3. The outline: white is outside the board.
  const QByteArray picture =
      ui::GetProperty(ids::kBoard, ids::kBoardUnit, ui::prop::kPicture).toByteArray();
  ui::CutOutline(ui::FindWindow(ids::kBoard), ui::DecodePicture(picture));
}

namespace {

// What one refresh brings from the host, read off the GUI thread.
struct RefreshResult {
  Bytes announcement;
  std::vector<DedicationRow> rows;
};

RefreshResult FetchRefresh(const Text& feedAddress, const Text& announcementAddress,
                           const WebGetOptions& options) {
  RefreshResult result;
  WebGetOptions capped = options;
  capped.maxBytes = std::min(options.maxBytes, kMaxFeedBytes);
  const Bytes feed = WebGet(feedAddress, capped);
  capped.maxBytes = std::min(options.maxBytes, kMaxAnnouncementBytes);
  result.announcement = WebGet(announcementAddress, capped);
  XmlDoc doc;
  doc.Load(feed);
  const auto records = doc.ChildCount("@1/");
  if (records < 0 || size_t(records) > kMaxFeedRecords) return result;
  result.rows.reserve(records);
  for (int i = 1; i <= int(records); ++i) result.rows.push_back(RowFromFeed(doc, i));
  doc.Release();
  return result;
}

// The board whose refresh is under way; a tick that comes while it runs is skipped.
QPointer<QWidget> g_refreshing;

}  // namespace

bool BoardRefreshRunning() { return g_refreshing != nullptr; }

void OnBoardRefresh(const ui::Event&) {
  QWidget* board = ui::FindWindow(ids::kBoard);
  if (!board || g_refreshing) return;
  g_refreshing = board;
  // The host may be slow or silent: both fetches and the reading of the feed run off the GUI
  // thread; the result is applied here in the order the board always had.
  RunInBackground(
      board,
      [feed = ServiceAddress("/gg/diangatai1/xmlxianshi.asp"),
       announcement = ServiceAddress("/gonggao.txt"),
       options = BoardFetchOptions()] { return FetchRefresh(feed, announcement, options); },
      [](RefreshResult result) {
        g_refreshing = nullptr;
        if (QWidget* shown = ui::FindWindow(ids::kBoard)) shown->repaint();
        ui::SetText(ids::kBoard, ids::board::kAnnouncement, TextFromBytes(result.announcement));
        AppendNewDedications(result.rows);
      });
}

void OnBoardListClicked(const ui::Event&) {
  const int selected = ui::GetInt(ids::kBoard, ids::board::kList, ui::prop::kSelectedRow);
  DedicationRow row;  // all empty when nothing is selected
  for (int c = 0; c < int(row.size()); ++c) {
    row[size_t(c)] = ui::ListCellText(ids::kBoard, ids::board::kList, selected, c);
  }
  ShowDedication(row);
}

void OnBoardRequestClicked(const ui::Event&) {
  ui::LoadWindow(ids::kRequestForm, ui::FindWindow(ids::kBoard));
}

}  // namespace sonaro::services
