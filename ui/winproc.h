// Replaceable window procedures for the widgets the loader creates.
//
// Every catalogue window and control is a Hooked<QtClass>: its event() runs the procedure
// currently installed on it. A hook replaces the procedure, keeps the one it replaced and
// forwards to it, so "act, then forward" and "forward, then act" are both expressible. The
// innermost procedure is DefaultProc: the catalogue's own events (common mouse events, moves,
// list clicks, dragging by the body), then Qt's own handling of the event.
#pragma once

#include <QAbstractScrollArea>
#include <QEvent>
#include <QWidget>
#include <cstdint>
#include <utility>
#include <vector>

namespace sonaro::ui {

struct Binding;

// A window procedure. Returns what QWidget::event would: whether the event was recognised.
using WndProc = bool (*)(QWidget* widget, QEvent* event);

// The procedure every hookable widget starts with.
bool DefaultProc(QWidget* widget, QEvent* event);

// Event type sent through the procedure chain while a widget is being destroyed (the moment the
// window system's "destroy" message stands for). DefaultProc ignores it.
QEvent::Type DestroyEventType();

class HookBase {
 public:
  explicit HookBase(QWidget* self) : self_(self) {}
  virtual ~HookBase() = default;
  HookBase(const HookBase&) = delete;
  HookBase& operator=(const HookBase&) = delete;

  QWidget* Widget() const { return self_; }
  WndProc Proc() const { return proc_; }
  WndProc ReplaceProc(WndProc proc) { return std::exchange(proc_, proc ? proc : &DefaultProc); }

  // Qt's own handling of the event being dispatched (event() or, for a scroll area's viewport
  // events, viewportEvent()).
  bool QtHandling(QEvent* event) { return inViewport_ ? QtViewportEvent(event) : QtEvent(event); }
  // True while the event being dispatched was sent to a scroll area's viewport; its positions are
  // then viewport coordinates.
  bool InViewport() const { return inViewport_; }
  QWidget* Viewport() const;

  // Identity in the catalogue, set by the loader (0 for widgets made elsewhere).
  uint32_t windowId = 0;
  uint32_t unitId = 0;
  const std::vector<Binding>* bindings = nullptr;
  bool isWindow = false;
  bool dragByBody = false;
  bool raisesListClick = false;

  // Manual dragging state, used when the window manager cannot move the window for us.
  bool dragging = false;
  QPoint dragOffset;

 protected:
  virtual bool QtEvent(QEvent* event) = 0;
  virtual bool QtViewportEvent(QEvent*) { return false; }
  bool Dispatch(QEvent* event) { return proc_(self_, event); }
  bool DispatchViewport(QEvent* event) {
    const bool outer = std::exchange(inViewport_, true);
    const bool result = proc_(self_, event);
    inViewport_ = outer;
    return result;
  }
  void DispatchDestroy();

 private:
  QWidget* self_;
  WndProc proc_ = &DefaultProc;
  bool inViewport_ = false;
};

template <class Base>
class Hooked : public Base, public HookBase {
 public:
  template <class... Args>
  explicit Hooked(Args&&... args) : Base(std::forward<Args>(args)...), HookBase(this) {}
  ~Hooked() override { DispatchDestroy(); }

 protected:
  bool event(QEvent* event) override { return Dispatch(event); }
  bool QtEvent(QEvent* event) override { return Base::event(event); }
};

// For scroll areas (tree, list, multi-line edit): the viewport's events run through the same
// procedure, as the window system delivers them to the control itself.
template <class Base>
class HookedScroll : public Hooked<Base> {
 public:
  using Hooked<Base>::Hooked;

 protected:
  bool viewportEvent(QEvent* event) override { return this->DispatchViewport(event); }
  bool QtViewportEvent(QEvent* event) override { return Base::viewportEvent(event); }
};

// The hook interface of a widget, or null if the widget is not hookable.
HookBase* Hook(QWidget* widget);

// The widget's current procedure; null for widgets that are not hookable.
WndProc GetWindowProc(QWidget* widget);
// Installs proc and returns the procedure it replaced; null (and nothing changes) for widgets
// that are not hookable. A null proc restores DefaultProc.
WndProc SetWindowProc(QWidget* widget, WndProc proc);
// Forwards an event to a kept procedure; a null procedure means DefaultProc.
bool CallWindowProc(WndProc proc, QWidget* widget, QEvent* event);

// Procedures are kept in named window properties as plain numbers.
quintptr ProcToValue(WndProc proc);
WndProc ValueToProc(quintptr value);

}  // namespace sonaro::ui
