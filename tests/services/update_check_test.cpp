// The update check against an update page served on 127.0.0.1, with answered message boxes.
#include "services/update_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDesktopServices>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <mutex>
#include <sstream>

#include "support/loopback_server.h"
#include "support/message_recorder.h"
#include "ui/facilities.h"

namespace sonaro {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing::MessageRecorder;
using testing::Response;

core::Text G(const char* utf8) { return core::GbkFromUtf8(utf8); }

class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public Q_SLOTS:
  void Open(const QUrl& url) { opened.push_back(url); }
};

class UpdateCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("sonaro-update-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    server_ = std::make_unique<testing::LoopbackServer>(
        [this](const std::string& head) -> std::optional<std::string> {
          std::string path = testing::RequestPath(head);
          std::unique_lock lock(mutex_);
          if (path == "/gengxin.html") return Response(200, "OK", page_);
          if (path == "/slow/first.exe") {
            lock.unlock();
            release_.wait();
            return Response(200, "OK", "first version");
          }
          if (path == "/broken.exe") {  // promises 1000 bytes, sends 100 and hangs up
            return "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(100, 'x');
          }
          auto file = files_.find(path);
          if (file != files_.end()) return Response(200, "OK", file->second);
          return Response(404, "Not Found", "<html>not here</html>");
        });
    settings_.pageAddress = server_->Url("/gengxin.html");
    settings_.folder = folder_.string();
    settings_.pageFetch.connectTimeout = 5s;
    settings_.pageFetch.totalTimeout = 10s;
    settings_.downloadFetch.connectTimeout = 5s;
    settings_.downloadFetch.stallTime = 5s;
    EXPECT_EQ(services::SetUpUpdateWindow(state_), G("当前版本：2.0"));
  }

  // One check, run to its answer as the Update window runs it.
  void Check() {
    bool answered = false;
    services::CheckForUpdate(state_, settings_, &context_, [&] { answered = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered; }, 30000));
  }

  void TearDown() override {
    releaser_.set_value();
    server_.reset();
    fs::remove_all(folder_);
  }

  // An update page with the given block lines (UTF-8 here, served as GBK).
  void ServePage(const std::string& block, const std::string& outside = "") {
    std::lock_guard lock(mutex_);
    page_ = G(("<html><head><title>更新</title></head><body>" + outside + "<p>////开始</p>" +
               block + "<p>////结束</p></body></html>")
                  .c_str());
  }
  void ServeOffer(const std::string& latest, const std::string& address, const char* mode,
                  const char* notes = "<p>修正错误</p>") {
    ServePage("<p>最新版=" + latest + "</p><p>下载地址=" + address + "</p><p>下载方式=" + mode +
              "</p><p>更新说明=" + notes + "更新说明结束</p>");
  }
  void ServeFile(const std::string& path, const std::string& body) {
    std::lock_guard lock(mutex_);
    files_[path] = body;
  }
  std::string Url(const std::string& path) const { return server_->Url(path); }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  size_t RequestsFor(const std::string& path) const {
    size_t n = 0;
    for (const auto& head : server_->Requests()) n += testing::RequestPath(head) == path;
    return n;
  }
  void ExpectNoUpdateSaid(const MessageRecorder& recorder) {
    ASSERT_EQ(recorder.Shown().size(), 1u);
    EXPECT_EQ(recorder.Shown()[0].text, G("暂时没有更新"));
    EXPECT_EQ(recorder.Shown()[0].style, ui::kMbOk);
    EXPECT_EQ(recorder.Shown()[0].title, G("更新"));
  }
  void ExpectDownloadFailed(const MessageRecorder& recorder) {
    ASSERT_TRUE(recorder.WaitFor(2));
    EXPECT_EQ(recorder.Shown()[1].text, G("下载失败"));
    EXPECT_EQ(recorder.Shown()[1].style, ui::kMbIconError);
    EXPECT_EQ(recorder.Shown()[1].title, G("更新"));
    EXPECT_TRUE(fs::is_empty(folder_));
  }

  fs::path folder_;
  std::mutex mutex_;
  std::string page_;
  std::map<std::string, std::string> files_;
  std::promise<void> releaser_;
  std::shared_future<void> release_ = releaser_.get_future().share();
  std::unique_ptr<testing::LoopbackServer> server_;
  services::UpdateSettings settings_;
  services::UpdateState state_;
  QObject context_;
};

