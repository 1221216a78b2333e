#include "skin/skin_window.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRegion>
#include <QTimer>
#include <array>
#include <cstdlib>

#include "skin/image.h"
#include "skin/internal.h"
#include "skin/props.h"
#include "skin/runtime.h"
#include "skin/skin_control.h"
#include "skin/testing.h"
#include "ui/props.h"
#include "ui/winproc.h"

namespace sonaro::skin {

namespace internal {

// --- the layered surface ------------------------------------------------------------------------

namespace {
constexpr const char* kSurfaceName = "sonaro_skin_layer_surface";
}  // namespace

LayerSurface::LayerSurface(QWidget* window) : QObject(window), window_(window) {
  setObjectName(QLatin1String(kSurfaceName));
  window->installEventFilter(this);
  for (QObject* child : window->children()) {
    if (auto* widget = qobject_cast<QWidget*>(child); widget && !widget->isWindow()) Cover(widget);
  }
}

LayerSurface* LayerSurface::Of(const QWidget* window) {
  if (!window) return nullptr;
  return window->findChild<LayerSurface*>(QLatin1String(kSurfaceName), Qt::FindDirectChildrenOnly);
}

LayerSurface* LayerSurface::Install(QWidget* window) {
  if (LayerSurface* surface = Of(window)) return surface;
  window->setAttribute(Qt::WA_TranslucentBackground);
  if (window->isWindow()) {
    const Qt::WindowFlags flags = window->windowFlags();
    const Qt::WindowFlags wanted = (flags & Qt::WindowType_Mask) | Qt::FramelessWindowHint |
                                   (flags & Qt::WindowStaysOnTopHint);
    if (flags != wanted) {
      const bool visible = window->isVisible();
      window->setWindowFlags(wanted);
      if (visible) window->show();
    }
  }
  return new LayerSurface(window);
}

void LayerSurface::Cover(QWidget* widget) {
  widget->installEventFilter(this);
  for (QObject* child : widget->children()) {
    if (auto* inner = qobject_cast<QWidget*>(child); inner && !inner->isWindow()) Cover(inner);
  }
}

void LayerSurface::Present(const QImage& frame, std::optional<QLine> caret) {
  // Only what changed is painted and sent to the display: an animation's frame is mostly the
  // one before, and a blink changes one line.
  QRegion changed(ChangedArea(frame_, frame));
  if (caret != caret_) {
    for (const std::optional<QLine>& line : {caret_, caret}) {
      if (line) changed += QRect(line->p1(), line->p2()).normalized().adjusted(-1, -1, 1, 1);
    }
  }
  frame_ = frame;
  caret_ = caret;
  if (!changed.isEmpty()) window_->update(changed);
}

void LayerSurface::Paint(QPainter& painter, QPoint offset) const {
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(-offset, frame_);
  if (caret_) {
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setPen(QPen(QColor::fromRgba(ArgbFromColor(0, 255)), 1.0));
    painter.drawLine(caret_->translated(-offset));
  }
}

QImage LayerSurface::Picture() const {
  if (frame_.isNull() || !caret_) return frame_;
  QImage picture = frame_.copy();
  QPainter painter(&picture);
  Paint(painter, QPoint(0, 0));
  return picture;
}

bool LayerSurface::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Paint: {
      // The window shows its layer; a child shows nothing of its own but the part of the layer
      // under it (Qt leaves out the parent's painting under children it deems opaque).
      auto* widget = qobject_cast<QWidget*>(watched);
      if (!widget || (widget != window_ && !window_->isAncestorOf(widget))) return false;
      // A child that paints no background of its own has the window's picture under it
      // already; one that does (or that Qt deems opaque and leaves out of the window's painting)
      // gets the part of the picture under it painted over its background.
      if (widget != window_ && !widget->autoFillBackground() &&
          !widget->testAttribute(Qt::WA_OpaquePaintEvent) &&
          !widget->testAttribute(Qt::WA_StyledBackground)) {
        return true;
      }
      QPainter painter(widget);
      Paint(painter, widget == window_ ? QPoint(0, 0) : widget->mapTo(window_, QPoint(0, 0)));
      return true;
    }
    case QEvent::ChildAdded:
    case QEvent::ChildPolished: {
      QObject* child = static_cast<QChildEvent*>(event)->child();
      if (auto* widget = qobject_cast<QWidget*>(child); widget && !widget->isWindow()) {
        Cover(widget);
      }
      return false;
    }
    default:
      return false;
  }
}

}  // namespace internal

