// Events raised by catalogue windows and controls, and the handlers bound to them.
#pragma once

#include <Qt>
#include <cstdint>

class QObject;

namespace sonaro::ui {

// Event numbers shared by all visible kinds: the common mouse events.
inline constexpr int kEventLeftDown = -1;
inline constexpr int kEventLeftUp = -2;
inline constexpr int kEventMouseMove = -6;
// Per-kind event numbers used by the catalogue.
inline constexpr int kEventCreated = 0;        // window: all controls exist
inline constexpr int kEventMoved = 3;          // window: position changed
inline constexpr int kEventClicked = 0;        // button, super button, menu item
inline constexpr int kEventSelection = 0;      // tree box: selection changed
inline constexpr int kEventListClick = 4;      // list view: left click anywhere in the list
inline constexpr int kEventListActivated = 5;  // list view: a row double-clicked or Enter on it
inline constexpr int kEventEnterPressed = 1;   // single-line edit box: Enter or Return
inline constexpr int kEventTimer = 0;          // timer: interval elapsed

struct Event {
  uint32_t windowId = 0;
  uint32_t unitId = 0;  // the window's own unit ID for window events
  int number = 0;
  int x = 0;  // pointer position within the control, for the mouse events
  int y = 0;
  Qt::KeyboardModifiers keys = Qt::NoModifier;
  QObject* source = nullptr;  // the widget, action or timer that raised it
};

using Handler = void (*)(const Event&);

}  // namespace sonaro::ui
