#include <QImage>
#include <QPointer>
#include <QWidget>
#include <array>
#include <utility>

#include "app/ids.h"
#include "app/winsys/picture.h"
#include "app/winsys/window_system.h"
#include "browser/page_scripting.h"
#include "services/facilities.h"
#include "services/handlers.h"
#include "services/service_host.h"

namespace sonaro::services {

namespace {

// The dedication page on the service host; it carries the form the seven boxes fill.
constexpr const char* kDedicationPath = "/gg/diangatai1/index.asp";
constexpr const char* kHelpPath = "/tessaly/shouyinji/bangzhu/01.html";

// The page's text fields and the boxes they are filled from, in the order they are filled.
// The wishes (编辑框5) go through the element scripter: the page's field is a text area.
constexpr std::array<std::pair<const char*, uint32_t>, 6> kTextFields = {{
    {"beichenghu", ids::request::kEdit1},
    {"beiname", ids::request::kEdit2},
    {"geming", ids::request::kEdit3},
    {"dizhi", ids::request::kEdit4},
    {"dianname", ids::request::kEdit7},
    {"dianchenghu", ids::request::kEdit6},
}};

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
  // 2. The hidden browser loads the dedication page; the address is handed over without a
  // scheme, as the browser box takes one a user would type.
  ui::SetText(ids::kRequestForm, ids::request::kBrowser, ServiceHost() + kDedicationPath,
              ui::prop::kAddress);
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
  for (const auto& [field, unit] : kTextFields) form.SetTextInputByName(field, text(unit));
  elements.AttachToPage(nullptr, box);
  elements.SetValueByName("neirong", 1, text(ids::request::kEdit5));
  form.ClickButtonByCaption(GbkFromUtf8("提交留言"));
  for (uint32_t unit : kBoxesInOrder) ui::SetWidgetText(ui::ControlIn(window, unit), {});
}

void OnRequestClose(const ui::Event& event) { ui::DestroyWindowLater(PressedForm(event)); }

void OnRequestHelp(const ui::Event&) { OpenInBrowser(HelpAddress(kHelpPath)); }

// Pressing the "special note" label does nothing.
void OnRequestNotePressed(const ui::Event&) {}

}  // namespace sonaro::services
