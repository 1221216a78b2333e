// PagePlayer with real pages: the page folder, the files written, the page text, the browser
// windows it makes and replaces, the right-click filter following them, the escaping seen from
// the page's side, and the sound on a private PulseAudio null sink.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <cstdlib>
#include <memory>

#include "browser/browser_control.h"
#include "browser/browser_host.h"
#include "browser/document.h"
#include "media/media_player.h"
#include "media/media_session.h"
#include "radio/page_template.h"
#include "radio/player.h"
#include "support/event_wait.h"
#include "support/private_pulse.h"
#include "support/sound_monitor.h"
#include "support/stream_server.h"
#include "ui/winproc.h"

using namespace sonaro;
using namespace sonaro::radio;
using namespace std::chrono_literals;

namespace {

std::unique_ptr<QTemporaryDir> g_cache;

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class PlayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_cache = std::make_unique<QTemporaryDir>();
    setenv("XDG_CACHE_HOME", g_cache->path().toUtf8().constData(), 1);
    ASSERT_TRUE(browser::InitBrowserControl());
    browser::ConstructHostState();
  }
  static void TearDownTestSuite() {
    browser::DestroyHostState();
    browser::ShutdownBrowserControl();
    g_cache.reset();
  }

  void SetUp() override {
    QDir(Folder()).removeRecursively();
    parent_ = std::make_unique<ui::Hooked<QWidget>>();
    parent_->resize(400, 300);
    parent_->show();
  }

  static QString Folder() { return g_cache->path() + QStringLiteral("/sonaro/Temp/"); }
  static QString PageFile() { return Folder() + QStringLiteral("qvpl.html"); }

  static media::MediaPlayerObject* PlayerObjectOf(QWidget* window) {
    auto* view = window ? window->findChild<QWebEngineView*>() : nullptr;
    return view ? view->page()->findChild<media::MediaPlayerObject*>() : nullptr;
  }

  std::unique_ptr<QWidget> parent_;
};