namespace {

using internal::LayerSurface;

// --- the caret --------------------------------------------------------------------------------

struct CaretState {
  QPointer<QWidget> window;   // the layered window whose skinned text box has the focus
  QPointer<QWidget> control;  // that text box
  QImage lastFrame;           // the frame last composed for the caret window
  int phase = 0;              // 1: the caret line is drawn
};

CaretState& Caret() {
  static CaretState state;
  return state;
}

// DrawCaret: a 12-pixel vertical line at the edit caret (its cursor rectangle), 5 pixels right of
// the rectangle's left edge, vertically centred in the control.
std::optional<QLine> CaretLine(QWidget* window, QWidget* control) {
  if (!control || !window || !window->isAncestorOf(control)) return std::nullopt;
  const QPoint origin = control->mapTo(window, QPoint(0, 0));
  const QRect cursor = control->inputMethodQuery(Qt::ImCursorRectangle).toRect();
  const int x = origin.x() + cursor.x() + 5;
  const int y = origin.y() + (control->height() - 12) / 2;
  return QLine(x, y, x, y + 12);
}

// The blink timer runs only while its window is shown and holds the caret: otherwise there is
// nothing to blink, and the timer would wake the program twice a second for nothing.
void UpdateBlinkTimer(QWidget* window) {
  if (!window) return;
  auto* timer = window->findChild<QTimer*>(QLatin1String(prop::kTime), Qt::FindDirectChildrenOnly);
  if (!timer) return;
  const bool blinks = window->isVisible() && Caret().window == window && Caret().control;
  if (blinks && !timer->isActive()) timer->start();
  if (!blinks) timer->stop();
}

class BlinkWhileShown final : public QObject {
 public:
  BlinkWhileShown(QWidget* window, QTimer* timer) : QObject(timer), window_(window) {
    window->installEventFilter(this);
    UpdateBlinkTimer(window);
  }

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) UpdateBlinkTimer(window_);
    return false;
  }

 private:
  QWidget* window_;
};

void BlinkTick(QWidget* window) {
  CaretState& caret = Caret();
  if (window != caret.window || !caret.control || caret.lastFrame.isNull()) return;
  caret.phase = (caret.phase & 1) ^ 1;
  PresentLayer(window, caret.lastFrame, caret.phase != 0);
}

// --- the text box layer hook ------------------------------------------------------------------

// While a text box's own procedure handles an event of the hook, its text-change notification
// does not compose again (the hook composes once it returns).
int g_textBoxHookDepth = 0;

bool ForwardChild(QWidget* box, QEvent* event) {
  ++g_textBoxHookDepth;
  const bool result = ForwardToKept(prop::kChildWndProc, box, event);
  --g_textBoxHookDepth;
  return result;
}

