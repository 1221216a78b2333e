// The notification-area (tray) icon: present while the Main window exists, the minimise
// balloon, restore on a left click, the menu on a right click.
#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>

#include "core/gbk.h"

namespace sonaro::app {

// The icon record, kept as the program's own state in its fixed 488-byte form.
struct TrayRecord {
  uint32_t size = 0;
  uint32_t window = 0;  // the owner's window ID
  uint32_t id = 0;
  uint32_t flags = 0;
  uint32_t callbackMessage = 0;
  uint32_t icon = 0;  // 1 once the window's small icon is taken
  char tip[128] = {};
  uint32_t state = 0;
  uint32_t stateMask = 0;
  char info[256] = {};
  uint32_t timeout = 0;
  char infoTitle[64] = {};
  uint32_t infoFlags = 0;
};
static_assert(sizeof(TrayRecord) == 488, "the icon record has a fixed layout");

inline constexpr uint32_t kTrayCallbackMessage = 123456;
inline constexpr uint32_t kTrayFlagMessage = 0x1;
inline constexpr uint32_t kTrayFlagIcon = 0x2;
inline constexpr uint32_t kTrayFlagTip = 0x4;
inline constexpr uint32_t kTrayFlagInfo = 0x10;
inline constexpr uint32_t kBalloonInfoIcon = 1;

// Mouse messages handed to the tray callback.
inline constexpr int kTrayLeftDown = 0x201;
inline constexpr int kTrayLeftDoubleClick = 0x203;
inline constexpr int kTrayRightDown = 0x204;
inline constexpr int kTrayMiddleDown = 0x207;

// Copies a GBK text into a fixed buffer with its terminating zero; a text that does not fit
// is cut at a character boundary, never inside a two-byte character.
void CopyToBuffer(char* buffer, size_t size, const core::Text& text);

// What the shell does with the record; the real one is a QSystemTrayIcon.
class TrayShell {
 public:
  virtual ~TrayShell() = default;
  virtual void Add(const TrayRecord& record, QWidget* window) = 0;
  virtual void Modify(const TrayRecord& record) = 0;
  virtual void Delete(const TrayRecord& record) = 0;
  // Whether a tray host shows icons now; asked at every use, as hosts come and go.
  virtual bool Available() { return true; }
};
// Tests install their own shell; null brings the system tray back.
void SetTrayShell(TrayShell* shell);

using TrayCallback = void (*)(int mouseMessage);

// Installs the tray procedure on the window and adds the icon; once installed, only changes
// the tip (when one is given).
void TrayAdd(QWidget* window, const std::optional<core::Text>& tip, TrayCallback callback);
void TrayChangeTip(const core::Text& tip);
void TrayShowBalloon(const core::Text& title, const core::Text& text, uint32_t iconFlag);
// Restores the window's procedure and deletes the icon.
void TrayRemove();
// Whether the tray procedure (and with it the icon) is installed.
bool TrayInstalled();
const TrayRecord& CurrentTrayRecord();

// Delivers a mouse message from the icon to the window that owns it, as the shell does.
void DeliverTrayMessage(int mouseMessage);
// Tells the tray code that the tray host (re)appeared, as the shell's broadcast does.
void DeliverTaskbarCreated();

// Whether the icon can be seen and clicked now. Without a tray host the Main window is
// minimised to the taskbar instead of hidden, and a right click on it opens the menu.
bool TrayAvailable();
// A tray host appeared or went away: a Main window hidden in a tray that is gone comes back
// to the taskbar, minimised.
void TrayHostChanged();

// Brings the Main window back from the tray or the taskbar, with its animation, and raises it.
void RestoreMainWindow();

// The program's tray handler and the Main window's minimise-to-tray.
void TrayHandler(int mouseMessage);
void MinimiseToTray();

}  // namespace sonaro::app