TEST_F(PlayerTest, PageFolderIsPrivateAndUnderTheCacheFolder) {
  EXPECT_EQ(PageFolder(), core::ToGbk(Folder()));
  struct stat info {};
  ASSERT_EQ(::stat(Folder().toUtf8().constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat((g_cache->path() + "/sonaro").toUtf8().constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  // Without XDG_CACHE_HOME (or with a relative one): ~/.cache.
  QTemporaryDir home;
  const QByteArray savedHome = qgetenv("HOME");
  qputenv("HOME", home.path().toUtf8());
  qputenv("XDG_CACHE_HOME", "relative/path");
  EXPECT_EQ(PageFolder(), core::ToGbk(home.path() + "/.cache/sonaro/Temp/"));
  qputenv("HOME", savedHome);
  qputenv("XDG_CACHE_HOME", g_cache->path().toUtf8());

  // A folder that leads elsewhere is not used.
  QDir(Folder()).removeRecursively();
  QTemporaryDir elsewhere;
  ASSERT_EQ(::symlink(elsewhere.path().toUtf8().constData(),
                      (g_cache->path() + "/sonaro/Temp").toUtf8().constData()),
            0);
  EXPECT_EQ(PageFolder(), "");
  ::unlink((g_cache->path() + "/sonaro/Temp").toUtf8().constData());
}

TEST_F(PlayerTest, PlayBeforeCreateDoesNothingAndWritesNothing) {
  PagePlayer player;
  player.Play("http://127.0.0.1:1/stream");
  EXPECT_FALSE(QFile::exists(PageFile()));
  EXPECT_FALSE(QFile::exists(Folder() + "xiao.cur"));
  EXPECT_FALSE(player.IsCreated());
  EXPECT_TRUE(player.PageText().empty());
  EXPECT_TRUE(parent_->findChildren<QWebEngineView*>().isEmpty());
}

TEST_F(PlayerTest, CreateWritesTheCursorAndThePageAndShowsIt) {
  PagePlayer player;
  player.Create(parent_.get(), -3, -5, 6, 3, {});
  // The cursor: 4,286 bytes, one 32 x 32 image, hotspot (9, 5).
  const QByteArray cursor = ReadAll(Folder() + "xiao.cur");
  ASSERT_EQ(cursor.size(), 4286);
  EXPECT_EQ(cursor.mid(0, 6), QByteArray("\0\0\2\0\1\0", 6));
  EXPECT_EQ(uint8_t(cursor[6]), 32);
  EXPECT_EQ(cursor.mid(10, 4), QByteArray("\x09\0\x05\0", 4));
  // The page, as GBK bytes, with an empty playlist.
  const QByteArray page = ReadAll(PageFile());
  EXPECT_EQ(page.toStdString(), player.PageText());
  EXPECT_EQ(player.PageText(), FillPlaylist(PageWithSize(6, 3), ""));
  EXPECT_EQ(player.PagePath(), QUrl::fromLocalFile(PageFile()).toEncoded().toStdString());
  // The window: 6 x 3 at (-5, -3) in the parent, loading the page.
  ASSERT_TRUE(player.IsCreated());
  QWidget* window = player.Browser().GetHandle();
  EXPECT_EQ(window->parentWidget(), parent_.get());
  EXPECT_EQ(window->geometry(), QRect(-5, -3, 6, 3));
  EXPECT_EQ(window->findChild<QWebEngineView*>()->url(), QUrl::fromLocalFile(PageFile()));
  EXPECT_EQ(player.Top(), -3);
  EXPECT_EQ(player.Left(), -5);
}

TEST_F(PlayerTest, CreateDefaultsAndPlaylistLines) {
  PagePlayer player;
  player.Create(parent_.get(), {}, {}, 0, {}, {"http://a/1", "mms://b/2", "http://c/3"});
  EXPECT_EQ(player.Width(), 400);
  EXPECT_EQ(player.Height(), 65);
  EXPECT_EQ(player.Browser().GetHandle()->geometry(), QRect(0, 0, 400, 65));
  EXPECT_EQ(player.PageText(), FillPlaylist(PageWithSize(400, 65), PlaylistLine("http://a/1") +
                                                                       PlaylistLine("mms://b/2") +
                                                                       PlaylistLine("http://c/3")));
  EXPECT_NE(player.PageText().find("width: 400px; height: 65px"), std::string::npos);
}

TEST_F(PlayerTest, PlayRewritesThePageAndReplacesTheWindow) {
  PagePlayer player;
  player.Create(parent_.get(), -3, -5, 6, 3, {});
  QPointer<QWidget> first = player.Browser().GetHandle();
  const int firstId = player.Browser().Identifier();
  ASSERT_TRUE(QFile::remove(Folder() + "xiao.cur"));

  player.Play("http://127.0.0.1:1/a");
  EXPECT_TRUE(first.isNull()) << "the old window is gone when Play returns";
  QWidget* second = player.Browser().GetHandle();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(player.Browser().Identifier(), firstId + 1);
  EXPECT_EQ(second->geometry(), QRect(-5, -3, 6, 3));
  EXPECT_EQ(ReadAll(PageFile()).toStdString(),
            FillPlaylist(PageWithSize(6, 3), PlaylistLine("http://127.0.0.1:1/a")));
  EXPECT_FALSE(QFile::exists(Folder() + "xiao.cur")) << "only Create writes the cursor";

  // The right-click filter follows the new window.
  ASSERT_TRUE(
      test::WaitUntil([&] { return browser::RightClickFilteredWindow() != nullptr; }, 2000));
  EXPECT_EQ(browser::RightClickFilteredWindow(), browser::FindRenderingWindow(second));
}

TEST_F(PlayerTest, ASecondCreateClosesTheFirstWindowOnlyInTheSameParent) {
  PagePlayer player;
  player.Create(parent_.get(), 0, 0, 10, 10, {});
  QPointer<QWidget> first = player.Browser().GetHandle();
  player.Create(parent_.get(), 0, 0, 10, 10, {});
  EXPECT_TRUE(first.isNull());
  QPointer<QWidget> second = player.Browser().GetHandle();
  ui::Hooked<QWidget> other;
  other.show();
  player.Create(&other, 0, 0, 10, 10, {});
  EXPECT_FALSE(second.isNull()) << "another parent: the first window stays";
  EXPECT_EQ(player.Browser().GetHandle()->parentWidget(), &other);
  player.Close();
  EXPECT_FALSE(player.IsCreated());
}

// Addresses come from a public feed: whatever they hold, the page hands the player exactly
// that address and runs nothing else.
TEST_F(PlayerTest, EveryAddressReachesThePlayerExactlyAndNothingElseRuns) {
  PagePlayer player;
  player.Create(parent_.get(), 0, 0, 50, 50, {});
  const QString evil = QStringLiteral(
      "http://x/\"));document.title='quote';//\\\"'\r\n</script><script>document.title="
      "'tag'</script><!--<script>\u2028\u2029\u97F3\u4E50\\u0041");
  player.Play(core::ToGbk(evil));
  QWidget* window = player.Browser().GetHandle();
  media::MediaPlayerObject* object = PlayerObjectOf(window);
  ASSERT_NE(object, nullptr);
  ASSERT_TRUE(test::WaitUntil([&] { return object->Items().size() == 1; }, 20000));
  EXPECT_EQ(object->Items().at(0), evil);
  browser::ScriptObject document;
  ASSERT_TRUE(browser::GetDocument(window, &document));
  EXPECT_EQ(core::FromGbk(document.Get("title").ToText()), QStringLiteral("\u64AD\u653E\u5668"))
      << "the page's own title (播放器): no injected script ran";
}

TEST_F(PlayerTest, PlayingSwitchesTheSoundAndClosingEndsIt) {
  test::PrivatePulse pulse;
  ASSERT_TRUE(pulse.Running());
  test::SoundMonitor monitor;
  ASSERT_TRUE(monitor.Running());
  test::StreamServer first, second;
  test::StreamServer::Route route;
  route.endless = true;
  route.body = test::MakeToneMp3(440, 4);
  ASSERT_FALSE(route.body.empty());
  first.Serve("/live", route);
  route.body = test::MakeToneMp3(880, 4);
  second.Serve("/live", route);
  // The page loads only while the event loop runs: listen without blocking it.
  const auto hears = [&](double hertz) {
    return test::WaitUntil([&] {
      const auto stretch = monitor.Recent(400ms);
      return stretch && stretch->rms > 1000 && stretch->frequency > hertz * 0.95 &&
             stretch->frequency < hertz * 1.05;
    });
  };
  const auto silent = [&] {
    const auto stretch = monitor.Recent(300ms);
    return stretch && stretch->rms < 100;
  };

  PagePlayer player;
  player.Create(parent_.get(), -3, -5, 6, 3, {});
  player.Play(first.Url("/live"));
  EXPECT_TRUE(hears(440));
  player.Play(second.Url("/live"));
  ASSERT_FALSE(first.Connections().empty());
  EXPECT_TRUE(test::WaitUntil([&] { return !first.Connections().at(0).open; }, 3000))
      << "the old page's stream ends with its window";
  EXPECT_TRUE(hears(880));
  player.Play(second.Url("/live"));
  EXPECT_TRUE(test::WaitUntil([&] { return second.Connections().size() == 2; }, 10000))
      << "the same address again restarts the stream";
  EXPECT_TRUE(test::WaitUntil([&] { return !second.Connections().at(0).open; }, 3000));
  player.Close();
  EXPECT_TRUE(test::WaitUntil(silent, 5000)) << "closing the window ends the sound";
  media::MediaSession::JoinEnded();
}

}  // namespace