bool TextBoxLayerProc(QWidget* box, QEvent* event) {
  QPointer<QWidget> parent(box->parentWidget());
  switch (event->type()) {
    case QEvent::Paint:
      return true;               // drawn by the parent's layer
    case QEvent::KeyPress:       // characters, keys, paste and cut by keyboard
    case QEvent::InputMethod:    // composed characters
    case QEvent::ContextMenu: {  // paste and cut from the menu
      const bool result = ForwardChild(box, event);
      if (parent) ComposeLayer(parent);
      return result;
    }
    case QEvent::MouseButtonRelease: {
      const bool result = ForwardChild(box, event);
      if (parent && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        ComposeLayer(parent);
      }
      return result;
    }
    case QEvent::FocusIn: {
      Caret().phase = 0;
      QPointer<QWidget> previous = Caret().window;
      Caret().window = parent.data();
      Caret().control = box;
      UpdateBlinkTimer(previous);
      UpdateBlinkTimer(parent);
      const bool result = ForwardChild(box, event);
      if (parent) ComposeLayer(parent);
      return result;
    }
    case QEvent::FocusOut: {
      Caret().control = nullptr;
      Caret().window = nullptr;
      UpdateBlinkTimer(parent);
      const bool result = ForwardChild(box, event);
      if (parent) ComposeLayer(parent);
      return result;
    }
    default:
      return ForwardToKept(prop::kChildWndProc, box, event);
  }
}

// Setting the text (WM_SETTEXT) recomposes too: Qt reports it as a change of the text.
void ComposeOnTextChange(QWidget* box) {
  auto compose = [box] {
    if (g_textBoxHookDepth == 0 && box->parentWidget()) ComposeLayer(box->parentWidget());
  };
  if (auto* edit = qobject_cast<QLineEdit*>(box)) {
    QObject::connect(edit, &QLineEdit::textChanged, edit, compose);
  } else if (auto* text = qobject_cast<QPlainTextEdit*>(box)) {
    QObject::connect(text, &QPlainTextEdit::textChanged, text, compose);
  }
}

// The font of the layer text: the control's face, its pixel height, bold for weights 600 and 700,
// italic, underline and strikeout as the control's font has them.
QFont LayerFont(const QFont& own) {
  QFont font;
  if (!own.families().isEmpty()) {
    font.setFamilies(own.families());
  } else {
    font.setFamily(own.family());
  }
  const int pixels = own.pixelSize() > 0 ? own.pixelSize() : QFontInfo(own).pixelSize();
  font.setPixelSize(std::max(1, std::abs(pixels)));
  const int weight = int(own.weight());
  font.setBold(weight == 600 || weight == 700);
  font.setItalic(own.italic());
  font.setUnderline(own.underline());
  font.setStrikeOut(own.strikeOut());
  return font;
}

// The text of a layer control drawn once into a transparent picture of its layout rectangle:
// building the font, shaping and rasterising cost far more than blending the result, so the
// last few are kept. A cache only: the look is decided on every composition by the control's
// font, text, colour and size, which form the key.
struct TextPicture {
  QFont own;
  QString text;
  QRgb colour = 0;
  QSize size;
  QImage picture;
};

const QImage& RenderedText(const QFont& own, const QString& text, QRgb colour, QSize size) {
  static std::array<TextPicture, 16> cache;
  static size_t next = 0;
  for (const TextPicture& entry : cache) {
    if (!entry.picture.isNull() && entry.colour == colour && entry.size == size &&
        entry.text == text && entry.own == own) {
      return entry.picture;
    }
  }
  TextPicture& entry = cache[next];
  next = (next + 1) % cache.size();
  entry.own = own;
  entry.text = text;
  entry.colour = colour;
  entry.size = size;
  entry.picture = QImage(size, QImage::Format_ARGB32_Premultiplied);
  entry.picture.fill(Qt::transparent);
  QPainter painter(&entry.picture);
  painter.setFont(LayerFont(own));
  painter.setPen(QColor::fromRgba(colour));
  // No wrap, near horizontally, centred vertically.
  painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   text);
  return entry.picture;
}

QColor Argb(Colour colour, qint64 alpha) {
  return QColor::fromRgba(ArgbFromColor(colour, int(alpha & 0xFF)));
}

}  // namespace

// --- composition ------------------------------------------------------------------------------

