// Slider bars built from three existing controls of one window: a thumb the user drags, a
// track it moves along and a fill bar whose length shows the value. The controls keep their
// own pictures and events; the slider watches their mouse input through their procedures.
#pragma once

#include <QMouseEvent>
#include <QWidget>
#include <cstdint>
#include <optional>

namespace sonaro::skin {

// (window ID, unit ID) of a catalogue control.
struct ControlRef {
  uint32_t windowId = 0;
  uint32_t unitId = 0;
};

// Called with the control that got the mouse event, before the control's own processing.
using SliderHandler = void (*)(QWidget* control, const QMouseEvent* event);

struct SliderHandlers {
  SliderHandler thumbDown = nullptr;
  SliderHandler thumbUp = nullptr;
  SliderHandler thumbDrag = nullptr;
  SliderHandler fillDown = nullptr;
  SliderHandler fillUp = nullptr;
  SliderHandler trackDown = nullptr;
  SliderHandler trackUp = nullptr;
};

class SliderBar {
 public:
  // Builds a slider, or updates the one already built on this thumb (range, value, direction
  // and step; its procedures are not replaced again). An omitted minimum is 0, an omitted
  // maximum 100, an omitted value the minimum. minimum >= maximum: an error message and no
  // slider. False when nothing was built or updated.
  static bool Build(ControlRef thumb, ControlRef track, ControlRef fill,
                    std::optional<int64_t> minimum, std::optional<int64_t> maximum,
                    std::optional<int64_t> value, bool vertical);
  // Places the slider whose thumb this is at a value (clamped into its range).
  static void SetValue(QWidget* thumb, int64_t value);
  // The value of the slider whose thumb this is, clamped into its range; 0 when there is none.
  static int64_t GetValue(QWidget* thumb);
  // The seven handlers, shared by every slider.
  static void SetSliderHandlers(const SliderHandlers& handlers);
  // True while a thumb is held (one flag for all sliders).
  static bool Dragging();
  // Number of sliders built; they are never removed.
  static size_t Count();
};

}  // namespace sonaro::skin
