// BrowserHost windows, the control registry and the notification router, the right-click
// filter, documents of shown pages, the browser box and the page's media player object. Real
// Qt WebEngine pages on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <cstdio>
#include <memory>
#include <vector>

#include "browser/browser_control.h"
#include "browser/browser_host.h"
#include "browser/document.h"
#include "core/gbk.h"
#include "media/media_player.h"
#include "support/event_wait.h"
#include "support/stream_server.h"
#include "ui/window_system.h"
#include "ui/winproc.h"

using namespace sonaro;
using namespace sonaro::browser;

namespace {

class BrowserHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(InitBrowserControl());
    ConstructHostState();
  }
  static void TearDownTestSuite() {
    DestroyHostState();
    ShutdownBrowserControl();
  }

  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    parent_ = std::make_unique<ui::Hooked<QWidget>>();
    parent_->resize(400, 300);
    parent_->show();
  }
  void TearDown() override { parent_.reset(); }

  // A local page; its address as the program passes addresses (GBK text).
  core::Text Page(const QString& name, const QString& html) {
    QFile file(folder_.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(html.toUtf8());
    file.close();
    return core::ToGbk(QUrl::fromLocalFile(file.fileName()).toString());
  }

  static QWebEngineView* ViewOf(QWidget* window) { return window->findChild<QWebEngineView*>(); }

  // Waits until the window shows a complete document that is not the empty one every view
  // starts with.
  static bool WaitLoaded(QWidget* window) {
    QWebEngineView* view = ViewOf(window);
    if (!view) return false;
    return test::WaitUntil(
        [&] {
          ScriptObject document;
          return GetDocument(window, &document) &&
                 document.Get("readyState").ToText() == "complete" &&
                 document.Get("URL").ToText() != "about:blank";
        },
        20000);
  }

  static core::Text Title(QWidget* window) {
    ScriptObject document;
    return GetDocument(window, &document) ? document.Get("title").ToText() : core::Text("(none)");
  }

  QTemporaryDir folder_;
  std::unique_ptr<QWidget> parent_;
};

// --- registry, identifiers, creation ---------------------------------------------------------

TEST_F(BrowserHostTest, IdentifiersCountUpAndAreNeverReused) {
  const int base = int(ControlRegistrySize());
  BrowserHost first, second, third;
  QWidget* one = first.Create("about:blank", 0, 0, 20, 20, {}, {}, parent_.get());
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(first.Identifier(), base + 1);
  first.Close();
  EXPECT_FALSE(first.IsCreated()) << "Close destroys the window before it returns";
  EXPECT_EQ(first.GetHandle(), nullptr) << "a closed window reads as none, never a freed one";
  ASSERT_NE(second.Create("about:blank", 0, 0, 20, 20, {}, {}, parent_.get()), nullptr);
  QWidget* three = third.Create("about:blank", 0, 0, 20, 20, {}, {}, parent_.get());
  EXPECT_EQ(second.Identifier(), base + 2);
  EXPECT_EQ(third.Identifier(), base + 3);
  EXPECT_EQ(three->property("ControlId").toInt(), base + 3);
  EXPECT_EQ(int(ControlRegistrySize()), base + 3);
  EXPECT_EQ(RegisteredWindow(base + 1), nullptr) << "the closed window's record stays";
  EXPECT_EQ(RegisteredWindow(base + 3), three);

  // A failed creation (a child window needs a parent) takes no identifier.
  BrowserHost failing;
  EXPECT_EQ(failing.Create("about:blank", 0, 0, 5, 5, {}, {}, nullptr), nullptr);
  EXPECT_EQ(failing.AssignedIdentifier(), base + 4);
  EXPECT_EQ(failing.LastResult(), nullptr);
  EXPECT_FALSE(failing.IsCreated());
  EXPECT_EQ(int(ControlRegistrySize()), base + 3);
  ASSERT_NE(failing.Create("about:blank", 0, 0, 5, 5, {}, {}, parent_.get()), nullptr);
  EXPECT_EQ(failing.Identifier(), base + 4);
}

