#include "radio/my_stations_ui.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStringList>
#include <QTreeWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "collection/station_list.h"
#include "core/gbk.h"
#include "core/stages.h"
#include "radio/my_stations.h"
#include "radio/now_playing.h"
#include "radio/player.h"
#include "radio/stations.h"
#include "ui/facilities.h"
#include "ui/ids.h"
#include "ui/widgets.h"
#include "ui/window_system.h"

namespace sonaro::radio {

namespace {

using collection::Change;
using collection::KeptStation;

constexpr int kCategoryIndex = int(kTreeItemCount);  // 我的电台, after the built-in items
constexpr int kFirstKeptIndex = kCategoryIndex + 1;
constexpr size_t kNone = size_t(-1);

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
core::Text Gbk(const QString& text) { return core::ToGbk(text); }

// The kept stations as the tree shows them: item kFirstKeptIndex + i is g_inTree[i].
std::vector<KeptStation> g_inTree;

size_t KeptIndexOf(int treeIndex) {
  const int i = treeIndex - kFirstKeptIndex;
  return i >= 0 && size_t(i) < g_inTree.size() ? size_t(i) : kNone;
}

// Where the station with this address is in MyStations(), whose indexes the changes take.
size_t ListIndexOf(const std::string& address) {
  const auto& list = MyStations();
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].address == address) return i;
  }
  return kNone;
}

void Tell(const QString& text, const char* title, int icon = ui::kMbIconInformation) {
  ui::MessageBox(Gbk(text), ui::kMbOk | icon, Gbk(Q(title)));
}

// A change the list refused for a reason of its own; a station gone meanwhile needs no word.
void TellRefusal(Change change, const char* title) {
  if (change == Change::kNotLoaded)
    Tell(Q("我的电台的文件未能读取，暂时不能更改。"), title, ui::kMbIconWarning);
  else if (change == Change::kNotSaved)
    Tell(Q("无法保存我的电台，没有更改。"), title, ui::kMbIconError);
}

// Rebuilt whole after every change, without a selection event (which would play a station):
// the selected kept station stays selected when it is still there.
void FillTree() {
  using ids::kStationPanel;
  using ids::panel::kTree;
  QWidget* tree = ui::ControlWidget(kStationPanel, kTree);
  if (!tree || ui::TreeItemCount(kStationPanel, kTree) < kCategoryIndex) return;
  const size_t selected = KeptIndexOf(ui::GetInt(kStationPanel, kTree, ui::prop::kSelectedItem));
  const std::string selectedAddress = selected == kNone ? "" : g_inTree[selected].address;
  const QSignalBlocker quiet(tree);
  ui::TreeRemoveItemsFrom(kStationPanel, kTree, kFirstKeptIndex);
  if (ui::TreeItemCount(kStationPanel, kTree) == kCategoryIndex)
    ui::TreeAddItem(kStationPanel, kTree, core::GbkFromUtf8("我的电台"), 1);
  g_inTree = MyStations();
  for (const KeptStation& station : g_inTree)
    ui::TreeAddItem(kStationPanel, kTree, core::GbkFromUtf8(station.name), 2);
  for (size_t i = 0; i < g_inTree.size() && !selectedAddress.empty(); ++i) {
    if (g_inTree[i].address == selectedAddress)
      ui::SetInt(kStationPanel, kTree, ui::prop::kSelectedItem, kFirstKeptIndex + int(i));
  }
}

void TellLoad(const collection::LoadResult& result) {
  static bool told = false;  // once a run, however often the panel is made
  using collection::LoadStatus;
  if (told || result.status == LoadStatus::kLoaded) return;
  told = true;
  const QString aside = QString::fromStdString(result.asidePath);
  QString text;
  switch (result.status) {
    case LoadStatus::kMovedAside:
      text = Q("我的电台的文件无法读取，已移到：\n%1\n我的电台现在是空的。").arg(aside);
      break;
    case LoadStatus::kPartlyKept:
      text = Q("我的电台的文件有些内容无法读取，只保留了能读取的电台。原来的文件已移到：\n%1")
                 .arg(aside);
      break;
    default:
      text = Q("无法读取我的电台的文件，这次的更改不会保存。");
      if (!aside.isEmpty()) text += Q("\n原来的文件在：\n%1").arg(aside);
      break;
  }
  Tell(text, "我的电台", ui::kMbIconWarning);
}

