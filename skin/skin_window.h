// SkinWindow: a top-level window shown as one per-pixel-alpha layer composed from a
// PNG background and the skinned controls on it, with a simulated blinking caret.
#pragma once

#include <QByteArray>
#include <QEvent>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <optional>

#include "skin/image.h"

namespace sonaro::skin {

// Virtual operations in slot order (0 destroy and 1 copy are implicit).
class SkinWindow {
 public:
  SkinWindow() = default;
  SkinWindow(const SkinWindow&) = default;
  SkinWindow& operator=(const SkinWindow&) = default;
  virtual ~SkinWindow() = default;

  // 2. Binds a live window and makes it layered: a frameless top-level with a per-pixel-alpha
  //    surface, its children no longer painting themselves; starts the 500 ms caret blink timer
  //    once per window ("PngControl_Time" = 64). False for a handle that is not a live window.
  //    Call it before the window is first shown (the platform picks a window's alpha visual
  //    when it creates it).
  virtual bool Attach(QWidget* window);
  // 3. Stores the background ("PngControl_BackImage"), composes and presents; false (the
  //    previous background kept) when the window is not live or the image is null. The image
  //    stays the caller's.
  virtual bool SetBackImage(Image* image);
  // 4. SetBackImage(LoadImageFromBytes(bytes)); the decoded image belongs to the window.
  virtual bool SetBackImageData(const QByteArray& bytes);
  // 5. Switches every skinned child (top of the Z order first) from its standalone hook to the
  //    layer hook of its kind, keeping the replaced procedure in "PngControl_ChildWndProc";
  //    then composes and presents.
  virtual void AdoptControls();
  // 6.
  virtual void Move(std::optional<int> x = std::nullopt, std::optional<int> y = std::nullopt,
                    std::optional<int> width = std::nullopt,
                    std::optional<int> height = std::nullopt,
                    std::optional<bool> noRedraw = std::nullopt);
  // 7.
  virtual QWidget* GetHandle() const;
  // 8.
  virtual bool IsValid() const;
  // 9.
  virtual bool Send(QEvent* event);

 private:
  QPointer<QWidget> handle_;  // the one field: the bound window
};

// The composition of a window's layer (ComposeLayer steps 1-4) as a new image of the window's
// size, Format_ARGB32_Premultiplied: transparent, the background stretched over it, then every
// child carrying "PngControl_Type" drawn in Z order from the top (each over what is already
// there). Children without a skin do not appear.
QImage ComposeLayerImage(QWidget* window);
// ComposeLayer: composes, presents the frame without the caret, and keeps it as the last
// composed frame when the window is the caret window.
void ComposeLayer(QWidget* window);
// PresentLayer: hands a frame to a layered window as its whole picture, with the caret line of
// the focused skinned text box when withCaret is set. Nothing happens when the window is not a
// live layered window or the frame is null.
void PresentLayer(QWidget* window, const QImage& frame, bool withCaret);
// The picture a layered window currently shows (frame plus caret line); null if none.
QImage PresentedLayer(const QWidget* window);

// Draws one skinned control into a layer being composed (DrawLayerControl).
void DrawLayerControl(QWidget* window, QWidget* control, QPainter& painter);

// The process-wide caret state (one caret at a time).
QWidget* CaretWindow();
QWidget* CaretControl();

}  // namespace sonaro::skin