TEST_F(BrowserHostTest, DefaultsAndTheForegroundWindowAsParent) {
  BrowserHost host;
  EXPECT_FALSE(host.IsCreated()) << "a new object has no window";
  QApplication::setActiveWindow(parent_.get());
  ASSERT_TRUE(test::WaitUntil([&] { return QApplication::activeWindow() == parent_.get(); }));
  QWidget* window = host.Create();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->parentWidget(), parent_.get());
  EXPECT_EQ(window->geometry(), QRect(10, 10, 250, 200));
  EXPECT_EQ(window->property("Style").toUInt(), 0x50331000u);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->isEnabled());
  EXPECT_EQ(host.WindowText(), kDefaultHomePage);
  EXPECT_EQ(host.GetHandle(), window);
  EXPECT_EQ(host.Left(), 10);
  EXPECT_EQ(host.Height(), 200);

  BrowserHost hidden;
  QWidget* other = hidden.Create("about:blank", 1, 2, 3, 4, false, true, parent_.get());
  EXPECT_EQ(other->property("Style").toUInt(), 0x48331000u);
  EXPECT_FALSE(other->isVisible());
  EXPECT_FALSE(other->isEnabled());
  EXPECT_TRUE(hidden.Disabled());
}

TEST_F(BrowserHostTest, GeometryAndTextOperations) {
  BrowserHost host;
  QWidget* window = host.Create("about:blank", 5, 6, 70, 80, {}, {}, parent_.get());
  host.Width(100);
  EXPECT_EQ(window->geometry(), QRect(5, 6, 100, 80));
  host.Move({}, 20);
  EXPECT_EQ(window->geometry(), QRect(5, 20, 100, 80));
  host.SetPosition(1, 2, 3, 4);
  EXPECT_EQ(window->geometry(), QRect(1, 2, 3, 4));
  EXPECT_EQ(host.InnerWidth(), -1);
  EXPECT_EQ(host.InnerHeight(), -4);
  host.Visible(false);
  EXPECT_FALSE(host.Visible());
  host.Disabled(true);
  EXPECT_FALSE(window->isEnabled());

  EXPECT_EQ(host.WindowText(core::Text()), "about:blank") << "an empty text changes nothing";
  EXPECT_EQ(host.WindowText(core::GbkFromUtf8("电台")), core::GbkFromUtf8("电台"));
  const core::Text longText(40000, 'x');
  host.SetText(longText);
  EXPECT_EQ(host.ReadText().size(), 31999u);
  EXPECT_EQ(host.TextValue(), host.ReadText());
  host.SetText(std::string(31998, 'x') + core::GbkFromUtf8("电"));
  EXPECT_EQ(host.ReadText(), std::string(31998, 'x')) << "no half character at the cut";

  BrowserHost copy = host;
  EXPECT_EQ(copy.GetHandle(), window) << "a copy refers to the same window";
}

// --- the notification router -----------------------------------------------------------------

std::vector<QEvent::Type> g_seen;
bool Recorder(QWidget* widget, QEvent* event) {
  g_seen.push_back(event->type());
  return ui::DefaultProc(widget, event);
}

std::vector<int> g_contextMenus;
void OnContextMenu(int identifier, QEvent*) { g_contextMenus.push_back(identifier); }

