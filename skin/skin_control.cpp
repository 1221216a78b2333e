#include "skin/skin_control.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>

#include "skin/props.h"
#include "skin/runtime.h"
#include "skin/skin_window.h"
#include "skin/testing.h"
#include "ui/props.h"
#include "ui/winproc.h"

namespace sonaro::skin {

namespace {

int DrawState(const QWidget* button) {
  return int(ui::GetPropInt(const_cast<QWidget*>(button), prop::kDrawState));
}

// The parent hook: the parent's colour and notification messages have no counterpart here (a
// skinned control paints its own text colour and repaints itself on change), so every event is
// forwarded to the parent's kept procedure.
bool ParentProc(QWidget* parent, QEvent* event) {
  return ForwardToKept(prop::kWndProc, parent, event);
}

// Requests a leave notification (TrackMouseEvent): Qt reports the pointer leaving a widget
// always, so the request only needs the moves to arrive at all.
void RequestLeaveNotice(QWidget* button) {
  if (!button->hasMouseTracking()) button->setMouseTracking(true);
  ++testing::Count().leaveRequests;
}

// PaintButton(button, no DC): the button is repainted from what lies behind it plus its state
// image.
void PaintButton(QWidget* button) {
  ++testing::Count().paintButton;
  button->update();
}

// The picture of a standalone button, drawn in its paint event over the pixels of the parent and
// the siblings behind it (Qt has already drawn them there: the button paints no background).
void PaintButtonInto(QWidget* button) {
  Image* image = StateImage(button);
  if (!image) return;
  QPainter painter(button);
  DrawByBackType(painter, QRect(QPoint(0, 0), button->size()), *image,
                 int(ui::GetPropInt(button, prop::kBackType)));
}

void SetDrawState(QWidget* button, int state, bool forceRepaint) {
  if (DrawState(button) != state) {
    ui::SetProp(button, prop::kDrawState, state);
    PaintButton(button);
  } else if (forceRepaint) {
    PaintButton(button);
  }
}

// BM_SETSTATE: the standard button's pressed look was switched on or off.
void OnSetState(QWidget* button, bool highlighted) {
  if (highlighted) {
    SetDrawState(button, kStateDown, false);
  } else {
    SetDrawState(button, ui::GetPropInt(button, prop::kIsFocus) ? kStateOver : kStateNormal, false);
  }
  PaintButton(button);
}

// Forwards to the button's own procedure and reports a change of its pressed state that the
// forwarded event caused (keyboard space, dragging off and back on while pressed ...).
bool ForwardWatchingPressedState(QWidget* button, QEvent* event) {
  auto* standard = qobject_cast<QAbstractButton*>(button);
  const bool before = standard && standard->isDown();
  QPointer<QWidget> alive(button);
  const bool result = ForwardToKept(prop::kWndProc, button, event);
  if (alive && standard && standard->isDown() != before) OnSetState(button, standard->isDown());
  return result;
}

bool IsLeft(const QEvent* event) {
  return static_cast<const QMouseEvent*>(event)->button() == Qt::LeftButton;
}

// The standalone hook: the button's procedure while it paints itself on an ordinary window.
bool ButtonStandaloneProc(QWidget* button, QEvent* event) {
  QPointer<QWidget> alive(button);
  switch (event->type()) {
    case QEvent::Paint:
      PaintButtonInto(button);
      return true;
    case QEvent::MouseMove: {
      const bool result = ForwardWatchingPressedState(button, event);
      if (!alive) return result;
      const int state = DrawState(button);
      if (state != kStateOver && state != kStateDown) {
        RequestLeaveNotice(button);
        SetDrawState(button, kStateOver, true);
      }
      return result;
    }
    case QEvent::Leave: {
      const bool result = ForwardToKept(prop::kWndProc, button, event);
      if (alive) SetDrawState(button, kStateNormal, true);
      return result;
    }
    case QEvent::MouseButtonPress: {
      if (!IsLeft(event)) return ForwardWatchingPressedState(button, event);
      const bool result = ForwardToKept(prop::kWndProc, button, event);
      if (alive) SetDrawState(button, kStateDown, true);
      return result;
    }
    case QEvent::MouseButtonRelease: {
      if (!IsLeft(event)) return ForwardWatchingPressedState(button, event);
      const bool result = ForwardToKept(prop::kWndProc, button, event);
      if (alive)
        SetDrawState(button, DrawState(button) == kStateDown ? kStateOver : kStateNormal, true);
      return result;
    }
    case QEvent::EnabledChange: {
      const bool result = ForwardToKept(prop::kWndProc, button, event);
      if (alive) SetDrawState(button, button->isEnabled() ? kStateNormal : kStateDisabled, true);
      return result;
    }
    case QEvent::FocusIn:
      ui::SetProp(button, prop::kIsFocus, 1);
      if (DrawState(button) == kStateDown) SetDrawState(button, kStateOver, true);
      return true;
    case QEvent::FocusOut:
      ui::SetProp(button, prop::kIsFocus, 0);
      if (DrawState(button) == kStateOver) SetDrawState(button, kStateNormal, true);
      return true;
    default:
      return ForwardWatchingPressedState(button, event);
  }
}

}  // namespace

namespace internal {

Image* AdoptImage(QWidget* control, Image* image) {
  if (image) image->setParent(control);
  return image;
}

bool ButtonLayerProc(QWidget* button, QEvent* event) {
  QWidget* parent = button->parentWidget();
  switch (event->type()) {
    case QEvent::Paint:
      return true;  // drawn by the parent's layer
    case QEvent::MouseMove: {
      const int state = DrawState(button);
      if (state != kStateOver && state != kStateDown) {
        RequestLeaveNotice(button);
        ui::SetProp(button, prop::kDrawState, kStateOver);
        ComposeLayer(parent);
      }
      break;
    }
    case QEvent::Leave:
      ui::SetProp(button, prop::kDrawState, kStateNormal);
      ComposeLayer(parent);
      break;
    case QEvent::MouseButtonPress:
      if (IsLeft(event)) {
        ui::SetProp(button, prop::kDrawState, kStateDown);
        ComposeLayer(parent);
      }
      break;
    case QEvent::MouseButtonRelease:
      if (IsLeft(event)) {
        ui::SetProp(button, prop::kDrawState,
                    DrawState(button) == kStateDown ? kStateOver : kStateNormal);
        ComposeLayer(parent);
      }
      break;
    case QEvent::EnabledChange:
      ui::SetProp(button, prop::kDrawState, button->isEnabled() ? kStateNormal : kStateDisabled);
      ComposeLayer(parent);
      break;
    default:
      break;
  }
  return ForwardToKept(prop::kChildWndProc, button, event);
}

}  // namespace internal

Image* StateImage(const QWidget* button) {
  Image* image = nullptr;
  switch (DrawState(button)) {
    case kStateOver:
      image = ui::GetPropPtr<Image>(const_cast<QWidget*>(button), prop::kOverImage);
      break;
    case kStateDown:
      image = ui::GetPropPtr<Image>(const_cast<QWidget*>(button), prop::kDownImage);
      break;
    case kStateDisabled:
      image = ui::GetPropPtr<Image>(const_cast<QWidget*>(button), prop::kDisableImage);
      break;
    default:
      break;
  }
  return image ? image : ui::GetPropPtr<Image>(const_cast<QWidget*>(button), prop::kNormalImage);
}

// --- SkinControl ------------------------------------------------------------------------------

bool SkinControl::Attach(QWidget* control) {
  if (!IsLiveWindow(control)) return false;
  // 1. The parent hook, once per parent, unless the parent is itself a skinned control.
  QWidget* parent = control->parentWidget();
  if (parent && !ui::GetPropInt(parent, prop::kType) && !ui::HasProp(parent, prop::kWndProc)) {
    HookAndKeep(parent, &ParentProc, prop::kWndProc);
  }
  // 2.-4. Clip-siblings off, transparent on, the parent's clip-children off: the control is
  // drawn after, and over, what lies behind it; Qt already paints a non-opaque child that way.
  control->setAttribute(Qt::WA_OpaquePaintEvent, false);
  // 5.
  handle_ = control;
  return true;
}

QWidget* SkinControl::GetHandle() const { return handle_.data(); }

void SkinControl::SetProperty(const char* name, const QVariant& value) {
  ui::SetProp(handle_.data(), name, value);
}

QVariant SkinControl::GetProperty(const char* name) const {
  return ui::GetProp(handle_.data(), name);
}

bool SkinControl::Send(QEvent* event) {
  return handle_ && event ? QCoreApplication::sendEvent(handle_.data(), event) : false;
}

void SkinControl::Move(std::optional<int> x, std::optional<int> y, std::optional<int> width,
                       std::optional<int> height, std::optional<bool> noRedraw) {
  MoveWindow(handle_.data(), x, y, width, height, noRedraw);
}

QWidget* SkinControl::GetWindowHandle() const { return handle_.data(); }

bool SkinControl::IsValid() const { return IsLiveWindow(handle_.data()); }

void SkinControl::Invalidate() {
  if (handle_) handle_->update();
}

bool SkinControl::SendMessage(QEvent* event) { return Send(event); }

// --- SkinButton -------------------------------------------------------------------------------

QWidget* SkinButton::Create(QWidget* parent, int x, int y, int width, int height,
                            const core::Text& caption) {
  if (!IsLiveWindow(parent)) return nullptr;  // a child window needs its parent
  auto* button = new ui::Hooked<QPushButton>(core::FromGbk(caption), parent);
  button->setAttribute(Qt::WA_OpaquePaintEvent, false);
  button->setGeometry(x, y, width, height);
  button->show();
  Bind(button);
  return button;
}

void SkinButton::Bind(QWidget* control, Image* normalImage) {
  if (!Attach(control)) return;
  ui::SetProp(control, prop::kType, kKindImageButton);
  if (normalImage) ui::SetPropPtr(control, prop::kNormalImage, normalImage);
  // Owner drawing: from now on the standalone hook paints the button, not its style. Mouse moves
  // must arrive without a pressed button for the over state.
  control->setMouseTracking(true);
  if (!ui::HasProp(control, prop::kWndProc)) {
    HookAndKeep(control, &ButtonStandaloneProc, prop::kWndProc);
  }
  if (QWidget* parent = control->parentWidget()) parent->update(control->geometry());
  control->update();
}

void SkinButton::SetImages(std::optional<Image*> normal, std::optional<Image*> over,
                           std::optional<Image*> down, std::optional<Image*> disabled) {
  QWidget* control = handle_.data();
  if (!control) return;
  if (normal) ui::SetPropPtr(control, prop::kNormalImage, *normal);
  if (over) ui::SetPropPtr(control, prop::kOverImage, *over);
  if (down) ui::SetPropPtr(control, prop::kDownImage, *down);
  if (disabled) ui::SetPropPtr(control, prop::kDisableImage, *disabled);
}

void SkinButton::SetImageData(std::optional<QByteArray> normal, std::optional<QByteArray> over,
                              std::optional<QByteArray> down, std::optional<QByteArray> disabled) {
  QWidget* control = handle_.data();
  if (!control) return;
  auto store = [control](const char* name, const std::optional<QByteArray>& bytes) {
    if (!bytes) return;
    ui::SetPropPtr(control, name, internal::AdoptImage(control, LoadImageFromBytes(*bytes)));
  };
  store(prop::kNormalImage, normal);
  store(prop::kOverImage, over);
  store(prop::kDownImage, down);
  store(prop::kDisableImage, disabled);
}

void SkinButton::SetBackType(int type) { SetProperty(prop::kBackType, type); }

}  // namespace sonaro::skin
