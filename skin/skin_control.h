// SkinControl and SkinButton .
//
// A skin object holds only the handle of the control it is bound to; all per-control state is
// in named window properties on the control (skin/props.h). Behaviour is changed by replacing
// the control's window procedure (ui::SetWindowProc) and forwarding what is not handled.
#pragma once

#include <QByteArray>
#include <QEvent>
#include <QPointer>
#include <QVariant>
#include <QWidget>
#include <optional>

#include "core/gbk.h"
#include "skin/image.h"

namespace sonaro::skin {

// Virtual operations in slot order: 0 destroy, 1 copy (both implicit: they destroy or copy the
// object, i.e. the handle, and nothing else), then the slots listed.
class SkinControl {
 public:
  SkinControl() = default;
  SkinControl(const SkinControl&) = default;
  SkinControl& operator=(const SkinControl&) = default;
  virtual ~SkinControl() = default;

  // 2. Binds the object to a live control; false (nothing changed) otherwise. Hooks the parent
  //    once (its procedure kept in the parent's "PngControl_WndProc") unless the parent is itself
  //    a skinned control.
  virtual bool Attach(QWidget* control);
  // 3.
  virtual QWidget* GetHandle() const;
  // 4. / 5. Named properties of the bound control (an unset one reads as 0).
  virtual void SetProperty(const char* name, const QVariant& value);
  virtual QVariant GetProperty(const char* name) const;
  // 6. Sends an event to the bound control; its result (false without a control).
  virtual bool Send(QEvent* event);
  // 7. One process-wide tooltip; the first call registers the control as a tool, later
  //    calls only change its text. atCursor false centres the tip below the control.
  virtual void SetToolTip(const core::Text& text, std::optional<bool> atCursor = std::nullopt);
  // 8. Omitted values keep the current ones; the control comes to the top.
  virtual void Move(std::optional<int> x = std::nullopt, std::optional<int> y = std::nullopt,
                    std::optional<int> width = std::nullopt,
                    std::optional<int> height = std::nullopt,
                    std::optional<bool> noRedraw = std::nullopt);
  // 9.
  virtual QWidget* GetWindowHandle() const;
  // 10. True only while the bound control is a live window.
  virtual bool IsValid() const;
  // 11. Repaints the whole control (no erase).
  virtual void Invalidate();
  // 12.
  virtual bool SendMessage(QEvent* event);

 protected:
  QPointer<QWidget> handle_;  // the one field: the bound control
};

class SkinButton : public SkinControl {
 public:
  // 13. Creates a push button child of `parent` at the rectangle with the caption (GBK) and binds
  //     it without a normal image; returns it (null if it could not be created).
  virtual QWidget* Create(QWidget* parent, int x, int y, int width, int height,
                          const core::Text& caption);
  // 14. Attach, "PngControl_Type" = 3, the normal image if one is given and non-null, owner
  //     drawing, the standalone hook (the button's procedure kept in "PngControl_WndProc"),
  //     then a repaint. Nothing happens for a control that is not a live window.
  virtual void Bind(QWidget* control, Image* normalImage = nullptr);
  // 15. Stores each given image (null included); omitted ones are left as they are. No repaint.
  //     The images stay the caller's.
  virtual void SetImages(std::optional<Image*> normal = std::nullopt,
                         std::optional<Image*> over = std::nullopt,
                         std::optional<Image*> down = std::nullopt,
                         std::optional<Image*> disabled = std::nullopt);
  // 16. Decodes each given byte block (null on failure) and stores it; omitted ones are left as
  //     they are. No repaint. The decoded images belong to the button.
  virtual void SetImageData(std::optional<QByteArray> normal = std::nullopt,
                            std::optional<QByteArray> over = std::nullopt,
                            std::optional<QByteArray> down = std::nullopt,
                            std::optional<QByteArray> disabled = std::nullopt);
  // 17. Stores "PngControl_BackType". No repaint.
  virtual void SetBackType(int type);
};

// The image for a button's current draw state: over, down or disabled image for states 1, 2, 3,
// the normal image when that one is not set or for any other state; may be null.
Image* StateImage(const QWidget* button);

namespace internal {
// The layer hook of image buttons (installed by SkinWindow::AdoptControls).
bool ButtonLayerProc(QWidget* button, QEvent* event);
// Stores a decoded image on a control: the control owns it from now on.
Image* AdoptImage(QWidget* control, Image* image);
}  // namespace internal

}  // namespace sonaro::skin
