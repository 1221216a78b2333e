// The helpers every skin component uses: colours, fitting a size, decoding pictures.
//
// An `Image` stands for the platform image library's image handle: it is created by
// `LoadImageFromBytes` (or by an animation window) and referenced from window properties as a
// number. Images passed to the toolkit stay the caller's; images the toolkit decodes itself for
// a control (the *Data setters) belong to that control and are freed with it, never earlier.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <vector>

class QPainter;
class QWidget;

namespace sonaro::skin {

// COLORREF: 0x00BBGGRR; -1 (or 0xFFFFFFFF) means none.
using Colour = int64_t;
inline constexpr Colour kNoColour = -1;

// Normalises a colour to its 32-bit value (so 0xFFFFFFFF and -1 both read as none).
constexpr Colour NormaliseColour(Colour colour) {
  return Colour(int32_t(uint32_t(uint64_t(colour) & 0xFFFFFFFFu)));
}

// (alpha << 24) | (red << 16) | (green << 8) | blue, from a COLORREF and an alpha 0..255.
constexpr uint32_t ArgbFromColor(Colour colour, int alpha) {
  const uint32_t c = uint32_t(uint64_t(colour) & 0xFFFFFFFFu);
  const uint32_t red = c & 0xFF, green = (c >> 8) & 0xFF, blue = (c >> 16) & 0xFF;
  return (uint32_t(alpha) << 24) | (red << 16) | (green << 8) | blue;
}

// Shrinks (never enlarges) an image size into a box keeping the aspect ratio; every division
// truncates toward zero.
QSize FitSize(int imageWidth, int imageHeight, int boxWidth, int boxHeight);

// The smallest rectangle holding every pixel that differs between two pictures of one size;
// the whole of after when the sizes differ (or before is null), empty when nothing changed.
QRect ChangedArea(const QImage& before, const QImage& after);

class Image : public QObject {
 public:
  // Decodes PNG, GIF, JPEG or BMP bytes; null when they do not decode. With allFrames every
  // frame of an animation is decoded (for animation windows), else only frame 0.
  static Image* Decode(const QByteArray& bytes, bool allFrames);

  int Width() const { return size_.width(); }
  int Height() const { return size_.height(); }
  QSize Size() const { return size_; }
  // Frames in the image's first frame dimension (1 for a still picture).
  int FrameCount() const { return frameCount_; }
  // Selects a frame of the time dimension; false when it is not available (it then keeps the
  // selected one). Frame 0 is selected after decoding.
  bool SelectFrame(int index);
  int SelectedFrame() const { return selected_; }
  // The selected frame: Format_ARGB32_Premultiplied, or Format_RGB32 for a picture without alpha.
  const QImage& Frame() const { return frames_[size_t(selected_)]; }
  // Per-frame delays in hundredths of a second, in frame order (the frame-delay property);
  // 0 where the picture stores 0 or nothing. Empty for a still picture.
  const std::vector<int>& FrameDelays() const { return delays_; }

 private:
  Image() = default;
  QSize size_;
  int frameCount_ = 0;
  int selected_ = 0;
  std::vector<QImage> frames_;
  std::vector<int> delays_;
};

// Decodes a picture; null on failure. The caller owns the result.
Image* LoadImageFromBytes(const QByteArray& bytes);
// Disposes an image (null is ignored).
void DisposeImage(Image* image);

// Per-frame delays (hundredths of a second) read from a GIF's graphic control extensions, one per
// image in file order, 0 where an image has none. Empty for bytes that are not a GIF.
std::vector<int> GifFrameDelays(const QByteArray& bytes);

// Draws an image into the control rectangle `box` by back type:
// 1 stretched into the box; 2 fitted with FitSize and centred (offsets truncated); any other
// value in its natural size at the box's top-left corner, cut to the box's size when larger.
void DrawByBackType(QPainter& painter, const QRect& box, const Image& image, int backType);

// The control's window text (edit text, caption or window title) as Qt text.
QString ControlText(const QWidget* control);

}  // namespace sonaro::skin