TEST_F(UpdateCheck, SaysThereIsNoUpdateForTheSameOrAnOlderVersion) {
  for (const char* latest : {"2.0", "2.00000005", "1.9", "2.", "", "abc"}) {
    MessageRecorder recorder;
    ServeOffer(latest, Url("/setup.exe"), "下载文件");
    Check();
    ExpectNoUpdateSaid(recorder);
    EXPECT_EQ(state_.downloadAddress, "") << latest;
  }
  EXPECT_EQ(RequestsFor("/setup.exe"), 0u);
}

TEST_F(UpdateCheck, SaysThereIsNoUpdateWithoutAPageOrBlock) {
  {
    MessageRecorder recorder;
    ServePage("", "<p>最新版=9.0</p><p>下载地址=x</p><p>下载方式=打开网页</p>");
    Check();
    ExpectNoUpdateSaid(recorder);
  }
  {
    MessageRecorder recorder;
    settings_.pageAddress = "http://127.0.0.1:" + std::to_string(testing::UnusedPort()) + "/";
    Check();
    ExpectNoUpdateSaid(recorder);
  }
}

TEST_F(UpdateCheck, AsksWithTheVersionsAndNotes) {
  MessageRecorder recorder({ui::kIdNo});
  ServeOffer("2.1", "http://example.invalid/new.html", "打开网页",
             "<p>修正错误</p><p>加快<b>速度</b></p>");
  Check();
  ASSERT_EQ(recorder.Shown().size(), 1u);
  EXPECT_EQ(recorder.Shown()[0].text,
            G("当前版本：2.0\r\n最新版本：2.1\r\n更新内容：\r\n修正错误加快<b>速度</b>"));
  EXPECT_EQ(recorder.Shown()[0].style, ui::kMbYesNo);
  EXPECT_EQ(recorder.Shown()[0].title, G("是否下载最新版？"));
  EXPECT_EQ(state_.downloadAddress, "http://example.invalid/new.html");
}

TEST_F(UpdateCheck, OpensTheDownloadPageWhenTheUserAgrees) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("http", &catcher, "Open");
  {
    MessageRecorder recorder({ui::kIdNo});
    ServeOffer("3", "http://example.invalid/new.html", "打开网页");
    Check();
  }
  EXPECT_TRUE(catcher.opened.isEmpty());
  {
    MessageRecorder recorder({ui::kIdYes});
    Check();
    EXPECT_EQ(recorder.Shown().size(), 1u);
  }
  QDesktopServices::unsetUrlHandler("http");
  ASSERT_EQ(catcher.opened.size(), 1);
  EXPECT_EQ(catcher.opened[0], QUrl("http://example.invalid/new.html"));
}

TEST_F(UpdateCheck, DownloadsTheFileIntoTheFolderWhenTheUserAgrees) {
  MessageRecorder recorder({ui::kIdYes});
  ServeFile("/files/setup.exe", std::string("MZ\0\x01new", 6));
  ServeOffer("2.1", Url("/files/setup.exe"), "下载文件");
  Check();
  ASSERT_TRUE(recorder.WaitFor(2));
  auto shown = recorder.Shown();
  EXPECT_EQ(shown[1].text, G("新版本已下载到：\r\n") + folder_.string() + "/setup.exe");
  EXPECT_EQ(shown[1].style, ui::kMbOk);
  EXPECT_EQ(shown[1].title, G("更新"));
  EXPECT_TRUE(shown[1].onGuiThread);
  EXPECT_EQ(Read(folder_ / "setup.exe"), std::string("MZ\0\x01new", 6));
}

