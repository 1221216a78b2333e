// Pieces shared between the skin sources; not part of the toolkit's interface.
#pragma once

#include <QImage>
#include <QLine>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <optional>

namespace sonaro::skin::internal {

// The per-pixel-alpha surface of a layered window: what UpdateLayeredWindow hands the system.
// It paints the last presented frame (and the simulated caret line) as the window's whole
// picture; the window's own painting and that of every child widget are suppressed, since a
// layered window shows no child window on its own. Children stay real widgets for input.
class LayerSurface : public QObject {
 public:
  explicit LayerSurface(QWidget* window);
  // The surface of a window, or null when it is not layered.
  static LayerSurface* Of(const QWidget* window);
  // Makes a window layered (frameless top-level with a translucent background) and gives it a
  // surface; returns the existing one when it has one.
  static LayerSurface* Install(QWidget* window);

  void Present(const QImage& frame, std::optional<QLine> caret);
  // The picture the window shows: the frame with the caret line, if any.
  QImage Picture() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Cover(QWidget* widget);
  // Paints the picture as seen from a point of the window (a child's origin).
  void Paint(QPainter& painter, QPoint offset) const;

  QWidget* window_;
  QImage frame_;
  std::optional<QLine> caret_;
};

// Animation windows: stops and joins the frame thread kept in "Zuder_Thread" (a FrameThread*)
// and frees it.
void StopFrameThread(quintptr thread);

}  // namespace sonaro::skin::internal
