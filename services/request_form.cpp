#include "services/handlers.h"

namespace sonaro::services {

// The form's page, submission, help and close arrive with the dedication service.
void OnRequestFormCreated(const ui::Event&) {}
void OnRequestSubmit(const ui::Event&) {}
void OnRequestClose(const ui::Event&) {}
void OnRequestHelp(const ui::Event&) {}

// Pressing the "special note" label does nothing.
void OnRequestNotePressed(const ui::Event&) {}

}  // namespace sonaro::services
