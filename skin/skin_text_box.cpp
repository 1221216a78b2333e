#include "skin/skin_text_box.h"

#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <algorithm>

#include "skin/props.h"
#include "skin/runtime.h"
#include "ui/props.h"
#include "ui/winproc.h"

namespace sonaro::skin {

namespace {

QColor OpaqueColour(Colour colour) {
  return QColor::fromRgb(ArgbFromColor(colour, 255) | 0xFF000000u);
}

Colour PropColour(const QWidget* box, const char* name) {
  return NormaliseColour(ui::GetPropInt(const_cast<QWidget*>(box), name));
}

// The box draws its own text in the text colour over the skin (the parent's answer to the
// edit box's colour message): the text role takes the text colour, the base is transparent.
void ApplyTextColour(QWidget* box) {
  const QColor text = OpaqueColour(PropColour(box, prop::kTextColor));
  QPalette palette = box->palette();
  bool changed = false;
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    if (palette.color(group, QPalette::Text) != text) {
      palette.setColor(group, QPalette::Text, text);
      changed = true;
    }
    if (palette.color(group, QPalette::Base) != QColor(Qt::transparent)) {
      palette.setColor(group, QPalette::Base, Qt::transparent);
      changed = true;
    }
  }
  if (changed) box->setPalette(palette);
}

// Painting the frame: the fill over the whole window rectangle, the background image by back
// type, the one-pixel border inside it. Standalone painting uses the colours without alpha.
void PaintFrame(QWidget* box) {
  QPainter painter(box);
  const QRect whole(QPoint(0, 0), box->size());
  const Colour fill = PropColour(box, prop::kBackColor);
  if (fill != kNoColour) painter.fillRect(whole, OpaqueColour(fill));
  if (Image* image = ui::GetPropPtr<Image>(box, prop::kBackImage)) {
    DrawByBackType(painter, whole, *image, int(ui::GetPropInt(box, prop::kBackType)));
  }
  const Colour border = PropColour(box, prop::kOrderColor);
  if (border != kNoColour && whole.width() > 0 && whole.height() > 0) {
    painter.setPen(OpaqueColour(border));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(whole.adjusted(0, 0, -1, -1));  // FrameRect: inside the rectangle
  }
}

// The standalone hook: the skin first, then the edit box's own painting draws the text (and its
// caret) over it. Everything else is forwarded; Qt repaints the box on every change by itself.
bool TextBoxStandaloneProc(QWidget* box, QEvent* event) {
  if (event->type() == QEvent::Paint) {
    ApplyTextColour(box);
    PaintFrame(box);
  }
  return ForwardToKept(prop::kWndProc, box, event);
}

int ClampAlpha(int alpha) { return std::clamp(alpha, 0, 255); }

}  // namespace

void SkinTextBox::Bind(QWidget* control) {
  if (!Attach(control)) return;
  ui::SetProp(control, prop::kType, kKindTextBox);
  ui::SetProp(control, prop::kBackColor, qint64(0xFFFFFF));
  ui::SetProp(control, prop::kBackAlpha, 255);
  ui::SetProp(control, prop::kOrderColor, qint64(0x7B8084));
  ui::SetProp(control, prop::kOrderAlpha, 255);
  ui::SetProp(control, prop::kTextColor, qint64(0));
  // SWP_FRAMECHANGED: the system frame gives way to the skin's border; the box keeps drawing
  // its text over the skin.
  if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->setFrame(false);
  control->setAutoFillBackground(false);
  ApplyTextColour(control);
  if (!ui::HasProp(control, prop::kWndProc)) {
    HookAndKeep(control, &TextBoxStandaloneProc, prop::kWndProc);
  }
  if (QWidget* parent = control->parentWidget()) parent->update(control->geometry());
  control->update();
}

void SkinTextBox::SetBackColor(Colour colour, std::optional<int> alpha) {
  QWidget* box = handle_.data();
  if (!box) return;
  ui::SetProp(box, prop::kBackColor, qint64(NormaliseColour(colour)));
  if (alpha) ui::SetProp(box, prop::kBackAlpha, ClampAlpha(*alpha));
  box->update();
}

void SkinTextBox::SetBorderColor(Colour colour, std::optional<int> alpha) {
  QWidget* box = handle_.data();
  if (!box) return;
  ui::SetProp(box, prop::kOrderColor, qint64(NormaliseColour(colour)));
  if (alpha) ui::SetProp(box, prop::kOrderAlpha, ClampAlpha(*alpha));
  box->update();
}

void SkinTextBox::SetTextColor(Colour colour) {
  QWidget* box = handle_.data();
  if (!box) return;
  ui::SetProp(box, prop::kTextColor, qint64(NormaliseColour(colour)));
  ApplyTextColour(box);
  box->update();
}

void SkinTextBox::SetBackImage(Image* image) {
  QWidget* box = handle_.data();
  if (!box) return;
  ui::SetPropPtr(box, prop::kBackImage, image);
  if (QWidget* parent = box->parentWidget()) parent->update(box->geometry());
  box->update();
}

void SkinTextBox::SetBackImageData(const QByteArray& bytes) {
  QWidget* box = handle_.data();
  SetBackImage(box ? internal::AdoptImage(box, LoadImageFromBytes(bytes)) : nullptr);
}

void SkinTextBox::SetBackType(int type) {
  QWidget* box = handle_.data();
  if (!box) return;
  ui::SetProp(box, prop::kBackType, type);
  box->update();
}

core::Text SkinTextBox::GetText() const { return core::ToGbk(ControlText(handle_.data())); }

}  // namespace sonaro::skin