namespace {

// Whether an image drawn by back type hides every pixel of the box (an opaque picture that is
// stretched over it or at least as large): a fill under it would not show.
bool Covers(const Image& image, int backType, QSize box) {
  if (image.Frame().hasAlphaChannel()) return false;
  if (backType == kBackStretch) return true;
  return backType != kBackFit && image.Width() >= box.width() && image.Height() >= box.height();
}

void DrawLayerControlOfKind(QWidget* window, QWidget* control, int kind, QPainter& painter) {
  const QRect box(control->mapTo(window, QPoint(0, 0)), control->size());
  Image* image = nullptr;
  const int backType = int(ui::GetPropInt(control, prop::kBackType));
  if (kind == kKindImageButton) {
    image = StateImage(control);
  } else if (kind == kKindTextBox) {
    image = ui::GetPropPtr<Image>(control, prop::kBackImage);
    const Colour fill = NormaliseColour(ui::GetPropInt(control, prop::kBackColor));
    if (fill != kNoColour && !(image && Covers(*image, backType, box.size()))) {
      painter.fillRect(box, Argb(fill, ui::GetPropInt(control, prop::kBackAlpha)));
    }
  }
  if (image) DrawByBackType(painter, box, *image, backType);
  if (kind != kKindTextBox) return;

  const Colour border = NormaliseColour(ui::GetPropInt(control, prop::kOrderColor));
  if (border != kNoColour) {
    // The outline of (x, y, w, h) with a 1-pixel pen: its lines run from x to x + w and from
    // y to y + h, so the right and bottom ones fall just outside the control, as the window
    // system's rectangle outline does. Drawn as four non-overlapping lines.
    const QColor pen = Argb(border, ui::GetPropInt(control, prop::kOrderAlpha));
    const int x = box.x(), y = box.y(), w = box.width(), h = box.height();
    painter.fillRect(QRect(x, y, w + 1, 1), pen);
    if (h > 0) {
      painter.fillRect(QRect(x, y + h, w + 1, 1), pen);
      painter.fillRect(QRect(x, y + 1, 1, h - 1), pen);
      painter.fillRect(QRect(x + w, y + 1, 1, h - 1), pen);
    }
  }
  const QString text = ControlText(control);
  const QRect layout = box.adjusted(2, 2, -2, -2);  // (x + 2, y + 2, w - 4, h - 4)
  if (!text.isEmpty() && layout.width() > 0 && layout.height() > 0) {
    const QRgb colour =
        ArgbFromColor(NormaliseColour(ui::GetPropInt(control, prop::kTextColor)), 255);
    painter.drawImage(layout.topLeft(), RenderedText(control->font(), text, colour, layout.size()));
  }
}

}  // namespace

void DrawLayerControl(QWidget* window, QWidget* control, QPainter& painter) {
  DrawLayerControlOfKind(window, control, int(ui::GetPropInt(control, prop::kType)), painter);
}

QImage ComposeLayerImage(QWidget* window) {
  if (!IsLiveWindow(window) || window->width() <= 0 || window->height() <= 0) return {};
  ++testing::Count().composeLayer;
  Image* back = ui::GetPropPtr<Image>(window, prop::kBackImage);
  QImage layer;
  if (back && back->Frame().size() == window->size()) {
    // A background of the window's size drawn over a transparent bitmap is the background
    // itself: start from a copy of it.
    layer = back->Frame().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    layer.detach();
    back = nullptr;
  } else {
    layer = QImage(window->size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
  }
  QPainter painter(&layer);
  if (back) DrawByBackType(painter, layer.rect(), *back, kBackStretch);
  // Top of the Z order first: Qt lists children bottom first.
  const QObjectList& children = window->children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    auto* control = qobject_cast<QWidget*>(*it);
    if (!control || control->isWindow()) continue;
    if (const int kind = int(ui::GetPropInt(control, prop::kType))) {
      DrawLayerControlOfKind(window, control, kind, painter);
    }
  }
  return layer;
}

