#include <QImage>
#include <QPointer>
#include <QWidget>
#include <array>
#include <utility>

#include "browser/page_scripting.h"
#include "core/service_contract.h"
#include "services/handlers.h"
#include "services/service_host.h"
#include "ui/facilities.h"
#include "ui/ids.h"
#include "ui/picture.h"
#include "ui/window_system.h"

namespace sonaro::services {

namespace {

using core::Dedication;

// The dedication page's text fields and the boxes they are filled from, in the order they are
// filled. The wishes (编辑框5) go through the element scripter: the page's field is a text area.
constexpr std::array<std::pair<std::string Dedication::*, uint32_t>, 6> kTextFields = {{
    {&Dedication::recipientTitle, ids::request::kEdit1},
    {&Dedication::recipient, ids::request::kEdit2},
    {&Dedication::song, ids::request::kEdit3},
    {&Dedication::songAddress, ids::request::kEdit4},
    {&Dedication::dedicator, ids::request::kEdit7},
    {&Dedication::dedicatorTitle, ids::request::kEdit6},
}};

core::Text FormName(std::string Dedication::*member) {
  return core::Text(core::FieldOf(member).formName);
}

constexpr std::array<uint32_t, 7> kBoxesInOrder = {
    ids::request::kEdit1, ids::request::kEdit2, ids::request::kEdit3, ids::request::kEdit4,
    ids::request::kEdit5, ids::request::kEdit6, ids::request::kEdit7};

}  // namespace

void OnRequestFormCreated(const ui::Event& event) {
  QWidget* form = qobject_cast<QWidget*>(event.source);
  if (!form) form = ui::FindWindow(ids::kRequestForm);
  // 1. White in the background picture is outside the form.
  const QByteArray picture =
      ui::GetProperty(ids::kRequestForm, ids::kRequestFormUnit, ui::prop::kPicture).toByteArray();
  ui::CutOutline(form, ui::DecodePicture(picture));
  // 2. The hidden browser loads the dedication page.
  ui::SetText(ids::kRequestForm, ids::request::kBrowser,
              DedicationPageAddress(core::resource::kDedicationPage), ui::prop::kAddress);
}

// The form a press came from: several may be open. The newest when the press did not come from
// a widget.
QWidget* PressedForm(const ui::Event& event) {
  auto* control = qobject_cast<QWidget*>(event.source);
  return control ? control->window() : ui::FindWindow(ids::kRequestForm);
}

void OnRequestSubmit(const ui::Event& event) {
  QWidget* window = PressedForm(event);
  auto text = [window](uint32_t unit) { return ui::GetWidgetText(ui::ControlIn(window, unit)); };
  browser::FormScripter& form = browser::RequestFormScripter();
  browser::ElementScripter& elements = browser::RequestElementScripter();
  // Nothing is checked or reported: whatever the page lacks is simply not filled, and the
  // boxes are emptied in any case.
  QPointer<QWidget> box = qobject_cast<QWidget*>(ui::ControlIn(window, ids::request::kBrowser));
  form.AttachToWindow(box);
  for (const auto& [member, unit] : kTextFields)
    form.SetTextInputByName(FormName(member), text(unit));
  elements.AttachToPage(nullptr, box);
  elements.SetValueByName(FormName(&Dedication::wishes), 1, text(ids::request::kEdit5));
  form.ClickButtonByCaption(core::GbkFromUtf8("提交留言"));
  for (uint32_t unit : kBoxesInOrder) ui::SetWidgetText(ui::ControlIn(window, unit), {});
}

void OnRequestClose(const ui::Event& event) { ui::DestroyWindowLater(PressedForm(event)); }

void OnRequestHelp(const ui::Event&) { ui::OpenInBrowser(HelpAddress(core::resource::kHelpPage)); }

// Pressing the "special note" label does nothing.
void OnRequestNotePressed(const ui::Event&) {}

}  // namespace sonaro::services