TEST_F(BrowserHostTest, RouterIsInstalledOncePerParentAndPassesEverythingOn) {
  ui::SetWindowProc(parent_.get(), &Recorder);
  BrowserHost first, second;
  first.Create("about:blank", 10, 10, 50, 50, {}, {}, parent_.get());
  second.Create("about:blank", 100, 10, 50, 50, {}, {}, parent_.get());
  EXPECT_EQ(RouterInstallCount(parent_.get()), 1);
  EXPECT_NE(ui::GetWindowProc(parent_.get()), &Recorder) << "the router is in front";

  // Unregistered notifications reach the earlier procedure untouched.
  g_seen.clear();
  g_contextMenus.clear();
  QContextMenuEvent inside(QContextMenuEvent::Mouse, QPoint(20, 20), QPoint(20, 20));
  QApplication::sendEvent(parent_.get(), &inside);
  QEvent custom(QEvent::Type(QEvent::User + 7));
  QApplication::sendEvent(parent_.get(), &custom);
  EXPECT_EQ(g_seen,
            (std::vector<QEvent::Type>{QEvent::ContextMenu, QEvent::Type(QEvent::User + 7)}));
  EXPECT_TRUE(g_contextMenus.empty());

  // A handler in the record is offered the notifications about its own control only.
  first.SetContextMenuHandler(&OnContextMenu);
  g_seen.clear();
  QApplication::sendEvent(parent_.get(), &inside);
  QContextMenuEvent outside(QContextMenuEvent::Mouse, QPoint(120, 20), QPoint(120, 20));
  QApplication::sendEvent(parent_.get(), &outside);
  EXPECT_EQ(g_contextMenus, std::vector<int>{first.Identifier()});
  EXPECT_EQ(g_seen.size(), 2u) << "handled or not, the parent still gets it";
}

TEST_F(BrowserHostTest, RouterMovesFromAnAncestorToTheNewParent) {
  auto* inner = new ui::Hooked<QWidget>(parent_.get());
  inner->setGeometry(0, 0, 200, 200);
  inner->show();
  ui::SetWindowProc(parent_.get(), &Recorder);
  auto* innermost = new ui::Hooked<QWidget>(inner);
  innermost->show();
  BrowserHost host;
  host.Create("about:blank", 0, 0, 10, 10, {}, {}, inner);
  EXPECT_EQ(RouterInstallCount(inner), 1);
  host.Create("about:blank", 0, 0, 10, 10, {}, {}, innermost);
  EXPECT_EQ(RouterInstallCount(innermost), 1);
  EXPECT_EQ(RouterInstallCount(inner), 0) << "the ancestor's own procedure is put back";
  EXPECT_EQ(RouterInstallCount(parent_.get()), 0) << "the top-level window is never touched";
  EXPECT_EQ(ui::GetWindowProc(parent_.get()), &Recorder);
}

// --- rendering widget, documents ----------------------------------------------------------------

TEST_F(BrowserHostTest, DocumentOfTheRenderingWidgetAndOfItsGrandparent) {
  const core::Text address = Page(
      QStringLiteral("doc.html"),
      QStringLiteral("<html><head><title>Doc</title></head><body><input id=\"name\" value=\"v\">"
                     "<script>document.getElementById('name').addEventListener('change',"
                     " function () { document.title = 'changed'; });</script></body></html>"));
  BrowserHost host;
  QWidget* window = host.Create(address, 0, 0, 200, 100, {}, {}, parent_.get());
  ASSERT_TRUE(WaitLoaded(window));

  QWidget* rendering = FindRenderingWindow(window);
  ASSERT_NE(rendering, nullptr);
  EXPECT_TRUE(IsRenderingWindow(rendering));
  EXPECT_EQ(rendering->parentWidget()->parentWidget(), window) << "two levels down";
  EXPECT_FALSE(IsRenderingWindow(window));

  ScriptObject fromRendering, fromGrandparent;
  ASSERT_TRUE(GetDocument(rendering, &fromRendering));
  ASSERT_TRUE(GetDocument(window, &fromGrandparent));
  EXPECT_EQ(fromRendering.Get("title").ToText(), "Doc");
  EXPECT_EQ(fromGrandparent.Get("TITLE").ToText(), "Doc") << "members regardless of case";

  const ScriptValue input = fromGrandparent.Call("getElementById", {"name"});
  ASSERT_EQ(input.kind(), ScriptValue::Kind::Object);
  EXPECT_EQ(input.Object().Get("Value").ToText(), "v");
  EXPECT_TRUE(input.Object().Put("value", core::GbkFromUtf8("祝福")));
  EXPECT_EQ(input.Object().Get("value").ToText(), core::GbkFromUtf8("祝福"));
  EXPECT_EQ(input.Object().Get("ID").ToText(), "name");
  EXPECT_TRUE(input.Object().Call("FireEvent", {"onchange"}).ToBool());
  EXPECT_EQ(fromGrandparent.Get("title").ToText(), "changed");
  EXPECT_TRUE(fromGrandparent.Call("getElementById", {"missing"}).IsEmpty());
  EXPECT_TRUE(fromGrandparent.Get("noSuchMember").IsEmpty());

  // After the page moves on, objects of the old document find nothing.
  QSignalSpy loaded(ViewOf(window)->page(), &QWebEnginePage::loadFinished);
  ViewOf(window)->setUrl(QUrl::fromLocalFile(folder_.filePath(QStringLiteral("doc.html"))));
  ASSERT_TRUE(loaded.wait(20000));
  EXPECT_TRUE(input.Object().Get("value").IsEmpty());
  EXPECT_TRUE(fromGrandparent.Get("title").IsEmpty());

  QWidget plain;
  ScriptObject none;
  EXPECT_FALSE(GetDocument(&plain, &none)) << "no rendering widget, no document";
  EXPECT_TRUE(none.IsEmpty());
  EXPECT_TRUE(none.Get("title").IsEmpty());
}

