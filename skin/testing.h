// Observation points for the skin tests and the benchmark. They count or report what the
// toolkit does and change nothing; all of them are used on the GUI thread only.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

namespace sonaro::skin::testing {

struct Counters {
  int paintButton = 0;    // PaintButton runs (standalone buttons)
  int leaveRequests = 0;  // leave notifications requested (TrackMouseEvent)
  int composeLayer = 0;   // layers composed
  int presentLayer = 0;   // frames presented on a layered window
};
Counters& Count();

// Called on the GUI thread each time an animation window draws a frame.
using FrameObserver = void (*)(QWidget* window, int frame);
void SetFrameObserver(FrameObserver observer);
FrameObserver GetFrameObserver();

// The clean-up steps of animation windows in the order they ran ("thread", "image", "stream").
std::vector<std::string>& CleanupTrace();

}  // namespace sonaro::skin::testing
