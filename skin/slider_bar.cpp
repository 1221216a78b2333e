#include "skin/slider_bar.h"

#include <QPointer>
#include <cmath>
#include <vector>

#include "core/gbk.h"
#include "ui/facilities.h"
#include "ui/window_system.h"
#include "ui/winproc.h"

namespace sonaro::skin {

namespace {

constexpr double kTolerance = 0.0000001;

struct Slider {
  ControlRef thumbRef, trackRef, fillRef;
  QPointer<QWidget> thumb, track, fill, parent;
  int border = 0;
  int caption = 0;
  int64_t minimum = 0, maximum = 100, value = 0;
  bool vertical = false;
  double step = 0;
  ui::WndProc previous[3] = {nullptr, nullptr, nullptr};  // thumb, track, fill
};

std::vector<Slider>& Registry() {
  static std::vector<Slider> sliders;
  return sliders;
}
SliderHandlers g_handlers;
bool g_dragging = false;

// Halves away from zero.
int64_t Rounded(double value) { return int64_t(std::llround(value)); }

// Window rectangle in screen coordinates.
QRect ScreenRect(const QWidget* widget) {
  if (widget->isWindow()) return widget->frameGeometry();
  return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
}

int Property(QWidget* control, int number) {
  return ui::GetWidgetProperty(control, number).toInt();
}
void SetProperty(QWidget* control, int number, double value) {
  ui::SetWidgetProperty(control, number, value);  // cut toward zero by the layer
}

double Length(const QRect& rect, bool vertical) { return vertical ? rect.height() : rect.width(); }
double Start(const QRect& rect, bool vertical) { return vertical ? rect.top() : rect.left(); }

double ComputeStep(const Slider& s) {
  const double travel =
      Length(ScreenRect(s.track), s.vertical) - Length(ScreenRect(s.thumb), s.vertical);
  return travel / double(s.maximum - s.minimum);
}

Slider* FindByControl(const QWidget* control) {
  for (Slider& s : Registry()) {
    if (s.thumb == control || s.track == control || s.fill == control) return &s;
  }
  return nullptr;
}

Slider* FindByThumb(const QWidget* thumb) {
  for (Slider& s : Registry()) {
    if (s.thumb && s.thumb == thumb) return &s;
  }
  return nullptr;
}

// Moves the thumb to a screen position: without resizing, on top of its siblings.
void MoveThumb(Slider& s, double screenX, double screenY) {
  const QRect parent = ScreenRect(s.parent);
  const int x = int(screenX - parent.left() - s.border);
  const int y = int(screenY - parent.top() - s.caption);
  s.thumb->move(x, y);
  s.thumb->raise();
}

double FillLength(const Slider& s) {
  const int trackLength = Property(s.track, s.vertical ? ui::prop::kHeight : ui::prop::kWidth);
  return double(trackLength) * double(s.value - s.minimum) / double(s.maximum - s.minimum);
}

int64_t Clamp(const Slider& s, int64_t value) {
  return value < s.minimum ? s.minimum : value > s.maximum ? s.maximum : value;
}

int64_t ValueFromThumb(const Slider& s, const QRect& track) {
  if (s.step == 0) return s.minimum;  // thumb as long as the track: nowhere to go
  const double offset = Start(ScreenRect(s.thumb), s.vertical) - Start(track, s.vertical);
  return Rounded(offset / s.step + double(s.minimum));
}

// The snapped position when the thumb fits at c; nullopt when it does not.
std::optional<double> SnappedStart(const Slider& s, double c, const QRect& track,
                                   double thumbLength) {
  const double start = Start(track, s.vertical);
  const double end = start + Length(track, s.vertical);
  if (c < start || c + thumbLength > end + kTolerance) return std::nullopt;
  if (s.step == 0) return start;
  const int64_t k = Rounded((c - start) / s.step);
  return start + double(k) * s.step;
}

void PlaceAlongAxis(Slider& s, double along) {
  const QRect thumb = ScreenRect(s.thumb);
  // The cross-axis position does not change.
  if (s.vertical) {
    MoveThumb(s, thumb.left(), along);
  } else {
    MoveThumb(s, along, thumb.top());
  }
}

void DragStep(Slider& s, const QMouseEvent* event) {
  const QRect track = ScreenRect(s.track);
  const double thumbLength = Length(ScreenRect(s.thumb), s.vertical);
  const QPoint cursor = event->globalPosition().toPoint();
  const double c = s.vertical ? cursor.y() : cursor.x();
  const double start = Start(track, s.vertical);
  const double end = start + Length(track, s.vertical);
  if (auto snapped = SnappedStart(s, c, track, thumbLength)) {
    PlaceAlongAxis(s, *snapped);
  } else if (c < start) {
    PlaceAlongAxis(s, start);
  } else if (c > end) {
    PlaceAlongAxis(s, end - thumbLength);
  }  // within the last thumb length of the track: the thumb stays
  s.value = ValueFromThumb(s, track);
  SetProperty(s.fill, s.vertical ? ui::prop::kHeight : ui::prop::kWidth, FillLength(s));
  if (g_handlers.thumbDrag) g_handlers.thumbDrag(s.thumb, event);
}

void JumpStep(Slider& s, const QMouseEvent* event) {
  // The pressed control already holds the pointer for the press (implicit grab).
  const QRect track = ScreenRect(s.track);
  const double thumbLength = Length(ScreenRect(s.thumb), s.vertical);
  const QPoint cursor = event->globalPosition().toPoint();
  const double c = s.vertical ? cursor.y() : cursor.x();
  const double start = Start(track, s.vertical);
  const double end = start + Length(track, s.vertical);
  if (auto snapped = SnappedStart(s, c, track, thumbLength)) {
    PlaceAlongAxis(s, *snapped);
  } else {
    const double half = Property(s.thumb, s.vertical ? ui::prop::kHeight : ui::prop::kWidth) / 2.0;
    if (c < start + half - kTolerance) PlaceAlongAxis(s, start);
    if (c > end - half + kTolerance) PlaceAlongAxis(s, end - thumbLength);
  }
  s.value = ValueFromThumb(s, track);
  if (s.vertical) {
    SetProperty(s.fill, ui::prop::kHeight, FillLength(s));
  } else {
    const double d = Property(s.thumb, ui::prop::kLeft) - Property(s.fill, ui::prop::kLeft);
    const double thumbWidth = Property(s.thumb, ui::prop::kWidth);
    const double travel = Property(s.track, ui::prop::kWidth) - thumbWidth;
    SetProperty(s.fill, ui::prop::kWidth, travel != 0 ? d + d / travel * thumbWidth : d);
  }
}

bool SliderProc(QWidget* control, QEvent* event) {
  Slider* slider = FindByControl(control);
  if (!slider) return false;
  // The record may move if a slider is built inside a handler: work on a copy of what we need.
  const int which = slider->thumb == control ? 0 : slider->track == control ? 1 : 2;
  const ui::WndProc previous = slider->previous[which];
  QPointer<QWidget> alive(control);

  const auto type = event->type();
  const bool isMouse = type == QEvent::MouseMove || type == QEvent::MouseButtonPress ||
                       type == QEvent::MouseButtonDblClick || type == QEvent::MouseButtonRelease;
  if (!isMouse) return ui::CallWindowProc(previous, control, event);
  const auto* mouse = static_cast<const QMouseEvent*>(event);
  const bool leftDown = (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
                        mouse->button() == Qt::LeftButton;
  const bool leftUp = type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton;

  if (which == 0) {
    if (type == QEvent::MouseMove) {
      if (g_dragging) DragStep(*slider, mouse);
    } else if (leftDown) {
      g_dragging = true;
      if (g_handlers.thumbDown) g_handlers.thumbDown(control, mouse);
    } else if (leftUp) {
      g_dragging = false;
      if (g_handlers.thumbUp) g_handlers.thumbUp(control, mouse);
    }
  } else {
    const bool track = which == 1;
    if (leftDown) {
      JumpStep(*slider, mouse);
      if (SliderHandler h = track ? g_handlers.trackDown : g_handlers.fillDown) h(control, mouse);
    } else if (leftUp) {
      if (SliderHandler h = track ? g_handlers.trackUp : g_handlers.fillUp) h(control, mouse);
    }
  }
  if (!alive) return true;
  // The control's own processing follows, so its click and mouse events still happen.
  return ui::CallWindowProc(previous, control, event);
}

}  // namespace

bool SliderBar::Build(ControlRef thumbRef, ControlRef trackRef, ControlRef fillRef,
                      std::optional<int64_t> minimumArg, std::optional<int64_t> maximumArg,
                      std::optional<int64_t> valueArg, bool vertical) {
  const int64_t minimum = minimumArg.value_or(0);
  const int64_t maximum = maximumArg.value_or(100);
  const int64_t value = valueArg.value_or(minimum);
  if (minimum >= maximum) {
    ui::MessageBox(core::GbkFromUtf8("构建滑块条失败！原因为：最小值不能大于或等于最大值！"),
                   ui::kMbIconError);
    return false;
  }
  QWidget* thumb = ui::ControlWidget(thumbRef.windowId, thumbRef.unitId);
  QWidget* track = ui::ControlWidget(trackRef.windowId, trackRef.unitId);
  QWidget* fill = ui::ControlWidget(fillRef.windowId, fillRef.unitId);
  if (!thumb || !track || !fill || !thumb->parentWidget()) return false;

  if (Slider* existing = FindByThumb(thumb)) {
    existing->minimum = minimum;
    existing->maximum = maximum;
    existing->value = value;
    existing->vertical = vertical;
    existing->step = ComputeStep(*existing);
    SetValue(thumb, value);
    return true;
  }

  Slider s;
  s.thumbRef = thumbRef;
  s.trackRef = trackRef;
  s.fillRef = fillRef;
  s.thumb = thumb;
  s.track = track;
  s.fill = fill;
  s.previous[0] = ui::SetWindowProc(thumb, &SliderProc);
  s.previous[1] = ui::SetWindowProc(track, &SliderProc);
  s.previous[2] = ui::SetWindowProc(fill, &SliderProc);
  s.parent = thumb->parentWidget();
  const QRect frame = ScreenRect(s.parent);
  const QRect client = s.parent->geometry();
  s.border = int(Rounded((frame.width() - client.width()) / 2.0));
  s.caption = frame.height() - client.height() - s.border;
  s.minimum = minimum;
  s.maximum = maximum;
  s.value = value;
  s.vertical = vertical;
  s.step = ComputeStep(s);
  Registry().push_back(s);
  SetValue(thumb, value);
  return true;
}

void SliderBar::SetValue(QWidget* thumbWidget, int64_t value) {
  Slider* s = FindByThumb(thumbWidget);
  if (!s || !s->track || !s->fill || !s->parent) return;
  const QRect thumb = ScreenRect(s->thumb);
  const QRect track = ScreenRect(s->track);
  s->value = Clamp(*s, value);
  const double along = double(Rounded(s->step * double(s->value - s->minimum)));
  if (s->vertical) {
    MoveThumb(*s, track.left() + (track.width() - thumb.width()) / 2.0, track.top() + along);
  } else {
    MoveThumb(*s, track.left() + along, track.top() + (track.height() - thumb.height()) / 2.0);
  }
  SetProperty(s->fill, ui::prop::kLeft, Property(s->track, ui::prop::kLeft));
  SetProperty(s->fill, ui::prop::kTop, Property(s->track, ui::prop::kTop));
  SetProperty(s->fill, s->vertical ? ui::prop::kHeight : ui::prop::kWidth, FillLength(*s));
}

int64_t SliderBar::GetValue(QWidget* thumb) {
  const Slider* s = FindByThumb(thumb);
  return s ? Clamp(*s, s->value) : 0;
}

void SliderBar::SetSliderHandlers(const SliderHandlers& handlers) { g_handlers = handlers; }

bool SliderBar::Dragging() { return g_dragging; }

size_t SliderBar::Count() { return Registry().size(); }

}  // namespace sonaro::skin