TEST_F(BrowserHostTest, APageThatDoesNotAnswerWithinTheLimitGivesNoDocument) {
  BrowserHost host;
  QWidget* window =
      host.Create(Page(QStringLiteral("busy.html"), QStringLiteral("<title>busy</title>")), 0, 0,
                  50, 50, {}, {}, parent_.get());
  ASSERT_TRUE(WaitLoaded(window));
  // Keeps the page's renderer busy for 5 s: a wait without its 1 s limit would end only then,
  // with a document.
  ViewOf(window)->page()->runJavaScript(
      QStringLiteral("var until = Date.now() + 5000; while (Date.now() < until) {}"));
  test::Spin(200);
  QElapsedTimer clock;
  clock.start();
  ScriptObject document;
  EXPECT_FALSE(GetDocument(window, &document));
  std::printf("gave up after %lld ms\n", static_cast<long long>(clock.elapsed()));
  EXPECT_LT(clock.elapsed(), 4000) << "the wait is limited";
  EXPECT_TRUE(test::WaitUntil([&] { return GetDocument(window, &document); }, 15000))
      << "answers again once the page is free";
}

// --- the right-click filter
// ------------------------------------------------------------------------

// A page that counts in its title what reaches it: left and right presses, context menus, keys.
QString CountingPage() {
  return QStringLiteral(
      "<html><body style='margin:0'><input id='i' autofocus style='width:100%;height:100%'>"
      "<script>var c = {L: 0, R: 0, M: 0, K: 0};"
      "function show() { document.title = 'L' + c.L + 'R' + c.R + 'M' + c.M + 'K' + c.K; }"
      "document.addEventListener('mousedown', function (e) {"
      "  if (e.button === 2) c.R++; else c.L++; show(); }, true);"
      "document.addEventListener('contextmenu', function () { c.M++; show(); }, true);"
      "document.addEventListener('keydown', function () { c.K++; show(); }, true);"
      "show();</script></body></html>");
}

