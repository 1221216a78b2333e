// Skin runtime set-up: the skin initialiser, the skin window class "ZuderLoadDialog"
// with its shared window procedure, and the shared mechanical operations of the skin classes.
#pragma once

#include <QEvent>
#include <QUuid>
#include <QWidget>
#include <optional>

#include "ui/winproc.h"

namespace sonaro::skin {

// The skin initialiser, one of the start-up set-up steps, in this order: the image
// library (Qt's, nothing to start), the time frame dimension, the registration of the window
// class "ZuderLoadDialog". Calling it again changes nothing.
void InitialiseSkinRuntime();

// The time frame dimension parsed by the initialiser (null before it ran).
QUuid TimeFrameDimension();

inline constexpr const char* kSkinWindowClass = "ZuderLoadDialog";

// True once the initialiser registered the class.
bool SkinWindowClassRegistered();

// The class's shared window procedure: on destruction the frame thread is stopped, the image
// disposed and the memory block freed, in this order; a left-button press on a window whose
// "ZuderHitMove" is exactly 1 drags the window (after default processing); everything else is
// default processing.
bool ZuderWindowProc(QWidget* window, QEvent* event);

// Creates a top-level window of the class (frameless, per-pixel alpha, arrow cursor, shared
// procedure), owned by `owner` if given, topmost when `topmost`. Null when the class is not
// registered. The window is neither placed nor shown.
QWidget* CreateSkinClassWindow(QWidget* owner, bool topmost);

// --- shared mechanical operations ----------------------------------------------------

// IsWindow: a live widget that is not being destroyed.
bool IsLiveWindow(const QWidget* window);

// Move(x?, y?, width?, height?, noRedraw?): omitted values keep the current ones (the window
// rectangle; a control's position in its parent's client coordinates, a window's on the screen);
// the window is also brought to the top of its Z order.
void MoveWindow(QWidget* window, std::optional<int> x, std::optional<int> y,
                std::optional<int> width, std::optional<int> height, std::optional<bool> noRedraw);

// Forwards an event to the procedure kept in a named property (0 = the default procedure).
bool ForwardToKept(const char* property, QWidget* widget, QEvent* event);
// Installs proc on the widget and keeps the one it replaced in the named property. False (and
// nothing kept) when the widget cannot be hooked.
bool HookAndKeep(QWidget* widget, ui::WndProc proc, const char* property);

}  // namespace sonaro::skin
