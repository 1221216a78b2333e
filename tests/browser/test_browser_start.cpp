// The browser engine started late, loaded from its module as the program loads it: browser
// boxes made before it have no view and keep the address written to them; starting the engine
// makes their views and navigates them; a box destroyed meanwhile is skipped. Its own process,
// as the engine starts once per process.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QUrl>
#include <memory>

#include "browser/browser_box.h"
#include "browser/browser_control.h"
#include "browser/engine.h"
#include "ui/window_system.h"

using namespace sonaro;
using namespace sonaro::browser;

TEST(BrowserStart, ViewsWaitForTheEngineAndAreMadeWhenItStarts) {
  ASSERT_TRUE(PrepareBrowserControl());
  EXPECT_TRUE(BrowserControlReady()) << "windows can be made before the engine runs";
  EXPECT_EQ(CurrentEngine(), nullptr) << "the engine is loaded when it starts, not before";

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
    NewViewWhenStarted(&gone, false, [&](QWidget*) { goneMade = true; });
  }

  ASSERT_TRUE(InitBrowserControl());
  ASSERT_NE(CurrentEngine(), nullptr);
  ASSERT_NE(box->View(), nullptr);
  EXPECT_STREQ(box->View()->metaObject()->className(), "QWebEngineView");
  EXPECT_EQ(box->View()->parentWidget(), box);
  EXPECT_EQ(box->View()->size(), box->size());
  EXPECT_EQ(box->View()->property("url").toUrl(), QUrl("about:blank#advert"));
  EXPECT_FALSE(goneMade) << "a view for a destroyed parent is never made";

  // Once the engine runs, views are made at once; the module's pages run script.
  QWidget* now = nullptr;
  NewViewWhenStarted(&window, true, [&](QWidget* view) { now = view; });
  ASSERT_NE(now, nullptr);
  QObject* page = nullptr;
  for (QObject* child : now->children()) {
    if (child->inherits("QWebEnginePage")) page = child;
  }
  ASSERT_NE(page, nullptr);
  QVariant sum;
  ASSERT_TRUE(CurrentEngine()->runScript(page, QStringLiteral("6 * 7"), 10000, &sum));
  EXPECT_EQ(sum.toInt(), 42);

  // A page from the network gives its memory back while out of sight, and comes back when
  // shown; the player's page keeps running.
  auto state = [](QObject* p) { return p->property("lifecycleState").toInt(); };  // 0 active
  constexpr int kDiscarded = 2;
  QObject* advert = nullptr;
  for (QObject* child : box->View()->children()) {
    if (child->inherits("QWebEnginePage")) advert = child;
  }
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.hide();
  EXPECT_TRUE(QTest::qWaitFor([&] { return state(advert) == kDiscarded; }, 5000));
  EXPECT_EQ(state(page), 0);
  window.show();
  EXPECT_TRUE(QTest::qWaitFor([&] { return state(advert) == 0; }, 5000));
  ShutdownBrowserControl();
}