void RemoveKept(const std::string& address) {
  const size_t index = ListIndexOf(address);
  if (index == kNone) return;
  RemoveMyStation(index, [](Change change) { TellRefusal(change, "删除"); });
}

void AskNewName(const KeptStation& station, QWidget* over) {
  auto* dialog = new QDialog(over ? over->window() : nullptr);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(Q("重命名"));
  auto* name = new QLineEdit(QString::fromStdString(station.name), dialog);
  name->setAccessibleName(Q("电台名称"));
  name->setMaxLength(int(collection::kMaxNameBytes));
  name->selectAll();
  auto* buttons = new QDialogButtonBox(dialog);
  buttons->addButton(Q("确定"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(Q("取消"), QDialogButtonBox::RejectRole);
  auto* layout = new QFormLayout(dialog);
  layout->addRow(Q("电台名称："), name);
  layout->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  // The station is found by its address when the name comes: the list may have changed.
  QObject::connect(dialog, &QDialog::accepted, dialog, [name, address = station.address] {
    const size_t index = ListIndexOf(address);
    if (index == kNone) return;
    RenameMyStation(index, name->text().toStdString(),
                    [](Change change) { TellRefusal(change, "重命名"); });
  });
  dialog->open();
}

void OfferKeptStationMenu(ui::CatalogueTree* tree, const QPoint& at) {
  const size_t kept = KeptIndexOf(tree->StoredIndex(tree->itemAt(at)));
  if (kept == kNone) return;  // the built-in items and the category offer nothing
  const KeptStation station = g_inTree[kept];
  auto* menu = new QMenu(tree);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->setAccessibleName(Q("我的电台"));
  menu->addAction(Q("删除"), menu, [address = station.address] { RemoveKept(address); });
  menu->addAction(Q("重命名"), menu, [station, tree] { AskNewName(station, tree); });
  menu->popup(tree->viewport()->mapToGlobal(at));
}

// --- 添加电台 --------------------------------------------------------------------------------

// A station being tried: kept once its stream plays.
struct Attempt {
  bool active = false;
  std::string name;     // UTF-8, as listed
  std::string address;  // as StreamAddress gives it
  uint64_t play = 0;    // NowPlaying::play of its stream; 0 until Play has noted it
};
Attempt g_attempt;

void SetStatus(const char* utf8) {
  const core::Text text = core::GbkFromUtf8(utf8);
  ui::SetText(ids::kAddStationWindow, ids::add_station::kStatus, text);
  // The label is named 添加状态; what it says is its description too, for screen readers.
  if (QWidget* label = ui::ControlWidget(ids::kAddStationWindow, ids::add_station::kStatus))
    label->setAccessibleDescription(QString::fromUtf8(utf8));
}

void EndAttempt(const char* status) {
  g_attempt.active = false;
  SetStatus(status);
}

void Kept(Change change) {
  switch (change) {
    case Change::kDone:
      return SetStatus("已添加到我的电台");
    case Change::kDuplicate:
      return SetStatus("我的电台里已有这个电台");
    case Change::kFull:
      return SetStatus("我的电台已满（最多 1000 个），未添加");
    case Change::kNotLoaded:
      return SetStatus("我的电台的文件未能读取，未添加");
    case Change::kNotSaved:
      return SetStatus("无法保存我的电台，未添加");
    default:
      return SetStatus("无法播放这个地址，未添加");
  }
}

// Told on every change of what plays.
void WatchAttempt() {
  if (!g_attempt.active || g_attempt.play == 0) return;
  const NowPlaying& now = CurrentlyPlaying();
  if (now.play != g_attempt.play) return EndAttempt("已改播其他电台，未添加");
  if (!now.playing || now.state == StreamState::Failed)
    return EndAttempt("无法播放这个地址，未添加");
  if (now.state != StreamState::Playing) return;
  g_attempt.active = false;
  SetStatus("正在添加…");
  KeepStation(g_attempt.name, g_attempt.address, &Kept);
}

bool HasAddress(const std::string& address) { return ListIndexOf(address) != kNone; }

std::string Trimmed(const std::string& text) {
  return QString::fromStdString(text).trimmed().toStdString();
}

}  // namespace

void ShowMyStations() {
  auto* tree =
      dynamic_cast<ui::CatalogueTree*>(ui::ControlWidget(ids::kStationPanel, ids::panel::kTree));
  if (!tree) return;
  FillTree();
  tree->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(tree, &QWidget::customContextMenuRequested, tree,
                   [tree](const QPoint& at) { OfferKeptStationMenu(tree, at); });
  SetMyStationsObserver(&FillTree);
  LoadMyStations([](const collection::LoadResult& result) {
    FillTree();
    TellLoad(result);
  });
}

void PlayKeptStationAt(int treeIndex) {
  const size_t kept = KeptIndexOf(treeIndex);
  if (kept == kNone) return;
  // A copy: playing lets pending events run, and a change may refill the tree meanwhile.
  const KeptStation station = g_inTree[kept];
  const core::Text name = core::GbkFromUtf8(station.name);
  core::NoteStage("click");
  ui::SetText(ids::kMainWindow, ids::main::kStationBox, name);
  if (PagePlayer* player = Player()) player->Play(core::GbkFromUtf8(station.address), name);
}

void OnMenuAddStation(const ui::Event&) {
  QWidget* window = ui::FindWindow(ids::kAddStationWindow);
  if (!window) window = ui::LoadWindow(ids::kAddStationWindow, ui::FindWindow(ids::kMainWindow));
  if (!window) return;
  if (!g_attempt.active) {
    using namespace ids::add_station;
    ui::SetText(ids::kAddStationWindow, kName, {});
    ui::SetText(ids::kAddStationWindow, kAddress, {});
    SetStatus("");
  }
  window->show();
  window->raise();
  window->activateWindow();
}

void OnAddStationCreated(const ui::Event& event) {
  static bool watching = false;
  if (!watching) AddNowPlayingObserver(&WatchAttempt);
  watching = true;
  auto* window = qobject_cast<QWidget*>(event.source);
  if (!window) window = ui::FindWindow(ids::kAddStationWindow);
  if (!window) return;
  QPalette palette = window->palette();
  palette.setColor(QPalette::Window, Qt::white);
  window->setPalette(palette);
  window->setAutoFillBackground(true);
  if (auto* address = qobject_cast<QLineEdit*>(
          ui::ControlWidget(ids::kAddStationWindow, ids::add_station::kAddress)))
    address->setPlaceholderText(Q("http://…"));
  // Closing the window gives the station up, as 取消 does.
  QObject::connect(window, &QObject::destroyed, [] { g_attempt.active = false; });
}

void OnAddStationOk(const ui::Event&) {
  using namespace ids::add_station;
  if (g_attempt.active) return;  // the station tried now is answered first
  const std::string name = Trimmed(core::Utf8FromGbk(ui::GetText(ids::kAddStationWindow, kName)));
  const std::string typed =
      Trimmed(core::Utf8FromGbk(ui::GetText(ids::kAddStationWindow, kAddress)));
  const std::optional<std::string> address = collection::StreamAddress(typed);
  if (!address) return SetStatus("请填写电台的网络地址（http:// 或 https:// 开头）");
  if (HasAddress(*address)) return SetStatus("我的电台里已有这个电台");
  g_attempt = {true, collection::StationName(name, *address), *address, 0};
  const core::Text gbkName = core::GbkFromUtf8(g_attempt.name);
  const core::Text gbkAddress = core::GbkFromUtf8(*address);
  SetStatus("正在连接…");
  ui::SetText(ids::kMainWindow, ids::main::kStationBox, gbkName);
  const uint64_t before = CurrentlyPlaying().play;
  if (PagePlayer* player = Player()) player->Play(gbkAddress, gbkName);
  const NowPlaying& now = CurrentlyPlaying();
  if (!g_attempt.active) return;  // given up while the page was made
  if (now.play == before || now.address != gbkAddress)
    return EndAttempt("无法播放这个地址，未添加");
  g_attempt.play = now.play;
  WatchAttempt();
}

void OnAddStationCancel(const ui::Event&) {
  g_attempt.active = false;
  SetStatus("");
  ui::SetProperty(ids::kAddStationWindow, ids::kAddStationWindowUnit, ui::prop::kVisible, false);
}

// --- import and export ------------------------------------------------------------------------

namespace {

QString ShownPath(const std::string& path) { return QFile::decodeName(path.c_str()); }

void TellImport(const std::string& path, const ImportAnswer& answer) {
  using collection::FileRead;
  using collection::ListFormat;
  const char* title = "导入电台";
  const QString file = ShownPath(path);
  switch (answer.file) {
    case FileRead::kRead:
      break;
    case FileRead::kMissing:
      return Tell(Q("找不到这个文件：\n%1").arg(file), title, ui::kMbIconError);
    case FileRead::kTooLarge:
      return Tell(Q("这个文件太大，不是电台列表：\n%1").arg(file), title, ui::kMbIconError);
    case FileRead::kFailed:
      return Tell(Q("无法读取这个文件：\n%1").arg(file), title, ui::kMbIconError);
  }
  const collection::ReadResult& read = answer.result.read;
  if (read.format == ListFormat::kNotAList)
    return Tell(Q("这个文件不是电台列表，没有导入电台：\n%1").arg(file), title, ui::kMbIconWarning);
  if (answer.result.change != Change::kDone) return TellRefusal(answer.result.change, title);
  if (read.format == ListFormat::kEmpty)
    return Tell(Q("这个文件里没有电台：\n%1").arg(file), title);
  QString text = Q("已添加 %1 个电台到我的电台。").arg(read.Added());
  QStringList leftOut;
  if (read.duplicates) leftOut << Q("%1 个已经有了").arg(read.duplicates);
  if (read.notStreams) leftOut << Q("%1 个不是电台地址").arg(read.notStreams);
  if (read.overCap)
    leftOut << Q("%1 个超过了 %2 个的上限").arg(read.overCap).arg(collection::kMaxKeptStations);
  if (!leftOut.isEmpty()) text += Q("\n未添加：") + leftOut.join(Q("，")) + Q("。");
  if (read.cutShort) text += Q("\n这个文件似乎不完整，已添加读到的电台。");
  Tell(text, title);
}

// One dialog of each kind at a time: the menu brings an open one forward.
bool Raise(QWidget* dialog) {
  if (!dialog) return false;
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  return true;
}

QFileDialog* NewFileDialog(const char* title, QFileDialog::AcceptMode mode) {
  // Qt's own dialog: it works alike on every desktop and under a virtual X server, and screen
  // readers reach it.
  auto* dialog = new QFileDialog(nullptr, Q(title));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(mode);
  dialog->setDirectory(QDir::homePath());
  return dialog;
}

}  // namespace

void OnMenuImport(const ui::Event&) {
  static QPointer<QFileDialog> open;
  if (Raise(open)) return;
  open = NewFileDialog("导入电台", QFileDialog::AcceptOpen);
  open->setFileMode(QFileDialog::ExistingFile);
  open->setNameFilters({Q("电台列表 (*.m3u *.m3u8 *.pls)"), Q("所有文件 (*)")});
  QObject::connect(open, &QFileDialog::fileSelected, [](const QString& file) {
    const std::string path = QFile::encodeName(file).toStdString();
    // The file is read on the worker: a list of any length leaves the window responsive.
    ImportStations(path, [path](const ImportAnswer& answer) { TellImport(path, answer); });
  });
  open->show();
}

void OnMenuExport(const ui::Event&) {
  static QPointer<QFileDialog> save;
  if (Raise(save)) return;
  save = NewFileDialog("导出电台", QFileDialog::AcceptSave);
  save->setFileMode(QFileDialog::AnyFile);
  const QString m3u = Q("M3U 电台列表 (*.m3u)"), pls = Q("PLS 电台列表 (*.pls)");
  save->setNameFilters({m3u, pls});
  // A name without an ending gets the chosen kind's; M3U unless PLS is chosen.
  save->setDefaultSuffix(Q("m3u"));
  QObject::connect(save, &QFileDialog::filterSelected, save,
                   [dialog = save.data(), pls](const QString& filter) {
                     dialog->setDefaultSuffix(filter == pls ? Q("pls") : Q("m3u"));
                   });
  save->selectFile(Q("我的电台.m3u"));
  QObject::connect(save, &QFileDialog::fileSelected, [](const QString& chosen) {
    QString file = chosen;
    if (QFileInfo(file).suffix().isEmpty()) file += Q(".m3u");
    const std::string path = QFile::encodeName(file).toStdString();
    ExportStations(path, [path](bool saved) {
      if (!saved)
        Tell(Q("无法写入这个文件：\n%1").arg(ShownPath(path)), "导出电台", ui::kMbIconError);
    });
  });
  save->show();
}

}  // namespace sonaro::radio