TEST_F(UpdateCheck, NamesTheFileAfterTheLastSegmentOfAnAddressEndingInSlash) {
  MessageRecorder recorder({ui::kIdYes});
  settings_.fallbackFolder = (folder_ / "Downloads").string();
  ServeFile("/files/setup.deb/", "bytes");
  ServeOffer("2.1", Url("/files/setup.deb/"), "下载文件");
  Check();
  ASSERT_TRUE(recorder.WaitFor(2));
  EXPECT_EQ(recorder.Shown()[1].text, G("新版本已下载到：\r\n") + folder_.string() + "/setup.deb");
  EXPECT_EQ(Read(folder_ / "setup.deb"), "bytes");
}

TEST_F(UpdateCheck, OnlyPackagesLandBesideTheProgramAnythingElseInTheDownloadFolder) {
  settings_.fallbackFolder = (folder_ / "Downloads").string();
  struct Case {
    const char* name;
    bool besideTheProgram;
  };
  for (const Case& c : {Case{"qt.conf", false}, Case{"qt6.conf", false}, Case{"setup", false},
                        Case{"notes.txt", false}, Case{"sonaro_2.1_amd64.deb", true},
                        Case{"Sonaro-2.1.AppImage", true}, Case{"sonaro-2.1.tar.xz", true},
                        Case{"SETUP.EXE", true}, Case{".tar.gz", false}}) {
    MessageRecorder recorder({ui::kIdYes});
    ServeFile(std::string("/files/") + c.name, "new");
    ServeOffer("2.1", Url(std::string("/files/") + c.name), "下载文件");
    Check();
    ASSERT_TRUE(recorder.WaitFor(2)) << c.name;
    const std::filesystem::path where = c.besideTheProgram ? folder_ : folder_ / "Downloads";
    if (std::string(c.name) == ".tar.gz") {  // a hidden file: refused anywhere
      EXPECT_EQ(recorder.Shown()[1].text, G("下载失败"));
      continue;
    }
    EXPECT_EQ(recorder.Shown()[1].text, G("新版本已下载到：\r\n") + where.string() + "/" + c.name);
    EXPECT_EQ(Read(where / c.name), "new") << c.name;
    EXPECT_EQ(std::filesystem::exists(folder_ / c.name), c.besideTheProgram) << c.name;
  }
}

TEST_F(UpdateCheck, SavesAnErrorPageLikeAnyOtherBody) {
  MessageRecorder recorder({ui::kIdYes});
  ServeOffer("2.1", Url("/gone.exe"), "下载文件");
  Check();
  ASSERT_TRUE(recorder.WaitFor(2));
  EXPECT_EQ(Read(folder_ / "gone.exe"), "<html>not here</html>");
}

TEST_F(UpdateCheck, SaysTheDownloadFailedForAnUnreachableAddress) {
  MessageRecorder recorder({ui::kIdYes});
  ServeOffer("2.1", "http://127.0.0.1:" + std::to_string(testing::UnusedPort()) + "/setup.exe",
             "下载文件");
  Check();
  ExpectDownloadFailed(recorder);
}

TEST_F(UpdateCheck, SaysTheDownloadFailedWhenTheTransferBreaksOff) {
  MessageRecorder recorder({ui::kIdYes});
  ServeOffer("2.1", Url("/broken.exe"), "下载文件");
  Check();
  ExpectDownloadFailed(recorder);
}

TEST_F(UpdateCheck, SaysTheDownloadFailedForAnEmptyBody) {
  MessageRecorder recorder({ui::kIdYes});
  ServeFile("/empty.exe", "");
  ServeOffer("2.1", Url("/empty.exe"), "下载文件");
  Check();
  ExpectDownloadFailed(recorder);
}

