#include "browser/browser_box.h"

#include <QUrl>

#include "browser/browser_control.h"
#include "core/gbk.h"

namespace sonaro::browser {

namespace {

QWidget* MakeBrowserBox(const ui::ControlSpec&, QWidget* window) { return new BrowserBox(window); }

}  // namespace

BrowserBox::BrowserBox(QWidget* window) : ui::Hooked<QWidget>(window) {
  NewViewWhenStarted(this, false, [this](QWidget* view) {
    view_ = view;
    view_->setGeometry(rect());
    view_->show();
    if (!address_.isEmpty()) Navigate();
  });
}

void BrowserBox::Navigate() {
  const QString address =
      core::FromGbk(std::string_view(address_.constData(), size_t(address_.size())));
  const QUrl url = QUrl::fromUserInput(address.trimmed());
  browser::Navigate(view_, url.isValid() ? url : QUrl(QStringLiteral("about:blank")));
}

QVariant BrowserBox::GetNumbered(int number) const {
  return number == ui::prop::kAddress ? QVariant(address_) : QVariant();
}

bool BrowserBox::SetNumbered(int number, const QVariant& value) {
  if (number != ui::prop::kAddress) return false;
  address_ = value.toByteArray();
  if (view_) Navigate();  // else the view navigates when it is made
  return true;
}

void BrowserBox::resizeEvent(QResizeEvent* event) {
  if (view_) view_->setGeometry(rect());
  ui::Hooked<QWidget>::resizeEvent(event);
}

void RegisterBrowserBox() { ui::RegisterControlFactory(ui::Kind::BrowserBox, &MakeBrowserBox); }

}  // namespace sonaro::browser
