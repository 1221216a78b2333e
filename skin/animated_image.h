// AnimatedImageWindow: a picture, typically an animated GIF, in its own popup window
// of the skin window class "ZuderLoadDialog" with per-pixel alpha, sized to the picture. A
// picture with more than one frame is animated by one frame thread per window, with the delays
// stored in the picture (0 or missing: 70 ms). The frame thread never touches a widget: it asks
// the GUI thread to draw each frame; it is stopped and joined before the picture is freed.
#pragma once

#include <QByteArray>
#include <QPointer>
#include <QWidget>
#include <optional>

namespace sonaro::skin {

// Virtual operations in slot order (0 destroy and 1 copy are implicit).
class AnimatedImageWindow {
 public:
  AnimatedImageWindow() = default;
  AnimatedImageWindow(const AnimatedImageWindow&) = default;
  AnimatedImageWindow& operator=(const AnimatedImageWindow&) = default;
  virtual ~AnimatedImageWindow() = default;

  // 2. Shows the picture in a new window (topmost when it has no owner), centred by centreMode
  //    (0 when omitted), and starts the frame thread for an animation. False, and no window left
  //    behind, while this object's window is live, for no or empty data, for bytes that do not
  //    decode, or when the window cannot be created (the skin initialiser has not run).
  virtual bool Create(std::optional<QByteArray> imageData = std::nullopt, QWidget* owner = nullptr,
                      std::optional<int> centreMode = std::nullopt);
  // 3. Closes and destroys the window: frame thread stopped, picture disposed, memory freed.
  virtual void Close();
  // 4. / 5. The window rectangle's size (0 without a window).
  virtual int GetWidth() const;
  virtual int GetHeight() const;
  // 6.
  virtual QWidget* GetHandle() const;
  // 7.
  virtual bool IsValid() const;
  // 8.
  virtual void Move(std::optional<int> x = std::nullopt, std::optional<int> y = std::nullopt,
                    std::optional<int> width = std::nullopt,
                    std::optional<int> height = std::nullopt,
                    std::optional<bool> noRedraw = std::nullopt);
  // 9. 0 centred on the screen, 1 in the work area, 2 on the owner (nothing without one); any
  //    other mode does nothing.
  virtual void Centre(int mode);
  // 10.
  virtual void GetSize(int& width, int& height) const;
  // 11. A given value sets "ZuderHitMove" (1 if non-zero, else 0); returns whether it is 1, i.e.
  //     whether the window can be dragged by any point.
  virtual bool Draggable(std::optional<bool> enable = std::nullopt);

 private:
  QPointer<QWidget> handle_;  // the one field: the current window
};

// Draws frame `index` of the window's picture ("Zuder_Image") stretched to the window. GUI
// thread only; nothing happens for a window that is gone or has no picture.
void DrawAnimationFrame(QWidget* window, int index);

}  // namespace sonaro::skin
