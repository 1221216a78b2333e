// The browser engine started late: browser boxes made before it have no view and keep the
// address written to them; starting the engine makes their views and navigates them; a box
// destroyed meanwhile is skipped. Its own process, as the engine starts once per process.
#include <gtest/gtest.h>

#include <QApplication>
#include <QUrl>
#include <QWebEngineView>
#include <memory>

#include "app/winsys/window_system.h"
#include "browser/browser_box.h"
#include "browser/browser_control.h"

using namespace sonaro;
using namespace sonaro::browser;

TEST(BrowserStart, ViewsWaitForTheEngineAndAreMadeWhenItStarts) {
  ASSERT_TRUE(PrepareBrowserControl());
  EXPECT_TRUE(BrowserControlReady()) << "windows can be made before the engine runs";

  QWidget window;
  window.resize(300, 200);
  auto* box = new BrowserBox(&window);
  box->resize(216, 87);
  EXPECT_TRUE(box->SetNumbered(ui::prop::kAddress, QByteArray("about:blank#advert")));
  EXPECT_EQ(box->View(), nullptr);
  EXPECT_EQ(box->GetNumbered(ui::prop::kAddress).toByteArray(), "about:blank#advert");

  bool goneMade = false;
  {
    QWidget gone;
    NewViewWhenStarted(&gone, false, [&](QWebEngineView*) { goneMade = true; });
  }

  ASSERT_TRUE(InitBrowserControl());
  ASSERT_NE(box->View(), nullptr);
  EXPECT_EQ(box->View()->parentWidget(), box);
  EXPECT_EQ(box->View()->size(), box->size());
  EXPECT_EQ(box->View()->url(), QUrl("about:blank#advert"));
  EXPECT_FALSE(goneMade) << "a view for a destroyed parent is never made";

  // Once the engine runs, views are made at once.
  QWebEngineView* now = nullptr;
  NewViewWhenStarted(&window, true, [&](QWebEngineView* view) { now = view; });
  EXPECT_NE(now, nullptr);
  ShutdownBrowserControl();
}
