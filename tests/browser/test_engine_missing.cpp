// A browser engine that cannot be loaded: the program goes on without pages, says why once,
// and keeps no request waiting for an engine that will never come. Its own process, as a
// failed load is final.
#include <gtest/gtest.h>

#include <QTemporaryFile>
#include <QWidget>
#include <string>

#include "browser/browser_box.h"
#include "browser/browser_control.h"
#include "browser/document.h"
#include "browser/engine.h"
#include "ui/window_system.h"

using namespace sonaro;
using namespace sonaro::browser;

TEST(EngineMissing, WindowsStayWithoutPagesAndNothingWaits) {
  // Nothing beside the test program; the second place names a file that is no library.
  QTemporaryFile notALibrary;
  ASSERT_TRUE(notALibrary.open());
  notALibrary.write("not a library");
  notALibrary.close();
  qputenv("SONARO_BROWSER_ENGINE", notALibrary.fileName().toLocal8Bit());

  ASSERT_TRUE(PrepareBrowserControl());
  QWidget window;
  auto* box = new BrowserBox(&window);
  EXPECT_TRUE(box->SetNumbered(ui::prop::kAddress, QByteArray("about:blank#advert")));
  bool waitingMade = false;
  NewViewWhenStarted(&window, true, [&](QWidget*) { waitingMade = true; });

  testing::internal::CaptureStderr();
  EXPECT_FALSE(InitBrowserControl());
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("the browser engine could not be loaded"), std::string::npos) << said;
  EXPECT_NE(said.find(notALibrary.fileName().toStdString()), std::string::npos) << said;
  EXPECT_EQ(CurrentEngine(), nullptr);
  EXPECT_FALSE(waitingMade);
  EXPECT_EQ(box->View(), nullptr);
  EXPECT_EQ(box->GetNumbered(ui::prop::kAddress).toByteArray(), "about:blank#advert");

  // The failure is final and said once; later requests are dropped, not queued.
  bool laterMade = false;
  NewViewWhenStarted(&window, false, [&](QWidget*) { laterMade = true; });
  testing::internal::CaptureStderr();
  EXPECT_FALSE(InitBrowserControl());
  EXPECT_EQ(NewView(&window, false), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_FALSE(laterMade);

  // Without an engine there is no rendering widget, document or script answer.
  ScriptObject document;
  EXPECT_FALSE(IsRenderingWindow(box));
  EXPECT_EQ(FindRenderingWindow(&window), nullptr);
  EXPECT_FALSE(GetDocument(&window, &document));
  EXPECT_FALSE(OpenDocument(&window, &document));
  EXPECT_FALSE(RunScriptSync(&window, QStringLiteral("1")).has_value());
  ShutdownBrowserControl();
}