void ComposeLayer(QWidget* window) {
  if (!IsLiveWindow(window)) return;
  QImage frame = ComposeLayerImage(window);
  PresentLayer(window, frame, false);
  if (window == Caret().window) Caret().lastFrame = frame;
}

void PresentLayer(QWidget* window, const QImage& frame, bool withCaret) {
  if (!IsLiveWindow(window) || frame.isNull()) return;
  LayerSurface* surface = LayerSurface::Of(window);
  if (!surface) return;  // not a layered window: nothing can be presented
  ++testing::Count().presentLayer;
  surface->Present(frame, withCaret ? CaretLine(window, Caret().control) : std::nullopt);
}

QImage PresentedLayer(const QWidget* window) {
  const LayerSurface* surface = LayerSurface::Of(window);
  return surface ? surface->Picture() : QImage();
}

QWidget* CaretWindow() { return Caret().window.data(); }
QWidget* CaretControl() { return Caret().control.data(); }

// --- SkinWindow -------------------------------------------------------------------------------

bool SkinWindow::Attach(QWidget* window) {
  if (!IsLiveWindow(window)) return false;
  handle_ = window;
  LayerSurface::Install(window);  // the extended style becomes exactly "layered"
  // The caret itself is simulated in the layer (DrawCaret); only the blink timer is needed.
  if (!ui::GetPropInt(window, prop::kTime)) {
    auto* timer = new QTimer(window);
    timer->setObjectName(QLatin1String(prop::kTime));
    timer->setInterval(500);
    QObject::connect(timer, &QTimer::timeout, window, [window] { BlinkTick(window); });
    new BlinkWhileShown(window, timer);
    ui::SetProp(window, prop::kTime, 64);
  }
  return true;
}

bool SkinWindow::SetBackImage(Image* image) {
  QWidget* window = handle_.data();
  if (!IsLiveWindow(window) || !image) return false;
  ui::SetPropPtr(window, prop::kBackImage, image);
  ComposeLayer(window);
  return true;
}

bool SkinWindow::SetBackImageData(const QByteArray& bytes) {
  Image* image = LoadImageFromBytes(bytes);
  QWidget* window = handle_.data();
  if (image && IsLiveWindow(window)) internal::AdoptImage(window, image);
  const bool stored = SetBackImage(image);
  if (!stored) DisposeImage(image);
  return stored;
}

void SkinWindow::AdoptControls() {
  QWidget* window = handle_.data();
  if (!IsLiveWindow(window)) return;
  const QObjectList children = window->children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    auto* control = qobject_cast<QWidget*>(*it);
    if (!control || control->isWindow()) continue;
    const int kind = int(ui::GetPropInt(control, prop::kType));
    if (!kind) continue;
    if (ui::HasProp(control, prop::kWndProc)) {
      ui::SetWindowProc(control,
                        ui::ValueToProc(quintptr(ui::GetPropInt(control, prop::kWndProc))));
      ui::RemoveProp(control, prop::kWndProc);
    }
    if (ui::HasProp(control, prop::kChildWndProc)) continue;
    if (kind == kKindImageButton) {
      HookAndKeep(control, &internal::ButtonLayerProc, prop::kChildWndProc);
    } else if (kind == kKindTextBox) {
      if (HookAndKeep(control, &TextBoxLayerProc, prop::kChildWndProc)) {
        ComposeOnTextChange(control);
      }
    }
  }
  ComposeLayer(window);
}

void SkinWindow::Move(std::optional<int> x, std::optional<int> y, std::optional<int> width,
                      std::optional<int> height, std::optional<bool> noRedraw) {
  MoveWindow(handle_.data(), x, y, width, height, noRedraw);
}

QWidget* SkinWindow::GetHandle() const { return handle_.data(); }

bool SkinWindow::IsValid() const { return IsLiveWindow(handle_.data()); }

bool SkinWindow::Send(QEvent* event) {
  return handle_ && event ? QCoreApplication::sendEvent(handle_.data(), event) : false;
}

}  // namespace sonaro::skin
