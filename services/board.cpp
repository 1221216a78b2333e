#include "services/board.h"

#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/background.h"
#include "core/service_contract.h"
#include "core/text.h"
#include "core/webget.h"
#include "services/handlers.h"
#include "services/service_host.h"
#include "skin/skin_control.h"
#include "ui/docking.h"
#include "ui/ids.h"
#include "ui/picture.h"
#include "ui/window_system.h"

namespace sonaro::services {

namespace {

skin::SkinButton& BoardButtonSkin() {
  static skin::SkinButton button;
  return button;
}

core::Text Field(const core::XmlDoc& feed, int record, std::string_view tag) {
  return feed.Value("@1/@" + std::to_string(record) + "/" + std::string(tag));
}

}  // namespace

core::WebGetOptions& BoardFetchOptions() {
  static core::WebGetOptions options = core::PageFetchOptions();
  return options;
}

DedicationRow RowFromFeed(const core::XmlDoc& feed, int record) {
  core::Dedication d;
  for (const core::DedicationField& field : core::kDedicationFields) {
    d.*field.member = Field(feed, record, field.feedTag);
  }
  DedicationRow row;
  row[column::kDedicatorTitle] = d.dedicatorTitle;
  row[column::kDedicator] = d.dedicator;
  row[column::kRecipientTitle] = d.recipientTitle;
  row[column::kFor] = core::GbkFromUtf8("为");
  row[column::kRecipient] = d.recipient;
  row[column::kSong] = d.song;
  row[column::kDedicated] = core::GbkFromUtf8("点播了一首歌曲");
  row[column::kAddress] = d.songAddress;
  row[column::kWishes] = d.wishes;
  row[column::kDetails] = core::GbkFromUtf8("<详情点击查看>");
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
  std::unordered_set<core::Text> texts;
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
    const std::vector<core::Text> texts =
        ui::ListColumnTexts(ids::kBoard, ids::board::kList, column::kWishes);
    listed.texts = std::unordered_set<core::Text>(texts.begin(), texts.end());
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
  core::Bytes announcement;
  std::vector<DedicationRow> rows;
};

RefreshResult FetchRefresh(const core::Text& feedAddress, const core::Text& announcementAddress,
                           const core::WebGetOptions& options) {
  RefreshResult result;
  core::WebGetOptions capped = options;
  capped.maxBytes = std::min(options.maxBytes, kMaxFeedBytes);
  const core::Bytes feed = core::WebGet(feedAddress, capped);
  capped.maxBytes = std::min(options.maxBytes, kMaxAnnouncementBytes);
  result.announcement = core::WebGet(announcementAddress, capped);
  core::XmlDoc doc;
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
  core::RunInBackground(
      board,
      [feed = ServiceAddress(core::resource::kFeed),
       announcement = ServiceAddress(core::resource::kAnnouncement),
       options = BoardFetchOptions()] { return FetchRefresh(feed, announcement, options); },
      [](RefreshResult result) {
        g_refreshing = nullptr;
        if (QWidget* shown = ui::FindWindow(ids::kBoard)) shown->repaint();
        ui::SetText(ids::kBoard, ids::board::kAnnouncement,
                    core::TextFromBytes(result.announcement));
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