TEST_F(BrowserHostTest, RightClickFilterTwiceWithin100msGoesOnTheSecondWindow) {
  const core::Text address = Page(QStringLiteral("count.html"), CountingPage());
  BrowserHost first, second;
  QWidget* one = first.Create(address, 0, 0, 150, 100, {}, {}, parent_.get());
  QWidget* two = second.Create(address, 200, 0, 150, 100, {}, {}, parent_.get());
  ASSERT_TRUE(WaitLoaded(one));
  ASSERT_TRUE(WaitLoaded(two));
  ASSERT_TRUE(
      test::WaitUntil([&] { return FindRenderingWindow(one) && FindRenderingWindow(two); }));
  QWidget* renderingOne = FindRenderingWindow(one);
  QWidget* renderingTwo = FindRenderingWindow(two);
  InstallRightClickFilter(one);
  test::Spin(30);
  QElapsedTimer sinceSecond;
  sinceSecond.start();
  InstallRightClickFilter(two);
  ASSERT_TRUE(test::WaitUntil([&] { return RightClickFilteredWindow() == renderingTwo; }, 5000));
  const qint64 filteredAfter = sinceSecond.elapsed();
  std::printf("filtered %lld ms after the second call\n", static_cast<long long>(filteredAfter));
  // The wait restarted with the second call: the first call's 100 ms would have ended 30 ms
  // sooner. A timer is never early (100 ms less the coarse timer's 5 %), only late.
  EXPECT_GE(filteredAfter, 90) << "the wait restarted with the second call";
  EXPECT_EQ(ViewOf(two)->contextMenuPolicy(), Qt::NoContextMenu);

  // Filtered: a right double-click never reaches the page; left clicks and keys do.
  QTest::mouseDClick(renderingTwo, Qt::RightButton, {}, QPoint(20, 20));
  QTest::mouseClick(renderingTwo, Qt::RightButton, {}, QPoint(20, 20));
  QTest::mouseClick(renderingTwo, Qt::LeftButton, {}, QPoint(20, 20));
  QTest::keyClicks(renderingTwo, QStringLiteral("ab"));
  EXPECT_TRUE(test::WaitUntil([&] { return Title(two) == "L1R0M0K2"; }, 5000)) << Title(two);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "no context menu";

  // Not filtered: the first window's page sees the right button.
  QTest::mouseClick(renderingOne, Qt::RightButton, {}, QPoint(20, 20));
  EXPECT_TRUE(test::WaitUntil([&] { return Title(one).find("R1") != std::string::npos; }, 5000))
      << Title(one);
}

TEST_F(BrowserHostTest, RightClickFilterWithoutARenderingWidgetFiltersNothing) {
  QWidget plain(parent_.get());
  InstallRightClickFilter(&plain);
  test::Spin(250);
  EXPECT_EQ(RightClickFilteredWindow(), nullptr);
}

// --- the media player object of a page ------------------------------------------------------

TEST_F(BrowserHostTest, CallsFromThePagesFirstLineAreKeptInOrder) {
  const core::Text address =
      Page(QStringLiteral("playlist.html"),
           QStringLiteral("<html><head><script>"
                          "playlist.appendItem(Player.newMedia('mms://one/1'));"
                          "Player.currentPlaylist.appendItem(Player.newMedia(\"http://two/2\"));"
                          "</script></head><body><script>"
                          "playlist.appendItem(Player.newMedia('song.mp3'));"
                          "document.title = 'n' + playlist.count;</script></body></html>"));
  BrowserHost host;
  QWidget* window = host.Create(address, 0, 0, 50, 50, {}, {}, parent_.get());
  ASSERT_TRUE(WaitLoaded(window));
  EXPECT_EQ(Title(window), "n3");
  auto* player = ViewOf(window)->page()->findChild<media::MediaPlayerObject*>();
  ASSERT_NE(player, nullptr);
  EXPECT_TRUE(test::WaitUntil([&] { return player->Items().size() == 3; }, 5000));
  EXPECT_EQ(player->Items(),
            (QStringList{QStringLiteral("mms://one/1"), QStringLiteral("http://two/2"),
                         QStringLiteral("song.mp3")}));
}

