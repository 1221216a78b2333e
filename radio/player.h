// PagePlayer: plays a stream by writing the Player page into the page folder and showing it
// in a small browser window placed out of sight in a window of the program; the page's media
// player plays the page's playlist. Every Play rewrites the page and replaces the window.
#pragma once

#include <QPointer>
#include <QWidget>
#include <optional>
#include <vector>

#include "browser/browser_host.h"
#include "core/gbk.h"

namespace sonaro::radio {

// The page folder: "Temp/" in the program's private per-user folder ($XDG_CACHE_HOME/sonaro,
// else ~/.cache/sonaro), both made with mode 0700 when missing. GBK, ending in '/'; empty when
// there is no such folder that belongs to the user and cannot be made.
core::Text PageFolder();

class PagePlayer {
 public:
  PagePlayer() = default;
  ~PagePlayer() = default;                  // slot 0
  PagePlayer(const PagePlayer&) = default;  // slot 1
  PagePlayer& operator=(const PagePlayer&) = default;

  // 2: writes the cursor file and the page for the playlist's addresses (width 0 or omitted:
  // 400, height: 65) and shows the page in a new browser window in parent at (left, top).
  void Create(QWidget* parent, std::optional<int> top, std::optional<int> left,
              std::optional<int> width, std::optional<int> height,
              const std::vector<core::Text>& playlist);
  void SetVisible(bool visible);                             // 3
  void SetDisabled(bool disabled);                           // 4
  void SetBounds(int top, int left, int width, int height);  // 5
  bool IsCreated() const;                                    // 6
  // 7: the page for this one address, shown in a new window in place of the old one. Nothing
  // happens before Create. displayName: what the station box shows for it (NowPlaying).
  void Play(const core::Text& address, const core::Text& displayName = {});
  void Close();  // 8

  const core::Text& PagePath() const { return pagePath_; }  // the page address once built
  const core::Text& PageText() const { return pageText_; }
  browser::BrowserHost& Browser() { return browser_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Left() const { return left_; }
  int Top() const { return top_; }

 private:
  core::Text pagePath_;
  core::Text pageText_;
  browser::BrowserHost browser_;
  int width_ = 0;
  int height_ = 0;
  // Held weakly: a parent that is gone counts as none.
  QPointer<QWidget> parent_;
  int left_ = 0;
  int top_ = 0;
};

// The program-wide player: made with the program-wide objects, destroyed at clean-up.
void ConstructPlayer();
// The Main window's status box says what the stream does: 正在连接…, nothing once sound comes,
// 无法播放 when nothing of it plays.
void ShowStreamState();
void DestroyPlayer();
// Null outside that span.
PagePlayer* Player();

}  // namespace sonaro::radio