TEST_F(UpdateCheck, SaysTheDownloadFailedForANameThatCannotBeAFile) {
  MessageRecorder recorder({ui::kIdYes});
  ServeFile("/setup.exe?v=2", "bytes");
  ServeOffer("2.1", Url("/setup.exe?v=2"), "下载文件");
  Check();
  ExpectDownloadFailed(recorder);
  EXPECT_EQ(RequestsFor("/setup.exe?v=2"), 1u);
}

TEST_F(UpdateCheck, RefusesNamesThatCouldPlantCodeAndNeverReplacesAFile) {
  for (const char* name : {"libsonaro-browser-engine.so", "sonaro", "sonaro-host", "sonaro-streams",
                           "libevil.so", "libevil.so.1", ".profile", ".."}) {
    MessageRecorder recorder({ui::kIdYes});
    ServeFile(std::string("/files/") + name, "code");
    ServeOffer("2.1", Url(std::string("/files/") + name), "下载文件");
    Check();
    ExpectDownloadFailed(recorder);
    EXPECT_EQ(RequestsFor(std::string("/files/") + name), 0u) << name;
  }
  {
    std::ofstream(folder_ / "setup.exe") << "mine";
    MessageRecorder recorder({ui::kIdYes});
    ServeFile("/files/setup.exe", "theirs");
    ServeOffer("2.1", Url("/files/setup.exe"), "下载文件");
    Check();
    ASSERT_TRUE(recorder.WaitFor(2));
    EXPECT_EQ(recorder.Shown()[1].text, G("下载失败"));
    EXPECT_EQ(Read(folder_ / "setup.exe"), "mine");
  }
}

TEST_F(UpdateCheck, SavesIntoTheDownloadFolderWhereTheProgramFolderCannotBeWritten) {
  MessageRecorder recorder({ui::kIdYes});
  settings_.folder = (folder_ / "missing" / "bin").string();
  settings_.fallbackFolder = (folder_ / "Downloads").string();
  ServeFile("/files/setup.exe", "new");
  ServeOffer("2.1", Url("/files/setup.exe"), "下载文件");
  Check();
  ASSERT_TRUE(recorder.WaitFor(2));
  EXPECT_EQ(recorder.Shown()[1].text,
            G("新版本已下载到：\r\n") + settings_.fallbackFolder + "/setup.exe");
  EXPECT_EQ(Read(folder_ / "Downloads" / "setup.exe"), "new");
}

TEST_F(UpdateCheck, DoesNothingForAnotherMode) {
  MessageRecorder recorder({ui::kIdYes});
  ServeFile("/setup.exe", "bytes");
  ServeOffer("2.1", Url("/setup.exe"), "下载文件 ");
  Check();
  // Give a wrongly started worker time to show itself.
  EXPECT_FALSE(recorder.WaitFor(2, 500ms));
  EXPECT_EQ(recorder.Shown().size(), 1u);
  EXPECT_EQ(RequestsFor("/setup.exe"), 0u);
}

TEST_F(UpdateCheck, AWorkerGoesOnWithItsOwnCopyOfTheAddress) {
  MessageRecorder recorder({ui::kIdYes, ui::kIdNo});
  ServeOffer("2.1", Url("/slow/first.exe"), "下载文件");
  Check();
  // The worker is now waiting for its file; a later check finds another address.
  while (RequestsFor("/slow/first.exe") == 0) ui::LetPendingMessagesRun();
  ServeOffer("2.2", Url("/second.exe"), "下载文件");
  Check();
  EXPECT_EQ(state_.downloadAddress, Url("/second.exe"));
  releaser_.set_value();
  releaser_ = std::promise<void>();
  ASSERT_TRUE(recorder.WaitFor(3));
  EXPECT_EQ(recorder.Shown()[2].text, G("新版本已下载到：\r\n") + folder_.string() + "/first.exe");
  EXPECT_EQ(Read(folder_ / "first.exe"), "first version");
  EXPECT_FALSE(fs::exists(folder_ / "second.exe"));
}

}  // namespace
}  // namespace sonaro

#include "update_check_test.moc"
