// The browser box of the window catalogue (the Station panel's advert box, the Request form's
// hidden browser): a page in a control. Writing its address (property 11) navigates.
#pragma once

#include <QByteArray>
#include <QWidget>

#include "ui/window_system.h"
#include "ui/winproc.h"

namespace sonaro::browser {

class BrowserBox : public ui::Hooked<QWidget>, public ui::NumberedProperties {
 public:
  explicit BrowserBox(QWidget* window);

  QVariant GetNumbered(int number) const override;
  // Property 11: the address, GBK. An address without a scheme is taken as a user would
  // type it ("example.com/a" is http://example.com/a).
  bool SetNumbered(int number, const QVariant& value) override;

  // The view (a QWebEngineView); null until the browser engine has started.
  QWidget* View() const { return view_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Navigate();

  QWidget* view_ = nullptr;
  QByteArray address_;
};

// Makes the window system build browser boxes as BrowserBox.
void RegisterBrowserBox();

}  // namespace sonaro::browser
