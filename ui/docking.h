// Windows docked to the Main window's edges at fixed offsets, kept on the screen.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>

namespace sonaro::ui {

// The edge of the anchor window a docked window hangs from.
enum class DockSide { kRight, kBelow, kLeft };

// Where a window docked at `docked` beside `anchor` goes within `area`: the docked place when at
// least half of the window lies in the area; else the mirrored place on the anchor's other
// side, overlapping it as much; where that is no better, the docked place moved inside the area.
QPoint FitDocked(const QRect& docked, const QRect& anchor, DockSide side, const QRect& area);

// FitDocked against the available area of the screen the anchor is on (the primary screen where
// it is on none).
QPoint FitDockedOnScreen(QPoint docked, QSize size, const QRect& anchor, DockSide side);

// Moves a catalogue window to its docked place (left, top; cut toward zero) beside the anchor
// window, kept on the anchor's screen as FitDocked says. Hidden windows move too.
void DockWindow(uint32_t windowId, uint32_t unitId, double left, double top, uint32_t anchorId,
                uint32_t anchorUnitId, DockSide side);

}  // namespace sonaro::ui
