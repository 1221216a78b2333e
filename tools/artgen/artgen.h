// Generator of Sonaro's pictures: every picture is drawn here with QPainter, deterministically.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRect>
#include <QString>
#include <vector>

class QPainter;

namespace artgen {

// Pure white marks the part of a window bitmap the program cuts away; every picture keeps
// it out of what is shown and uses this colour as its brightest white instead.
inline constexpr QRgb kNearWhite = 0xFEFEFE;
inline constexpr QRgb kPureWhite = 0xFFFFFF;

// The Station panel's black top strip; the volume knob and the volume scale lie on it and
// carry the same background so that they blend in.
inline constexpr QRgb kStripBlack = 0x0A0A0C;

// Main window client coordinates of what the program lays over the Main skin.
namespace mainlayout {
inline constexpr QRect kStationBox{234, 137, 136, 32};
inline constexpr QRect kStatusBox{303, 179, 67, 20};
inline constexpr QRect kAnimation{18, 175, 219, 101};
inline constexpr QRect kClose{344, 24, 28, 18};
inline constexpr QRect kMinimise{306, 24, 19, 18};
inline constexpr QRect kMaximise{325, 24, 19, 18};
inline constexpr QRect kStations{279, 211, 91, 41};
inline constexpr QRect kRequest{269, 235, 91, 41};
inline constexpr int kMargin = 8;       // fully transparent outer margin
inline constexpr int kPanelInset = 14;  // the opaque panel starts here
}  // namespace mainlayout

// --- painting helpers (paint.cpp) ---

QColor NearWhite(int alpha = 255);
QImage NewCanvas(int width, int height, const QColor& fill = Qt::transparent);
// Fonts are looked up by family; a missing family aborts the generator, because a fallback
// font would silently change every picture.
QFont SansFont(int pixelSize, bool bold = false);
QFont SerifFont(int pixelSize, bool bold = false);
void RequireFonts();

void DrawText(QPainter& p, const QRectF& rect, int flags, const QString& text, const QFont& font,
              const QColor& ink, const QColor& shadow = Qt::transparent,
              QPointF shadowOffset = QPointF(1, 1));
// Text with a soft outline of `halo` all around, readable on busy backgrounds.
void DrawHaloText(QPainter& p, const QRectF& rect, int flags, const QString& text,
                  const QFont& font, const QColor& ink, const QColor& halo, double radius);

QPainterPath CrescentPath(QPointF centre, double radius, QPointF biteCentre, double biteRadius);
void DrawSparkle(QPainter& p, QPointF centre, double size, const QColor& colour);
// An eighth note whose head is centred at `head`; `size` is the head's width.
void DrawEighthNote(QPainter& p, QPointF head, double size, const QColor& colour);
// Two beamed eighth notes, the left head centred at `head`.
void DrawBeamedNotes(QPainter& p, QPointF head, double size, const QColor& colour);
void DrawBlossom(QPainter& p, QPointF centre, double radius, const QColor& petal,
                 const QColor& heart, double rotationDeg);
void DrawLeaf(QPainter& p, QPointF base, double length, double angleDeg, const QColor& colour);
void DrawHeart(QPainter& p, QPointF centre, double size, const QColor& colour);
void DrawSpeakerIcon(QPainter& p, const QRectF& box, const QColor& body, const QColor& waves);

// --- finishing ---

// Straight (non-premultiplied) ARGB copy of a painted canvas.
QImage Straight(const QImage& image);
// Replaces every visible pure white pixel by kNearWhite.
void ClampWhite(QImage& image);
// A window bitmap: the art inside `outline`, pure white outside it (hard edge, as the
// program's mask is all or nothing), no pure white inside. Returns an RGB32 image.
QImage CutWindowOutline(const QImage& art, const QPainterPath& outline);
QPainterPath RoundedOutline(QSizeF size, double radius);

// --- file formats (formats.cpp) ---

QByteArray EncodeBmp24(const QImage& image);
QByteArray EncodePng(const QImage& image, bool withAlpha);
// JPEG of an opaque picture whose decoded pixels contain no pure white; the picture is
// darkened in small steps until the codec's ringing no longer reaches white.
QByteArray EncodeJpegWithoutWhite(const QImage& image);
// A Windows .cur file with one 32x32 32-bit image.
QByteArray EncodeCursor(const QImage& image, QPoint hotspot);
// An opaque, endlessly looping GIF89a of equally sized frames with one shared palette.
QByteArray EncodeGif(const std::vector<QImage>& frames, int delayCentiseconds);

// --- the pictures (windows.cpp, controls.cpp, animation.cpp) ---

QImage MainSkin();
QImage MainBackground(const QImage& skin);
QImage PatchFromSkin(const QImage& skin, const QRect& box);
QImage StationPanel();
QImage Board();
QImage Details();
QImage RequestForm();
QImage SearchWindow();

QImage CloseKey(bool hover);
QImage MinimiseKey(bool hover);
QImage MaximiseKey(bool hover);
QImage StationsButton(bool hover);
QImage RequestButton(bool hover);
QImage BoardButton(bool hover);
enum class KeyLook { kNormal, kHover, kDisabled };
// A captioned button of the search window.
QImage SearchKey(const QString& caption, QSize size, KeyLook look);
QImage VolumeKnob();
QImage VolumeScale();
QImage ProgramIcon(int size = 64);
QImage CursorImage();

std::vector<QImage> AnimationFrames(const QImage& skin);

}  // namespace artgen
