#include "ui/docking.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "ui/window_system.h"

namespace sonaro::ui {

namespace {

long long Area(const QRect& rect) {
  return rect.isEmpty() ? 0 : 1LL * rect.width() * rect.height();
}

// "Mostly off screen": more than half of the window lies outside the area.
bool MostlyOutside(const QRect& window, const QRect& area) {
  return 2 * Area(window & area) < Area(window);
}

QRect Mirrored(const QRect& docked, const QRect& anchor, DockSide side) {
  QRect mirrored = docked;
  switch (side) {
    case DockSide::kRight: {
      const int overlap = anchor.x() + anchor.width() - docked.x();
      mirrored.moveLeft(anchor.x() - docked.width() + overlap);
      break;
    }
    case DockSide::kLeft: {
      const int overlap = docked.x() + docked.width() - anchor.x();
      mirrored.moveLeft(anchor.x() + anchor.width() - overlap);
      break;
    }
    case DockSide::kBelow: {
      const int overlap = anchor.y() + anchor.height() - docked.y();
      mirrored.moveTop(anchor.y() - docked.height() + overlap);
      break;
    }
  }
  return mirrored;
}

int Clamp(int position, int length, int start, int areaLength) {
  // A window larger than the area keeps its start edge visible.
  return std::max(start, std::min(position, start + areaLength - length));
}

}  // namespace

QPoint FitDocked(const QRect& docked, const QRect& anchor, DockSide side, const QRect& area) {
  if (area.isEmpty() || !MostlyOutside(docked, area)) return docked.topLeft();
  const QRect mirrored = Mirrored(docked, anchor, side);
  if (!MostlyOutside(mirrored, area)) return mirrored.topLeft();
  return {Clamp(docked.x(), docked.width(), area.x(), area.width()),
          Clamp(docked.y(), docked.height(), area.y(), area.height())};
}

QPoint FitDockedOnScreen(QPoint docked, QSize size, const QRect& anchor, DockSide side) {
  QScreen* screen = QGuiApplication::screenAt(anchor.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return docked;
  return FitDocked(QRect(docked, size), anchor, side, screen->availableGeometry());
}

void DockWindow(uint32_t windowId, uint32_t unitId, double left, double top, uint32_t anchorId,
                uint32_t anchorUnitId, DockSide side) {
  const QRect anchor(
      GetInt(anchorId, anchorUnitId, prop::kLeft), GetInt(anchorId, anchorUnitId, prop::kTop),
      GetInt(anchorId, anchorUnitId, prop::kWidth), GetInt(anchorId, anchorUnitId, prop::kHeight));
  const QSize size(GetInt(windowId, unitId, prop::kWidth), GetInt(windowId, unitId, prop::kHeight));
  const QPoint at =
      FitDockedOnScreen(QPoint(int(std::trunc(left)), int(std::trunc(top))), size, anchor, side);
  SetInt(windowId, unitId, prop::kTop, at.y());
  SetInt(windowId, unitId, prop::kLeft, at.x());
}

}  // namespace sonaro::ui
