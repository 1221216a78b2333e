#include "ui/winproc.h"

#include <QMouseEvent>
#include <QPointer>
#include <QWindow>

#include "ui/catalogue_types.h"
#include "ui/window_system.h"

namespace sonaro::ui {

QEvent::Type DestroyEventType() {
  static const auto type = QEvent::Type(QEvent::registerEventType());
  return type;
}

QWidget* HookBase::Viewport() const {
  auto* area = qobject_cast<QAbstractScrollArea*>(self_);
  return area ? area->viewport() : nullptr;
}

void HookBase::DispatchDestroy() {
  QEvent destroy(DestroyEventType());
  proc_(self_, &destroy);
}

HookBase* Hook(QWidget* widget) { return dynamic_cast<HookBase*>(widget); }

WndProc GetWindowProc(QWidget* widget) {
  HookBase* hook = Hook(widget);
  return hook ? hook->Proc() : nullptr;
}

WndProc SetWindowProc(QWidget* widget, WndProc proc) {
  HookBase* hook = Hook(widget);
  return hook ? hook->ReplaceProc(proc) : nullptr;
}

bool CallWindowProc(WndProc proc, QWidget* widget, QEvent* event) {
  return (proc ? proc : &DefaultProc)(widget, event);
}

quintptr ProcToValue(WndProc proc) { return reinterpret_cast<quintptr>(proc); }
WndProc ValueToProc(quintptr value) { return reinterpret_cast<WndProc>(value); }

namespace {

bool IsMouseEvent(QEvent::Type type) {
  return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
         type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
}

// The pointer position within the control itself (viewport positions are mapped).
QPoint ControlPosition(HookBase* hook, const QMouseEvent* mouse) {
  QPoint position = mouse->position().toPoint();
  if (hook->InViewport() && hook->Viewport()) {
    position = hook->Viewport()->mapTo(hook->Widget(), position);
  }
  return position;
}

void Raise(HookBase* hook, int number, const QMouseEvent* mouse) {
  if (!hook->bindings) return;
  Event event;
  event.windowId = hook->windowId;
  event.unitId = hook->unitId;
  event.number = number;
  event.source = hook->Widget();
  if (mouse) {
    const QPoint position = ControlPosition(hook, mouse);
    event.x = position.x();
    event.y = position.y();
    event.keys = mouse->modifiers();
  }
  InvokeBindings(*hook->bindings, event);
}

// The common mouse events, raised before Qt handles the event.
void RaiseMouseEvents(HookBase* hook, QEvent* event) {
  const auto* mouse = static_cast<const QMouseEvent*>(event);
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      if (mouse->button() == Qt::LeftButton) Raise(hook, kEventLeftDown, mouse);
      break;
    case QEvent::MouseButtonRelease:
      if (mouse->button() == Qt::LeftButton) Raise(hook, kEventLeftUp, mouse);
      break;
    case QEvent::MouseMove:
      Raise(hook, kEventMouseMove, mouse);
      break;
    default:
      break;
  }
}

// Pressing the left button on the body of such a window moves the window, as a title bar does.
void DragByBody(HookBase* hook, QEvent* event) {
  QWidget* window = hook->Widget();
  const auto* mouse = static_cast<const QMouseEvent*>(event);
  const QPoint global = mouse->globalPosition().toPoint();
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      if (mouse->button() != Qt::LeftButton) return;
      if (window->windowHandle() && window->windowHandle()->startSystemMove()) return;
      hook->dragging = true;  // no window manager to do it: follow the pointer ourselves
      hook->dragOffset = global - window->frameGeometry().topLeft();
      return;
    case QEvent::MouseMove:
      if (hook->dragging && (mouse->buttons() & Qt::LeftButton))
        window->move(global - hook->dragOffset);
      return;
    case QEvent::MouseButtonRelease:
      if (mouse->button() == Qt::LeftButton) hook->dragging = false;
      return;
    default:
      return;
  }
}

}  // namespace

bool DefaultProc(QWidget* widget, QEvent* event) {
  HookBase* hook = Hook(widget);
  if (!hook) return false;
  if (event->type() == DestroyEventType()) return true;

  QPointer<QWidget> alive(widget);
  const bool mouse = IsMouseEvent(event->type());
  if (mouse) {
    RaiseMouseEvents(hook, event);
    if (!alive) return true;
  }

  bool result = hook->QtHandling(event);
  if (!alive) return true;

  if (hook->isWindow && event->type() == QEvent::Move) {
    Raise(hook, kEventMoved, nullptr);
  } else if (mouse && hook->isWindow && hook->dragByBody && !hook->InViewport()) {
    DragByBody(hook, event);
  } else if (hook->raisesListClick && hook->InViewport() &&
             event->type() == QEvent::MouseButtonRelease &&
             static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    Raise(hook, kEventListClick, static_cast<QMouseEvent*>(event));
  }
  if (mouse && alive && !hook->isWindow) {
    // A control keeps its mouse input: nothing reaches the window underneath.
    event->accept();
    result = true;
  }
  return result;
}

}  // namespace sonaro::ui
