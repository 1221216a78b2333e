#include <QPointer>
#include <QWidget>

#include "services/handlers.h"
#include "services/update_check.h"
#include "ui/ids.h"
#include "ui/window_system.h"

namespace sonaro::services {

namespace {
UpdateState& State() {
  static UpdateState state;
  return state;
}
}  // namespace

// The whole check runs in the Update window's creation event; the window goes when it is over.
void OnUpdateWindowCreated(const ui::Event& event) {
  auto* window = qobject_cast<QWidget*>(event.source);
  ui::SetText(ids::kUpdateWindow, ids::update::kLabel, SetUpUpdateWindow(State()));
  // The user should see the window with its version while the page is fetched.
  if (window) window->show();
  // The window goes once the page has been answered; closed earlier (the program ending), the
  // answer is dropped with it.
  CheckForUpdate(State(), DefaultUpdateSettings(), window,
                 [window = QPointer<QWidget>(window)] { ui::DestroyWindowLater(window); });
}

}  // namespace sonaro::services