// A page from the network reaches no media player: not in a box, not even in a player's own
// window, where only the local Player page may queue streams, and only a few.
TEST_F(BrowserHostTest, OnlyALocalPagePlaysAndItQueuesLittle) {
  test::StreamServer server;
  test::StreamServer::Route remote;
  remote.contentType = "text/html";
  remote.body =
      "<html><body><script>try { playlist.appendItem(Player.newMedia('http://x/1')); } "
      "catch (e) {} document.title = 'tried';</script></body></html>";
  server.Serve("/advert.html", remote);
  BrowserHost host;
  QWidget* window =
      host.Create("http://127.0.0.1:" + std::to_string(server.Port()) + "/advert.html", 0, 0, 50,
                  50, {}, {}, parent_.get());
  ASSERT_TRUE(WaitLoaded(window));
  EXPECT_EQ(Title(window), "tried");
  auto* player = ViewOf(window)->page()->findChild<media::MediaPlayerObject*>();
  ASSERT_NE(player, nullptr);
  test::Spin(300);
  EXPECT_TRUE(player->Items().isEmpty());

  const core::Text local =
      Page(QStringLiteral("flood.html"),
           QStringLiteral("<html><body><script>var long = 'http://x/' + "
                          "'a'.repeat(9000); playlist.appendItem(Player.newMedia("
                          "long)); for (var i = 0; i < 200; ++i) "
                          "playlist.appendItem(Player.newMedia('http://x/' + i));"
                          "document.title = 'done';</script></body></html>"));
  BrowserHost flooded;
  QWidget* floodedWindow = flooded.Create(local, 0, 0, 50, 50, {}, {}, parent_.get());
  ASSERT_TRUE(WaitLoaded(floodedWindow));
  auto* queued = ViewOf(floodedWindow)->page()->findChild<media::MediaPlayerObject*>();
  ASSERT_NE(queued, nullptr);
  EXPECT_TRUE(test::WaitUntil([&] { return queued->Items().size() == 64; }, 5000));
  test::Spin(300);
  EXPECT_EQ(queued->Items().size(), 64);
  EXPECT_EQ(queued->Items().front(), QStringLiteral("http://x/0"));
}

// --- the browser box ---------------------------------------------------------------------------

TEST_F(BrowserHostTest, BrowserBoxNavigatesWhenItsAddressIsWritten) {
  test::StreamServer server;
  test::StreamServer::Route page;
  page.contentType = "text/html";
  page.body =
      "<html><body><script>document.title = 'advert ' + typeof Player + ' ' + typeof qt + ' ' + "
      "typeof playlist;</script></body></html>";
  server.Serve("/gg/gg/gg.html", page);

  static const std::vector<ui::WindowSpec> catalogue = {
      {.windowId = 0x7001,
       .unitId = 0x7101,
       .name = "box window",
       .rect = {0, 0, 300, 200},
       .controls = {{.unitId = 0x7201,
                     .kind = ui::Kind::BrowserBox,
                     .name = "box",
                     .rect = {10, 10, 216, 87}}}}};
  ui::InstallCatalogue(catalogue);
  QWidget* window = ui::LoadWindow(0x7001);
  ASSERT_NE(window, nullptr);
  QWidget* box = ui::ControlWidget(0x7001, 0x7201);
  ASSERT_NE(box, nullptr);
  ASSERT_NE(ViewOf(box), nullptr) << "the loader made the registered browser box";

  // Without a scheme, as a user would type it.
  const std::string typed = "127.0.0.1:" + std::to_string(server.Port()) + "/gg/gg/gg.html";
  EXPECT_TRUE(ui::SetText(0x7001, 0x7201, typed, ui::prop::kAddress));
  EXPECT_EQ(ui::GetText(0x7001, 0x7201, ui::prop::kAddress), typed);
  EXPECT_EQ(ViewOf(box)->url(), QUrl(QString::fromStdString("http://" + typed)));
  ASSERT_TRUE(WaitLoaded(box));
  // The box's page has no media player, nor any channel to the program.
  EXPECT_EQ(Title(box), "advert undefined undefined undefined");
  EXPECT_EQ(server.Connections().at(0).path, "/gg/gg/gg.html");
  delete window;
}

}  // namespace
