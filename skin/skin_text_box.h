// SkinTextBox: a skinned edit box with a fill colour and alpha, an optional
// background image, a one-pixel border colour and alpha, and a text colour.
//
// Standalone (on an ordinary window) the box paints fill, image and border and then its own text
// in the text colour; on a SkinWindow (after AdoptControls) the window's layer draws all of it.
#pragma once

#include <optional>

#include "skin/skin_control.h"

namespace sonaro::skin {

class SkinTextBox : public SkinControl {
 public:
  // 13. Attach; then "PngControl_Type" = 4, fill white (0xFFFFFF) alpha 255, border 0x7B8084
  //     alpha 255, text colour 0 (black); the frame is recomputed (the skin draws it), the
  //     standalone hook installed (the box's procedure kept in "PngControl_WndProc"), repaint.
  //     Nothing happens for a control that is not a live window.
  virtual void Bind(QWidget* control);
  // 14. The fill colour (-1 none); a given alpha is clamped to 0..255, an omitted one kept.
  virtual void SetBackColor(Colour colour, std::optional<int> alpha = std::nullopt);
  // 15. The border colour (-1 none), alpha as for the fill.
  virtual void SetBorderColor(Colour colour, std::optional<int> alpha = std::nullopt);
  // 16.
  virtual void SetTextColor(Colour colour);
  // 17. The background image (null clears it); it stays the caller's.
  virtual void SetBackImage(Image* image);
  // 18. Decodes the bytes (a failure clears the image); the decoded image belongs to the box.
  virtual void SetBackImageData(const QByteArray& bytes);
  // 19. The back type (1 stretch, 2 fit and centre, else natural size).
  virtual void SetBackType(int type);
  // 20. The box's text, GBK.
  virtual core::Text GetText() const;
};

}  // namespace sonaro::skin
