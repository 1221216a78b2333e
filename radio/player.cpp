#include "radio/player.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QUrl>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "assets/assets.h"
#include "browser/browser_control.h"
#include "core/files.h"
#include "core/stages.h"
#include "radio/directory_tuning.h"
#include "radio/now_playing.h"
#include "radio/page_template.h"
#include "ui/facilities.h"
#include "ui/ids.h"
#include "ui/window_system.h"

namespace sonaro::radio {

namespace {

std::unique_ptr<PagePlayer> g_player;

// A folder of the user's own, not reachable through a link: made with mode 0700 if missing.
bool PrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
}

std::string CacheHome() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache && cache[0] == '/') return cache;
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') {
    const passwd* user = ::getpwuid(::geteuid());
    home = user ? user->pw_dir : nullptr;
  }
  if (!home || home[0] != '/') return {};
  return std::string(home) + "/.cache";
}

// file:/// and the path, every character that needs it percent-encoded.
core::Text PageAddress(const core::Text& path) {
  return QUrl::fromLocalFile(QString::fromStdString(core::Utf8FromGbk(path)))
      .toEncoded()
      .toStdString();
}

// Nothing is written when the folder is unknown: a bare file name would land in whatever the
// current folder happens to be.
void WriteIntoFolder(const core::Text& path, std::string_view bytes) {
  if (path.empty() || path[0] != '/') return;
  core::WriteFile(core::Utf8FromGbk(path), bytes);
}

}  // namespace

core::Text PageFolder() {
  const std::string cache = CacheHome();
  if (cache.empty()) return {};
  // The cache folder itself may be missing on a fresh account.
  if (::mkdir(cache.c_str(), 0700) != 0 && errno != EEXIST) return {};
  const std::string own = cache + "/sonaro";
  const std::string temp = own + "/Temp";
  if (!PrivateFolder(own) || !PrivateFolder(temp)) return {};
  return core::GbkFromUtf8(temp + "/");
}

void PagePlayer::Create(QWidget* parent, std::optional<int> top, std::optional<int> left,
                        std::optional<int> width, std::optional<int> height,
                        const std::vector<core::Text>& playlist) {
  // 1.-2.
  if (browser_.IsCreated() && parent == parent_) browser_.Close();
  ui::LetPendingMessagesRun();
  // 3.-4.
  const int w = width.value_or(0) == 0 ? 400 : *width;
  const int h = height.value_or(0) == 0 ? 65 : *height;
  pagePath_ = PageFolder();
  const core::Text folder = pagePath_;
  // 5.-8.
  const core::Text playlistText = PlaylistText(playlist);
  pageText_ = PageWithSize(w, h);
  top_ = top.value_or(0);
  left_ = left.value_or(0);
  width_ = w;
  height_ = h;
  pageText_ = FillPlaylist(pageText_, playlistText);
  // 9.-11.
  if (!folder.empty()) {
    const QByteArray cursor = assets::Bytes(QStringLiteral("xiao.cur"));
    WriteIntoFolder(folder + "xiao.cur",
                    std::string_view(cursor.constData(), size_t(cursor.size())));
  }
  pagePath_ = folder + "qvpl.html";
  if (!folder.empty()) WriteIntoFolder(pagePath_, pageText_);
  pagePath_ = PageAddress(pagePath_);
  // 12.-14.
  browser_.Create(pagePath_, left_, top_, width_, height_, {}, {}, parent);
  parent_ = parent;
  browser::InstallRightClickFilter(browser_.GetHandle());
  if (playlist.empty()) {
    NoteStopped();
  } else {
    NotePlay(playlist.front(), {});
  }
}

void PagePlayer::SetVisible(bool visible) { browser_.Visible(visible); }

void PagePlayer::SetDisabled(bool disabled) { browser_.Disabled(disabled); }

void PagePlayer::SetBounds(int top, int left, int width, int height) {
  browser_.Top(top);
  browser_.Left(left);
  browser_.Width(width);
  browser_.Height(height);
}

bool PagePlayer::IsCreated() const { return browser_.IsCreated(); }

void PagePlayer::Play(const core::Text& address, const core::Text& displayName) {
  // 1.-2.
  if (!parent_) return;
  // The connection is made while the page is written and loaded; the page still starts the
  // sound.
  browser::PrefetchStream(address);
  ui::LetPendingMessagesRun();
  // 3.-5.
  pagePath_ = PageFolder();
  const core::Text folder = pagePath_;
  pageText_ = PageWithSize(width_, height_);
  pageText_ = FillPlaylist(pageText_, PlaylistLine(address));
  // 6.-7.
  pagePath_ = folder + "qvpl.html";
  if (!folder.empty()) WriteIntoFolder(pagePath_, pageText_);
  pagePath_ = PageAddress(pagePath_);
  core::NoteStage("page written");
  // 8.-10.
  browser_.Close();
  core::NoteStage("old view closed");
  browser_.Create(pagePath_, left_, top_, width_, height_, {}, {}, parent_.data());
  core::NoteStage("view created");
  browser::InstallRightClickFilter(browser_.GetHandle());
  NotePlay(address, displayName);
  ShowStreamState();
}

void PagePlayer::Close() {
  browser_.Close();
  NoteStopped();
  ShowStreamState();
}

void ShowStreamState() {
  ui::SetText(ids::kMainWindow, ids::main::kStatusBox, StatusText(CurrentlyPlaying()));
}

namespace {

void OnStreamState(int state) {
  NoteStreamState(state);
  ShowStreamState();
  if (CurrentlyPlaying().state == StreamState::Failed) DirectoryStationFailed();
}

}  // namespace

void ConstructPlayer() {
  if (!g_player) g_player = std::make_unique<PagePlayer>();
  browser::SetStreamTitleHandler(&NoteStreamTitle);
  browser::SetStreamStateHandler(&OnStreamState);
}

void DestroyPlayer() {
  browser::SetStreamTitleHandler(nullptr);
  browser::SetStreamStateHandler(nullptr);
  g_player.reset();
}

PagePlayer* Player() { return g_player.get(); }

}  // namespace sonaro::radio
