// BrowserHost: a browser window the program creates and throws away at will inside one of its
// windows (the player's page lives in one). The window is a hosting widget whose text is the
// address it loads; it holds the view, which holds the rendering widget.
//
// Program-wide state: the control registry (one record per window ever created, identifiers
// 1, 2, 3 ... never reused), the parents the notification router is installed on, and the
// right-click filter.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <optional>

#include "core/gbk.h"

class QEvent;

namespace sonaro::browser {

// Receives a notification that concerns a registered control, before the parent handles it.
using ControlHandler = void (*)(int identifier, QEvent* event);

// The address used when Create is given none.
inline constexpr const char* kDefaultHomePage = "about:blank";

class BrowserHost {
 public:
  BrowserHost() = default;
  // Slot 0. Forgets the window (which lives on until its parent goes).
  ~BrowserHost();
  // Slot 1: a copy refers to the same window.
  BrowserHost(const BrowserHost&) = default;
  BrowserHost& operator=(const BrowserHost&) = default;

  // 2: delivers the event to the window now; whether it was handled.
  bool SendMessage(QEvent* event);
  // 3: the fields after a creation.
  void RecordState(int left, int top, int width, int height, int visible, int disabled,
                   QWidget* handle, int identifier);
  // 4: moves and sizes the window; omitted values are the fields'.
  void Move(std::optional<int> left = {}, std::optional<int> top = {},
            std::optional<int> width = {}, std::optional<int> height = {});
  // 5: without a value the field; with one stores it and enables or disables the window.
  bool Disabled(std::optional<bool> value = {});
  // 6: the system's button face colour, 0x00BBGGRR.
  uint32_t DefaultBackColour() const;
  // 7: with a non-empty text sets the window text (an empty one changes nothing); returns it.
  core::Text WindowText(const std::optional<core::Text>& text = {});
  // 8: the window text, at most 31999 bytes.
  core::Text ReadText() const;
  // 9: sets through SetText when given, reads through ReadText.
  core::Text TextValue(const std::optional<core::Text>& text = {});
  // 10
  void SetText(const core::Text& text);
  // 11: queues the event for the window (takes it over).
  void PostMessage(QEvent* event);
  // 12-15: without a value the field; with one moves the window with only that value.
  int Width(std::optional<int> value = {});
  int Height(std::optional<int> value = {});
  int Left(std::optional<int> value = {});
  int Top(std::optional<int> value = {});
  // 16-17: the window's position on the screen.
  int ScreenLeft() const;
  int ScreenTop() const;
  // 18: with a value shows or hides the window and repaints it; without, whether it is seen
  // (it and every window above it shown).
  bool Visible(std::optional<bool> value = {});
  // 19: a font for the window: face (GBK; empty keeps the face), pixel height, bold.
  void SetFont(const core::Text& face = {}, int height = 12, bool bold = false);
  // 20: whether the window exists.
  bool IsCreated() const;
  // 21
  QWidget* GetHandle() const;
  // 22: stores the given values, then moves the window to all the stored ones.
  void SetPosition(std::optional<int> left = {}, std::optional<int> top = {},
                   std::optional<int> width = {}, std::optional<int> height = {});
  // 23: destroys the window before returning; its page and its sound end with it.
  void Close();
  // 24-25
  void SetFocus();
  bool HasFocus() const;
  // 26-27: window width less 4, height less 8.
  int InnerWidth() const;
  int InnerHeight() const;
  // 28: moves the window into another window, keeping its place and size.
  void SetOwner(QWidget* window);
  // 29-31: handlers kept in the window's registry record.
  void SetContextMenuHandler(ControlHandler handler);
  void SetMouseHandler(ControlHandler handler);
  void SetNotifyHandler(ControlHandler handler);
  // 32: creates the window (see browser_host.cpp); the window, or null.
  QWidget* Create(const std::optional<core::Text>& address = {}, std::optional<int> left = {},
                  std::optional<int> top = {}, std::optional<int> width = {},
                  std::optional<int> height = {}, std::optional<bool> visible = {},
                  std::optional<bool> disabled = {}, std::optional<QWidget*> parent = {});
  // 33: Close, then CreateAgain.
  QWidget* Recreate(const core::Text& address);
  // 34: Create at the creation position with the current size, in the current parent.
  QWidget* CreateAgain(const core::Text& address);

  int Identifier() const { return identifier_; }
  int AssignedIdentifier() const { return assignedIdentifier_; }
  QWidget* LastResult() const { return lastResult_; }

 private:
  void Apply();
  void RecordHandler(int slot, ControlHandler handler);

  QPointer<QWidget> window_;
  QPointer<QWidget> handle_;  // the handle as created; a window that is gone reads as none
  int width_ = 0, height_ = 0, left_ = 0, top_ = 0;
  int visible_ = 0;
  int identifier_ = 0;
  int disabled_ = 0;
  int assignedIdentifier_ = 0;
  QPointer<QWidget> lastResult_;
  int creationLeft_ = 0, creationTop_ = 0, creationWidth_ = 0, creationHeight_ = 0;
};

// The browser-host program-wide state: made empty while the program-wide objects are made
// (also on first use), destroyed at clean-up.
void ConstructHostState();
void DestroyHostState();

// The record of each window ever created, in identifier order.
size_t ControlRegistrySize();
QWidget* RegisteredWindow(int identifier);
// How many times window appears in the router's list of parents (0 or 1).
int RouterInstallCount(const QWidget* window);

// 100 ms from now (a second call restarts the wait, and the last window given wins), the
// rendering widget below browserWindow stops getting right-button presses, releases and
// double-clicks; everything else passes. If there is no rendering widget by then, nothing is
// filtered and nothing is tried again.
void InstallRightClickFilter(QWidget* browserWindow);
// The widget the filter was last put on; null when the last try found none.
QWidget* RightClickFilteredWindow();

}  // namespace sonaro::browser
