// The host served on loopback: every resource's bytes and headers as the player fetches them,
// the dedication page and its submissions, and what the host does with bad or hostile clients.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <thread>

#include "core/text.h"
#include "core/update_page.h"
#include "core/webget.h"
#include "core/xmldoc.h"
#include "host/data_folder.h"
#include "host/gbk.h"
#include "support.h"

namespace sonaro::host {
namespace {

using namespace test;
using core::IsNewerVersion;
using core::ReadUpdatePage;
using core::UpdatePage;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::string Url(int port, std::string_view path) {
  return "http://127.0.0.1:" + std::to_string(port) + std::string(path);
}

int FeedCountIn(const std::string& feed) {
  sonaro::core::XmlDoc doc;
  if (!doc.Load(feed)) return -1;
  return static_cast<int>(doc.ChildCount("@1/"));
}

int FeedCount(int port) { return FeedCountIn(ProgramGet(port, kFeedPath).body); }

// Whether check comes true before a hang.
template <typename Check>
bool Eventually(Check check) {
  const auto until = std::chrono::steady_clock::now() + kHang;
  while (!check()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// The host's log (standard error) written to a file while the object lives.
class CapturedLog {
 public:
  explicit CapturedLog(std::filesystem::path file) : file_(std::move(file)) {
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
  }
  ~CapturedLog() {
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  }
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;
  bool Logs(std::string_view part) const {
    return Eventually([&] { return Contains(ReadFile(file_), part); });
  }

 private:
  std::filesystem::path file_;
  int saved_ = -1;
};

class HostTest : public ::testing::Test {
 protected:
  HostOptions Options() { return TestOptions(dir_.path()); }
  TempDir dir_;
};

// ---- resources ----

TEST_F(HostTest, FirstStartCreatesTheDataFolderWithDefaults) {
  std::filesystem::path data = dir_.path() / "new" / "data";
  HostOptions options = Options();
  options.data_dir = data;
  ServedHost served(options);
  ASSERT_FALSE(DefaultFiles().empty());
  for (const DefaultFile& file : DefaultFiles()) {
    EXPECT_EQ(ReadFile(data / file.name), file.content) << file.name;
  }
  EXPECT_TRUE(std::filesystem::exists(data / kDatabaseFile));
}

TEST_F(HostTest, ExistingFilesAreNeverOverwritten) {
  WriteFile(dir_.path() / kAnnouncementFile, "公告：今晚八点有特别节目。");
  ServedHost served(Options());
  EXPECT_EQ(ReadFile(dir_.path() / kAnnouncementFile), "公告：今晚八点有特别节目。");
  EXPECT_EQ(ProgramGet(served.port(), kAnnouncementPath).Text(), "公告：今晚八点有特别节目。");
}

TEST_F(HostTest, AnnouncementIsPlainGbkText) {
  ServedHost served(Options());
  HttpAnswer answer = ProgramGet(served.port(), kAnnouncementPath);
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.Header("Content-Type"), "text/plain; charset=GBK");
  EXPECT_EQ(answer.Header("Content-Length"), std::to_string(answer.body.size()));
  EXPECT_EQ(answer.Header("Connection"), "close");
  EXPECT_TRUE(IsGbk(answer.body));
  EXPECT_EQ(answer.body, GbkFromOperatorFile(ReadFile(dir_.path() / kAnnouncementFile)));
  EXPECT_TRUE(Contains(answer.Text(), "公告：欢迎使用"));
}

TEST_F(HostTest, UpdatePageTellsThePlayerThereIsNoNewerVersion) {
  ServedHost served(Options());
  HttpAnswer answer = ProgramGet(served.port(), kUpdatePath);
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.Header("Content-Type"), "text/html; charset=GBK");
  // Read the way the update check reads it, through the player's own HTTP client.
  sonaro::core::Bytes page = sonaro::core::WebGet(Url(served.port(), kUpdatePath));
  EXPECT_EQ(page, answer.body);
  UpdatePage fields = ReadUpdatePage(sonaro::core::TextFromBytes(page));
  EXPECT_EQ(fields.latest, "2.0");
  EXPECT_FALSE(IsNewerVersion(fields.latest, "2.0"));
  EXPECT_EQ(fields.mode, GbkFromUtf8("打开网页"));
  EXPECT_TRUE(fields.address.starts_with("http://"));
  EXPECT_FALSE(fields.notes.empty());
  EXPECT_FALSE(Contains(fields.notes, "<p>"));
}

TEST_F(HostTest, OperatorEditsShowWithoutRestart) {
  ServedHost served(Options());
  std::string page = ReadFile(dir_.path() / kUpdatePageFile);
  size_t at = page.find("最新版=2.0");
  ASSERT_NE(at, std::string::npos);
  page.replace(at, std::string("最新版=2.0").size(), "最新版=2.1");
  // Rewritten in place, the same size: served within a check or two.
  WriteFile(dir_.path() / kUpdatePageFile, page);
  EXPECT_TRUE(Eventually(
      [&] { return ReadUpdatePage(ProgramGet(served.port(), kUpdatePath).body).latest == "2.1"; }));
  EXPECT_TRUE(
      IsNewerVersion(ReadUpdatePage(ProgramGet(served.port(), kUpdatePath).body).latest, "2.0"));

  // A file the operator saved in GBK goes out unchanged.
  WriteFile(dir_.path() / kAnnouncementFile, "\xB9\xAB\xB8\xE6");
  EXPECT_TRUE(Eventually(
      [&] { return ProgramGet(served.port(), kAnnouncementPath).body == "\xB9\xAB\xB8\xE6"; }));
  // A removed file is a missing page, with a GBK explanation.
  std::filesystem::remove(dir_.path() / kAdvertPageFile);
  EXPECT_TRUE(Eventually([&] { return ProgramGet(served.port(), kAdvertPath).status == 404; }));
  EXPECT_TRUE(Contains(ProgramGet(served.port(), kAdvertPath).Text(), "找不到这个页面"));
}

TEST_F(HostTest, AnOperatorFileOverItsLimitIsNotServedAndTheLogSaysSo) {
  CapturedLog log(dir_.path() / "log.txt");
  const std::string big(kAnnouncementMaxBytes + 1, 'a');
  {
    ServedHost served(Options());
    const std::string before = ProgramGet(served.port(), kAnnouncementPath).body;
    WriteFile(dir_.path() / kAnnouncementFile, big);
    EXPECT_TRUE(log.Logs(std::string(kAnnouncementFile) + " has " + std::to_string(big.size()) +
                         " bytes, more than the " + std::to_string(kAnnouncementMaxBytes) +
                         " served of it: its previous contents are served"));
    HttpAnswer answer = ProgramGet(served.port(), kAnnouncementPath);
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, before);

    // Cut down, it is served again.
    WriteFile(dir_.path() / kAnnouncementFile, "短了");
    EXPECT_TRUE(
        Eventually([&] { return ProgramGet(served.port(), kAnnouncementPath).Text() == "短了"; }));
  }
  // With nothing read before, nothing is served.
  WriteFile(dir_.path() / kAnnouncementFile, big);
  ServedHost served(Options());
  EXPECT_TRUE(log.Logs("it is not served (404)"));
  EXPECT_EQ(ProgramGet(served.port(), kAnnouncementPath).status, 404);
}

TEST_F(HostTest, AnswersNeverWaitForAnOperatorFileBeingRead) {
  // The conversion of a file that says so is held up until the test lets it go.
  std::promise<void> converting;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> first{true};
  HostOptions options = Options();
  options.convert_operator_file = [&, released](std::string_view bytes) {
    if (Contains(bytes, "held up") && first.exchange(false)) {
      converting.set_value();
      released.wait();
    }
    return GbkFromOperatorFile(bytes);
  };
  ServedHost served(options);
  // Let go however the test ends, before the host is stopped.
  std::shared_ptr<void> let_go(nullptr, [&](void*) { release.set_value(); });
  const std::string before = ProgramGet(served.port(), kAnnouncementPath).body;

  WriteFile(dir_.path() / kAnnouncementFile, "公告 held up");
  ASSERT_EQ(converting.get_future().wait_for(kHang), std::future_status::ready);
  // Answered while the conversion is held: the file with what was read before.
  for (int i = 0; i < 3; ++i) {
    HttpAnswer answer = ProgramGet(served.port(), kAnnouncementPath);
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, before);
  }
  HttpAnswer feed = ProgramGet(served.port(), kFeedPath);
  EXPECT_EQ(feed.status, 200);
  EXPECT_EQ(FeedCountIn(feed.body), 0);

  let_go.reset();
  EXPECT_TRUE(Eventually(
      [&] { return ProgramGet(served.port(), kAnnouncementPath).Text() == "公告 held up"; }));
}

TEST_F(HostTest, AdvertAndHelpPagesAreGbkHtml) {
  ServedHost served(Options());
  for (std::string_view path : {kAdvertPath, kHelpPath}) {
    HttpAnswer answer = ProgramGet(served.port(), path);
    EXPECT_EQ(answer.status, 200) << path;
    EXPECT_EQ(answer.Header("Content-Type"), "text/html; charset=GBK") << path;
    EXPECT_TRUE(IsGbk(answer.body)) << path;
    EXPECT_TRUE(Contains(answer.Text(), "charset=gbk")) << path;
    EXPECT_TRUE(Contains(answer.Text(), "Sonaro")) << path;
  }
  EXPECT_TRUE(Contains(ProgramGet(served.port(), kHelpPath).Text(), "祝福语"));
}

TEST_F(HostTest, FeedIsGbkXmlThePlayerReads) {
  ServedHost served(Options());
  HttpAnswer empty = ProgramGet(served.port(), kFeedPath);
  EXPECT_EQ(empty.status, 200);
  EXPECT_EQ(empty.Header("Content-Type"), "text/xml; charset=GBK");
  EXPECT_EQ(empty.Header("Content-Length"), std::to_string(empty.body.size()));
  EXPECT_TRUE(empty.body.starts_with("<?xml version=\"1.0\" encoding=\"GBK\"?>"));
  EXPECT_EQ(FeedCount(served.port()), 0);

  ASSERT_EQ(PostForm(served.port(), DedicationForm("生日快乐！")).status, 200);
  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(sonaro::core::WebGet(Url(served.port(), kFeedPath))));
  EXPECT_EQ(doc.ChildCount("@1/"), 1);
  EXPECT_EQ(doc.Value("@1/@1/zhufuyu"), GbkFromUtf8("生日快乐！"));
}

TEST_F(HostTest, FeedHoldsTheMostRecentInSubmissionOrder) {
  HostOptions options = Options();
  options.feed_size = 3;
  options.submit_interval = std::chrono::milliseconds(0);
  ServedHost served(options);
  for (int i = 1; i <= 5; ++i) {
    ASSERT_EQ(PostForm(served.port(), DedicationForm("祝福 " + std::to_string(i))).status, 200);
  }
  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(ProgramGet(served.port(), kFeedPath).body));
  ASSERT_EQ(doc.ChildCount("@1/"), 3);
  EXPECT_EQ(doc.Value("@1/@1/zhufuyu"), GbkFromUtf8("祝福 3"));
  EXPECT_EQ(doc.Value("@1/@2/zhufuyu"), GbkFromUtf8("祝福 4"));
  EXPECT_EQ(doc.Value("@1/@3/zhufuyu"), GbkFromUtf8("祝福 5"));
}

TEST_F(HostTest, FeedIsServedFromMemoryAndRebuiltOnlyWhenADedicationArrives) {
  ServedHost served(Options());
  std::shared_ptr<const std::string> before = served.host().Feed();
  for (int i = 0; i < 3; ++i) ProgramGet(served.port(), kFeedPath);
  ProgramGet(served.port(), kDedicationPath);
  EXPECT_EQ(served.host().Feed(), before);  // the very same bytes, not rebuilt
  ASSERT_EQ(PostForm(served.port(), DedicationForm("新的祝福")).status, 200);
  std::shared_ptr<const std::string> after = served.host().Feed();
  EXPECT_NE(after, before);
  EXPECT_EQ(ProgramGet(served.port(), kFeedPath).body, *after);
}

TEST_F(HostTest, UnknownPathsGetAGbkNotFoundPage) {
  ServedHost served(Options());
  for (std::string_view path : {"/", "/gg/diangatai1/", "/GONGGAO.TXT", "/gonggao.txt.bak",
                                "/../etc/passwd", "/gg/diangatai1/index.asp/../../x"}) {
    HttpAnswer answer = ProgramGet(served.port(), path);
    EXPECT_EQ(answer.status, 404) << path;
    EXPECT_EQ(answer.Header("Content-Type"), "text/html; charset=GBK") << path;
    EXPECT_TRUE(Contains(answer.Text(), "找不到这个页面")) << path;
  }
}

// ---- the dedication page ----

TEST_F(HostTest, DedicationPageHoldsTheFormThePlayerFills) {
  ServedHost served(Options());
  HttpAnswer answer = ProgramGet(served.port(), kDedicationPath);
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.Header("Content-Type"), "text/html; charset=GBK");
  std::string page = answer.Text();
  EXPECT_TRUE(Contains(page, "charset=gbk"));
  EXPECT_TRUE(Contains(page, R"(<form method="post" action="/gg/diangatai1/index.asp")"));
  for (const char* name : {"beichenghu", "beiname", "geming", "dizhi", "dianname", "dianchenghu"}) {
    EXPECT_TRUE(Contains(
        page, std::string("<input type=\"text\" id=\"") + name + "\" name=\"" + name + "\""))
        << name;
  }
  EXPECT_TRUE(Contains(page, R"(<textarea id="neirong" name="neirong">)"));
  EXPECT_TRUE(Contains(page, R"(<input type="submit" value="提交留言">)"));
}

TEST_F(HostTest, SubmissionIsStoredAndAnsweredWithTheFormAgain) {
  ServedHost served(Options());
  std::string body = GbkForm({{"beichenghu", "亲爱的"},
                              {"beiname", "小红"},
                              {"geming", "月亮代表我的心"},
                              {"dizhi", "http://example.com/moon.mp3"},
                              {"neirong", "生日快乐\r\n天天开心"},
                              {"dianchenghu", "老同学"},
                              {"dianname", "小明"},
                              {"_charset_", "GBK"}});
  HttpAnswer answer = PostForm(served.port(), body);
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.Header("Content-Type"), "text/html; charset=GBK");
  std::string page = answer.Text();
  EXPECT_TRUE(Contains(page, "点歌成功"));
  EXPECT_TRUE(Contains(page, R"(<input type="submit" value="提交留言">)"));
  EXPECT_TRUE(Contains(page, R"(name="beiname" value="")"));  // a fresh form

  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(ProgramGet(served.port(), kFeedPath).body));
  ASSERT_EQ(doc.ChildCount("@1/"), 1);
  EXPECT_EQ(doc.Value("@1/@1/beichenghu"), GbkFromUtf8("亲爱的"));
  EXPECT_EQ(doc.Value("@1/@1/beidiangezhe"), GbkFromUtf8("小红"));
  EXPECT_EQ(doc.Value("@1/@1/geming"), GbkFromUtf8("月亮代表我的心"));
  EXPECT_EQ(doc.Value("@1/@1/gequdizhi"), "http://example.com/moon.mp3");
  EXPECT_EQ(doc.Value("@1/@1/zhufuyu"), GbkFromUtf8("生日快乐\r\n天天开心"));
  EXPECT_EQ(doc.Value("@1/@1/chenghu"), GbkFromUtf8("老同学"));
  EXPECT_EQ(doc.Value("@1/@1/diangezhe"), GbkFromUtf8("小明"));
}

TEST_F(HostTest, SecondSubmissionFromTheAnswerPageWorks) {
  HostOptions options = Options();
  options.submit_interval = std::chrono::milliseconds(0);
  ServedHost served(options);
  HttpAnswer first = PostForm(served.port(), DedicationForm("第一条"));
  ASSERT_EQ(first.status, 200);
  // Submit again to wherever the answer's form points.
  std::string page = first.Text();
  size_t action = page.find("action=\"");
  ASSERT_NE(action, std::string::npos);
  std::string target = page.substr(action + 8, page.find('"', action + 8) - action - 8);
  EXPECT_EQ(target, kDedicationPath);
  HttpAnswer second = PostForm(served.port(), DedicationForm("第二条"));
  EXPECT_EQ(second.status, 200);
  EXPECT_TRUE(Contains(second.Text(), "点歌成功"));
  EXPECT_EQ(FeedCount(served.port()), 2);
}

TEST_F(HostTest, MarkupIsShownAsTextOnThePageAndEscapedInTheFeed) {
  ServedHost served(Options());
  std::string evil_name = "\"><script>alert(1)</script>";
  // Refused for its overlong wishes, so the page puts the typed values back.
  std::string too_long(1001, 'x');
  HttpAnswer refused =
      PostForm(served.port(), GbkForm({{"beiname", evil_name}, {"neirong", too_long}}));
  EXPECT_EQ(refused.status, 400);
  std::string page = refused.Text();
  EXPECT_FALSE(Contains(page, "<script>"));
  EXPECT_TRUE(Contains(page, "value=\"&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;\""));
  EXPECT_TRUE(
      Contains(page, "<textarea id=\"neirong\" name=\"neirong\">\n" + too_long + "</textarea>"));

  ASSERT_EQ(PostForm(served.port(),
                     GbkForm({{"beiname", evil_name}, {"neirong", "<b>&amp;</b> 'x' \"y\""}}))
                .status,
            200);
  std::string feed = ProgramGet(served.port(), kFeedPath).body;
  EXPECT_FALSE(Contains(feed, "<script>"));
  EXPECT_FALSE(Contains(feed, "<b>"));
  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(feed));
  EXPECT_EQ(doc.Value("@1/@1/beidiangezhe"), evil_name);
  EXPECT_EQ(doc.Value("@1/@1/zhufuyu"), "<b>&amp;</b> 'x' \"y\"");
}

TEST_F(HostTest, OverlongAndNonGbkFieldsAreRefusedWithAClearMessageAndNothingStored) {
  ServedHost served(Options());
  std::string wishes_1001(1001, 'w');
  HttpAnswer answer = PostForm(served.port(), GbkForm({{"neirong", wishes_1001}}));
  EXPECT_EQ(answer.status, 400);
  EXPECT_TRUE(Contains(answer.Text(), "没有提交"));
  EXPECT_TRUE(Contains(answer.Text(), "「祝福语」太长了：最多1000字节"));
  EXPECT_TRUE(Contains(answer.Text(), R"(<input type="submit" value="提交留言">)"));

  answer = PostForm(served.port(), GbkForm({{"neirong", "好"}, {"geming", std::string(201, 'g')}}));
  EXPECT_EQ(answer.status, 400);
  EXPECT_TRUE(Contains(answer.Text(), "「要点的歌曲名」太长了：最多200字节"));

  answer = PostForm(served.port(), "neirong=%D6%D0%FF%FE&dianname=ok");
  EXPECT_EQ(answer.status, 400);
  EXPECT_TRUE(Contains(answer.Text(), "「祝福语」里有不是GBK编码的文字"));

  answer = PostForm(served.port(), "neirong=%ZZ");
  EXPECT_EQ(answer.status, 400);
  EXPECT_TRUE(Contains(answer.Text(), "格式不对"));

  // Without a length the body is empty; the host does not wait for more.
  answer = Exchange(served.port(),
                    "POST /gg/diangatai1/index.asp HTTP/1.0\r\nContent-Type: "
                    "application/x-www-form-urlencoded\r\n\r\n");
  EXPECT_EQ(answer.status, 400);
  EXPECT_TRUE(Contains(answer.Text(), "请填写「祝福语」"));

  answer = PostForm(served.port(), "neirong=x", "", "multipart/form-data; boundary=zz");
  EXPECT_EQ(answer.status, 415);
  EXPECT_TRUE(Contains(answer.Text(), "请用本页的表单提交"));

  EXPECT_EQ(FeedCount(served.port()), 0);
  // The limits are exact: the longest allowed values are stored.
  std::string wishes_1000;
  for (int i = 0; i < 500; ++i) wishes_1000 += "福";
  EXPECT_EQ(PostForm(served.port(),
                     GbkForm({{"neirong", wishes_1000}, {"geming", std::string(200, 'g')}}))
                .status,
            200);
  EXPECT_EQ(FeedCount(served.port()), 1);
}

TEST_F(HostTest, Utf8FormsAreStoredAsGbk) {
  ServedHost served(Options());
  std::string body =
      "_charset_=UTF-8&neirong=" + PercentEncode("恭喜发财") + "&dianname=" + PercentEncode("小明");
  ASSERT_EQ(PostForm(served.port(), body).status, 200);
  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(ProgramGet(served.port(), kFeedPath).body));
  EXPECT_EQ(doc.Value("@1/@1/zhufuyu"), "\xB9\xA7\xCF\xB2\xB7\xA2\xB2\xC6");
}

TEST_F(HostTest, RepeatedWishesAreRefusedWhileTheFeedStillShowsThem) {
  HostOptions options = Options();
  options.submit_interval = std::chrono::milliseconds(0);
  options.feed_size = 2;
  ServedHost served(options);
  ASSERT_EQ(PostForm(served.port(), DedicationForm("一样的祝福")).status, 200);
  HttpAnswer again = PostForm(served.port(), DedicationForm("一样的祝福"));
  EXPECT_EQ(again.status, 409);
  EXPECT_TRUE(Contains(again.Text(), "请换一句"));
  EXPECT_EQ(FeedCount(served.port()), 1);
  // Once it has left the feed, the same words may be sent again.
  ASSERT_EQ(PostForm(served.port(), DedicationForm("别的祝福 1")).status, 200);
  ASSERT_EQ(PostForm(served.port(), DedicationForm("别的祝福 2")).status, 200);
  EXPECT_EQ(PostForm(served.port(), DedicationForm("一样的祝福")).status, 200);
}

TEST_F(HostTest, BodiesOverTheLimitAreRefused) {
  ServedHost served(Options());
  std::string big = "neirong=" + std::string(20000, 'x');
  HttpAnswer answer = PostForm(served.port(), big);
  EXPECT_EQ(answer.status, 413);
  EXPECT_TRUE(Contains(answer.Text(), "提交的内容太长了"));
  // Announced as huge but never sent: refused from the header alone, without waiting.
  auto start = std::chrono::steady_clock::now();
  answer = Exchange(served.port(),
                    "POST /gg/diangatai1/index.asp HTTP/1.1\r\nHost: x\r\nContent-Type: "
                    "application/x-www-form-urlencoded\r\nContent-Length: 10000000000\r\n\r\nne");
  EXPECT_EQ(answer.status, 413);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  // A negative length is no length: refused at once, not after the 10 s request deadline.
  start = std::chrono::steady_clock::now();
  answer = Exchange(served.port(),
                    "POST /gg/diangatai1/index.asp HTTP/1.1\r\nHost: x\r\nContent-Type: "
                    "application/x-www-form-urlencoded\r\nContent-Length: -1\r\n\r\nne");
  EXPECT_EQ(answer.status, 400);
  const auto refused_after = std::chrono::steady_clock::now() - start;
  PrintTook("a negative length refused after", refused_after);
  EXPECT_LT(refused_after, kHang);
  EXPECT_EQ(FeedCount(served.port()), 0);
}

TEST_F(HostTest, AClientExpectingToContinueIsToldOnlyWhenItsBodyIsWanted) {
  ServedHost served(Options());
  auto head = [](size_t length) {
    return "POST /gg/diangatai1/index.asp HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           std::to_string(length) + "\r\n\r\n";
  };
  // Too large: the refusal comes first, never a go-ahead.
  Connection large(served.port());
  large.Send(head(20000));
  EXPECT_TRUE(large.ReadAll(5s).starts_with("HTTP/1.1 413 "));
  // Fine: told to continue, then the body is read and stored.
  const std::string form = DedicationForm("继续");
  Connection fine(served.port());
  fine.Send(head(form.size()));
  char go_ahead[64] = {};
  pollfd ready{fine.fd(), POLLIN, 0};
  ASSERT_EQ(::poll(&ready, 1, 5000), 1);
  ssize_t n = ::recv(fine.fd(), go_ahead, sizeof go_ahead - 1, 0);
  EXPECT_EQ(std::string(go_ahead, static_cast<size_t>(std::max<ssize_t>(n, 0))),
            "HTTP/1.1 100 Continue\r\n\r\n");
  fine.Send(form);
  EXPECT_EQ(ParseAnswer(fine.ReadAll()).status, 200);
  EXPECT_EQ(FeedCount(served.port()), 1);
}

// ---- the submission limit ----

TEST_F(HostTest, OneAddressSubmitsOncePerInterval) {
  HostOptions options = Options();
  options.submit_interval = 2s;
  ServedHost served(options);
  ASSERT_EQ(PostForm(served.port(), DedicationForm("第一条")).status, 200);
  HttpAnswer refused = PostForm(served.port(), DedicationForm("第二条"));
  EXPECT_EQ(refused.status, 429);
  EXPECT_TRUE(Contains(refused.Text(), "提交太频繁了，请过"));
  // What was typed is kept for the retry.
  EXPECT_TRUE(Contains(refused.Text(), "第二条"));
  // Refused content does not use up the turn.
  EXPECT_EQ(FeedCount(served.port()), 1);
  std::this_thread::sleep_for(2100ms);
  EXPECT_EQ(PostForm(served.port(), DedicationForm("第二条")).status, 200);
  EXPECT_EQ(FeedCount(served.port()), 2);
}

TEST_F(HostTest, InvalidSubmissionsDoNotUseUpTheTurn) {
  HostOptions options = Options();
  options.submit_interval = 60s;
  ServedHost served(options);
  EXPECT_EQ(PostForm(served.port(), GbkForm({{"neirong", ""}})).status, 400);
  EXPECT_EQ(PostForm(served.port(), DedicationForm("改好了")).status, 200);
}

TEST_F(HostTest, SimultaneousSubmissionsFromOneAddressStoreOnlyOne) {
  HostOptions options = Options();
  options.submit_interval = 60s;
  ServedHost served(options);
  std::atomic<int> stored{0}, limited{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 6; ++i) {
    threads.emplace_back([&, i] {
      int status = PostForm(served.port(), DedicationForm("并发 " + std::to_string(i))).status;
      (status == 200 ? stored : limited)++;
      EXPECT_TRUE(status == 200 || status == 429) << status;
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(stored, 1);
  EXPECT_EQ(limited, 5);
  EXPECT_EQ(FeedCount(served.port()), 1);
}

TEST_F(HostTest, BehindAProxyTheForwardedAddressCounts) {
  HostOptions options = Options();
  options.submit_interval = 60s;
  options.trusted_proxies = LoopbackProxies();
  ServedHost served(options);
  auto post = [&](std::string_view wishes, std::string_view chain) {
    return PostForm(served.port(), DedicationForm(wishes),
                    "X-Forwarded-For: " + std::string(chain) + "\r\n")
        .status;
  };
  EXPECT_EQ(post("甲", "198.51.100.1"), 200);
  EXPECT_EQ(post("乙", "198.51.100.2"), 200);
  // Only the proxy's own entry (the last) counts, not what the client claims before it.
  EXPECT_EQ(post("丙", "203.0.113.9, 198.51.100.1"), 429);
  // Nor a header line of its own before the proxy's.
  EXPECT_EQ(post("丁", "203.0.113.7\r\nX-Forwarded-For: 198.51.100.2"), 429);

  // From a peer that is not a trusted proxy the header changes nothing.
  for (const char* proxy : {"", "192.0.2.0/24", "::1"}) {
    TempDir other;
    HostOptions plain = TestOptions(other.path());
    plain.submit_interval = 60s;
    if (*proxy) plain.trusted_proxies = {*AddressRange::Parse(proxy)};
    ServedHost direct(plain);
    auto direct_post = [&](std::string_view wishes, std::string_view chain) {
      return PostForm(direct.port(), DedicationForm(wishes),
                      "X-Forwarded-For: " + std::string(chain) + "\r\n")
          .status;
    };
    EXPECT_EQ(direct_post("甲", "198.51.100.1"), 200) << proxy;
    EXPECT_EQ(direct_post("乙", "198.51.100.2"), 429) << proxy;
  }
}

TEST_F(HostTest, ManyAddressesSubmittingAtOnceAllLand) {
  HostOptions options = Options();
  options.trusted_proxies = LoopbackProxies();
  ServedHost served(options);
  std::vector<std::thread> threads;
  std::atomic<int> stored{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 5; ++i) {
        std::string who = "198.51.100." + std::to_string(t * 10 + i);
        if (PostForm(served.port(), DedicationForm("来自 " + who),
                     "X-Forwarded-For: " + who + "\r\n")
                .status == 200) {
          ++stored;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(stored, 20);
  EXPECT_EQ(FeedCount(served.port()), 20);
  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(ProgramGet(served.port(), kFeedPath).body));
  std::set<std::string> wishes;
  for (int i = 1; i <= 20; ++i) wishes.insert(doc.Value("@1/@" + std::to_string(i) + "/zhufuyu"));
  EXPECT_EQ(wishes.size(), 20u);
}

// ---- storage faults ----

// A store that can be told to fail, around a real one.
class FlakyStore : public DedicationStore {
 public:
  explicit FlakyStore(std::unique_ptr<DedicationStore> inner) : inner_(std::move(inner)) {}
  std::int64_t Add(const Dedication& d, std::string_view from) override {
    if (fail_) throw StoreError("disk full");
    return inner_->Add(d, from);
  }
  Submission Submit(const Dedication& d, std::string_view from, const SubmissionRules& rules,
                    std::size_t repeat_window) override {
    if (fail_) throw StoreError("disk full");
    return inner_->Submit(d, from, rules, repeat_window);
  }
  std::vector<Dedication> Latest(std::size_t count) override { return inner_->Latest(count); }
  std::int64_t NewestId() override { return inner_->NewestId(); }
  std::atomic<bool> fail_{false};

 private:
  std::unique_ptr<DedicationStore> inner_;
};

TEST_F(HostTest, StorageFailureIsReportedAndTheTurnGivenBack) {
  auto flaky = std::make_unique<FlakyStore>(OpenSqliteStore(dir_.path() / "flaky.sqlite3"));
  FlakyStore* store = flaky.get();
  HostOptions options = Options();
  options.submit_interval = 60s;
  ServedHost served(options, std::move(flaky));
  store->fail_ = true;
  HttpAnswer answer = PostForm(served.port(), DedicationForm("保存失败的祝福"));
  EXPECT_EQ(answer.status, 503);
  EXPECT_TRUE(Contains(answer.Text(), "服务器暂时无法保存点歌"));
  EXPECT_FALSE(Contains(answer.Text(), "点歌成功"));
  EXPECT_TRUE(Contains(answer.Text(), "保存失败的祝福"));  // kept in the form for a retry
  EXPECT_EQ(FeedCount(served.port()), 0);
  store->fail_ = false;
  EXPECT_EQ(PostForm(served.port(), DedicationForm("保存失败的祝福")).status, 200);
  EXPECT_EQ(FeedCount(served.port()), 1);
}

TEST_F(HostTest, FeedCanBeReadAgainAfterTheDatabaseWasEdited) {
  HostOptions options = Options();
  options.submit_interval = std::chrono::milliseconds(0);
  ServedHost served(options);
  ASSERT_EQ(PostForm(served.port(), DedicationForm("留下")).status, 200);
  ASSERT_EQ(PostForm(served.port(), DedicationForm("删掉")).status, 200);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir_.path() / kDatabaseFile).c_str(), &db), SQLITE_OK);
  sqlite3_busy_timeout(db, 5000);
  ASSERT_EQ(sqlite3_exec(db, "DELETE FROM dedications WHERE id = 2", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  EXPECT_EQ(FeedCount(served.port()), 2);  // served from memory until told
  served.host().ReloadFeed();
  EXPECT_EQ(FeedCount(served.port()), 1);
}

TEST_F(HostTest, ARecordWrittenByOtherMeansIsCutToTheFormsLimitsInTheFeed) {
  ServedHost served(Options());
  std::string wishes;
  for (int i = 0; i < 3 << 20; ++i) wishes += "祝";  // 9 MiB
  std::string song = "a";
  for (int i = 0; i < 300; ++i) song += "歌";
  const std::string markup(300, '<');
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir_.path() / kDatabaseFile).c_str(), &db), SQLITE_OK);
  sqlite3_busy_timeout(db, 5000);
  sqlite3_stmt* insert = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db,
                               "INSERT INTO dedications (from_address, chenghu, diangezhe, "
                               "beichenghu, beidiangezhe, geming, gequdizhi, zhufuyu) "
                               "VALUES ('', '你的朋友', ?1, '亲爱的', '小红', ?2, '', ?3)",
                               -1, &insert, nullptr),
            SQLITE_OK);
  sqlite3_bind_text(insert, 1, markup.data(), static_cast<int>(markup.size()), SQLITE_STATIC);
  sqlite3_bind_text(insert, 2, song.data(), static_cast<int>(song.size()), SQLITE_STATIC);
  sqlite3_bind_text(insert, 3, wishes.data(), static_cast<int>(wishes.size()), SQLITE_STATIC);
  EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
  sqlite3_finalize(insert);
  sqlite3_close(db);
  served.host().ReloadFeed();

  HttpAnswer feed = ProgramGet(served.port(), kFeedPath);
  EXPECT_LT(feed.body.size(), 8192u);
  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(feed.body));
  ASSERT_EQ(doc.ChildCount("@1/"), 1);
  // Whole characters, up to the form's limits in GBK bytes; markup counted as the text it is.
  EXPECT_EQ(doc.Value("@1/@1/zhufuyu"), GbkFromUtf8(wishes.substr(0, 500 * 3)));
  EXPECT_EQ(doc.Value("@1/@1/geming"), GbkFromUtf8(song.substr(0, 1 + 99 * 3)));
  EXPECT_EQ(doc.Value("@1/@1/diangezhe"), std::string(200, '<'));
  EXPECT_EQ(doc.Value("@1/@1/beidiangezhe"), GbkFromUtf8("小红"));
}

TEST_F(HostTest, RestartKeepsTheDedications) {
  HostOptions options = Options();
  options.submit_interval = std::chrono::milliseconds(0);
  {
    ServedHost served(options);
    for (const char* wishes : {"一", "二", "三"}) {
      ASSERT_EQ(PostForm(served.port(), DedicationForm(wishes)).status, 200);
    }
  }
  ServedHost served(options);
  sonaro::core::XmlDoc doc;
  ASSERT_TRUE(doc.Load(ProgramGet(served.port(), kFeedPath).body));
  ASSERT_EQ(doc.ChildCount("@1/"), 3);
  EXPECT_EQ(doc.Value("@1/@1/zhufuyu"), GbkFromUtf8("一"));
  EXPECT_EQ(doc.Value("@1/@3/zhufuyu"), GbkFromUtf8("三"));
}

TEST_F(HostTest, OneDataFolderServesOneHost) {
  ServedHost served(Options());
  try {
    Host second(Options());
    FAIL() << "a second host opened the same data folder";
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(Contains(e.what(), "in use by another sonaro-host")) << e.what();
  }
}

TEST_F(HostTest, StopBeforeServingEndsServingAtOnce) {
  Host host(Options());
  host.Bind();
  host.Stop();
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(host.Serve());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

// ---- hostile and broken clients ----

TEST_F(HostTest, SlowClientsAreCutOffWhileOthersAreServed) {
  HostOptions options = Options();
  options.connection.request_timeout = 1s;
  ServedHost served(options);

  // Trickles a header byte every 100 ms: each read is quick, the request never completes.
  std::atomic<bool> trickling{true};
  std::string slow_answer;
  std::chrono::steady_clock::duration slow_took{};
  std::thread slow([&] {
    Connection connection(served.port());
    auto start = std::chrono::steady_clock::now();
    connection.Send("GET /gonggao.txt HTTP/1.0\r\n");
    while (trickling && std::chrono::steady_clock::now() - start < 5s) {
      if (!connection.Send("X")) break;
      pollfd p{connection.fd(), POLLIN, 0};
      if (::poll(&p, 1, 100) > 0) break;  // the server answered or closed
    }
    slow_answer = connection.ReadAll(3s);
    slow_took = std::chrono::steady_clock::now() - start;
  });
  // Says nothing at all.
  Connection silent(served.port());

  // Meanwhile the player is served at once.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ProgramGet(served.port(), kFeedPath).status, 200);

  slow.join();
  trickling = false;
  HttpAnswer answer = ParseAnswer(slow_answer);
  EXPECT_EQ(answer.status, 408);
  EXPECT_TRUE(Contains(answer.Text(), "请求超时"));
  EXPECT_GE(slow_took, 900ms);
  EXPECT_LT(slow_took, 4s);

  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(silent.ReadAll(5s), "");  // closed without an answer
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST_F(HostTest, OversizedHeadersAreRefused) {
  ServedHost served(Options());
  std::string request = "GET /gonggao.txt HTTP/1.0\r\n";
  for (int i = 0; i < 200; ++i)
    request += "X-Padding-" + std::to_string(i) + ": " + std::string(60, 'p') + "\r\n";
  request += "\r\n";
  HttpAnswer answer = Exchange(served.port(), request);
  EXPECT_EQ(answer.status, 431);
  EXPECT_TRUE(Contains(answer.Text(), "请求头太长"));

  // Just under the limit is fine.
  std::string fits =
      "GET /gonggao.txt HTTP/1.0\r\nX-Padding: " + std::string(7000, 'p') + "\r\n\r\n";
  EXPECT_EQ(Exchange(served.port(), fits).status, 200);

  HttpAnswer long_uri =
      Exchange(served.port(), "GET /" + std::string(9000, 'u') + " HTTP/1.0\r\n\r\n");
  EXPECT_GE(long_uri.status, 400);
  EXPECT_EQ(ProgramGet(served.port(), kAnnouncementPath).status, 200);
}

TEST_F(HostTest, GarbageRequestsGetAnErrorAndTheHostCarriesOn) {
  ServedHost served(Options());
  for (std::string_view junk : {std::string_view("\r\n\r\n"), std::string_view("HELLO\r\n\r\n"),
                                std::string_view("GET\r\n\r\n"),
                                std::string_view("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03")}) {
    Connection connection(served.port());
    connection.Send(junk);
    ::shutdown(connection.fd(), SHUT_WR);
    HttpAnswer answer = ParseAnswer(connection.ReadAll(5s));
    EXPECT_TRUE(answer.status == 0 || answer.status >= 400) << answer.status;
  }
  EXPECT_EQ(ProgramGet(served.port(), kAnnouncementPath).status, 200);
}

TEST_F(HostTest, OneAddressCannotHoldEveryConnection) {
  HostOptions options = Options();
  options.connection.max_connections_per_address = 2;
  ServedHost served(options);
  // Counted at accept: the third connection is refused before it sends a byte.
  Connection first(served.port());
  Connection second(served.port());
  HttpAnswer refused = ParseAnswer(Connection(served.port()).ReadAll(5s));
  EXPECT_EQ(refused.status, 503);
  EXPECT_EQ(refused.Header("Retry-After"), "1");
  EXPECT_TRUE(Contains(refused.Text(), "服务器忙"));
  // Another address is served meanwhile, and both held connections still are.
  Connection other(served.port(), "127.0.0.2");
  other.Send(std::string("GET ") + std::string(kFeedPath) + " HTTP/1.0\r\n\r\n");
  EXPECT_EQ(ParseAnswer(other.ReadAll()).status, 200);
  first.Send("GET /gonggao.txt HTTP/1.0\r\n\r\n");
  second.Send("GET /gonggao.txt HTTP/1.0\r\n\r\n");
  EXPECT_EQ(ParseAnswer(first.ReadAll()).status, 200);
  EXPECT_EQ(ParseAnswer(second.ReadAll()).status, 200);
}

// The player's feed request from a client of its own, and how long the answer took.
std::pair<HttpAnswer, std::chrono::steady_clock::duration> TimedFeed(int port, const char* from) {
  auto start = std::chrono::steady_clock::now();
  Connection connection(port, from);
  connection.Send("GET " + std::string(kFeedPath) + " HTTP/1.0\r\nUser-Agent: " +
                  std::string(kProgramAgent) + "\r\nAccept: */*\r\n\r\n");
  HttpAnswer answer = ParseAnswer(connection.ReadAll(5s));
  return {answer, std::chrono::steady_clock::now() - start};
}

TEST_F(HostTest, IdleAndTricklingFloodsDoNotDelayOtherClients) {
  ServedHost served(Options());  // the shipped limits
  // 1,000 connections from one address that never send a byte...
  std::vector<std::unique_ptr<Connection>> idle;
  for (int i = 0; i < 1000; ++i) {
    idle.push_back(std::make_unique<Connection>(served.port(), "127.0.0.2"));
    ASSERT_GE(idle.back()->fd(), 0);
  }
  // ...and 64 from two others that send their request a byte a second.
  std::vector<std::unique_ptr<Connection>> trickling;
  for (int i = 0; i < 64; ++i) {
    trickling.push_back(
        std::make_unique<Connection>(served.port(), i % 2 ? "127.0.0.3" : "127.0.0.4"));
    trickling.back()->Send("GET /gonggao.txt HTTP/1.0\r\n");
  }
  std::atomic<bool> flooding{true};
  std::thread trickle([&] {
    while (flooding) {
      for (auto& connection : trickling) connection->Send("X");
      for (int i = 0; i < 10 && flooding; ++i) std::this_thread::sleep_for(100ms);
    }
  });
  std::chrono::steady_clock::duration slowest{};
  for (int i = 0; i < 20; ++i) {
    auto [answer, took] = TimedFeed(served.port(), "127.0.0.5");
    EXPECT_EQ(answer.status, 200);
    slowest = std::max(slowest, took);
    std::this_thread::sleep_for(150ms);
  }
  flooding = false;
  trickle.join();
  PrintTook("the slowest feed answer under the flood", slowest);
  EXPECT_LT(slowest, kHang);
  // The idle address's connections past its limit were turned away at once, not held until the
  // 10 s request deadline.
  EXPECT_EQ(ParseAnswer(idle.back()->ReadAll(kHang)).status, 503);
}

// A file system of its own on a loop device, which the test can freeze: needs root.
class LoopDisk {
 public:
  explicit LoopDisk(const std::filesystem::path& dir)
      : image_(dir / "disk.img"), mount_(dir / "disk") {
    std::filesystem::create_directories(mount_);
    std::string commands = "truncate -s 32M '" + image_.string() + "' && mkfs.ext4 -q '" +
                           image_.string() + "' && mount -o loop '" + image_.string() + "' '" +
                           mount_.string() + "'";
    mounted_ = std::system(("(" + commands + ") >/dev/null 2>&1").c_str()) == 0;
  }
  ~LoopDisk() {
    if (!mounted_) return;
    Thaw();
    if (std::system(("umount '" + mount_.string() + "'").c_str()) != 0) {
      ADD_FAILURE() << "cannot unmount " << mount_;
    }
  }
  bool mounted() const { return mounted_; }
  const std::filesystem::path& path() const { return mount_; }
  bool Freeze() { return std::system(("fsfreeze -f '" + mount_.string() + "'").c_str()) == 0; }
  // Thawing a disk that is not frozen fails, which is fine.
  void Thaw() {
    if (std::system(("fsfreeze -u '" + mount_.string() + "' 2>/dev/null").c_str()) != 0) return;
  }

 private:
  std::filesystem::path image_;
  std::filesystem::path mount_;
  bool mounted_ = false;
};

TEST_F(HostTest, FeedIsServedWhileTheDatabaseDiskIsStalled) {
  if (::geteuid() != 0) GTEST_SKIP() << "freezing a file system needs root; not tested here";
  LoopDisk disk(dir_.path());
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a loop file system here; not tested";
  HostOptions options = Options();
  options.data_dir = disk.path() / "data";
  options.submit_interval = 0s;
  const size_t in_flight = options.connection.max_slow_requests;
  {
    ServedHost served(options);
    ASSERT_EQ(PostForm(served.port(), DedicationForm("冻结之前")).status, 200);
    ASSERT_TRUE(disk.Freeze());

    // Submissions now wait on the disk; those past the bound are answered at once.
    const size_t sent = in_flight + 8;
    std::vector<int> statuses(sent);
    std::vector<std::thread> senders;
    for (size_t i = 0; i < sent; ++i) {
      senders.emplace_back([&, i] {
        statuses[i] = PostForm(served.port(), DedicationForm("冻结" + std::to_string(i))).status;
      });
      std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(500ms);
    // Waiting for the frozen disk would never end.
    for (int i = 0; i < 5; ++i) {
      auto [answer, took] = TimedFeed(served.port(), "127.0.0.5");
      EXPECT_EQ(answer.status, 200);
      EXPECT_EQ(FeedCountIn(answer.body), 1);
      PrintTook("the feed answered with the disk frozen after", took);
      EXPECT_LT(took, kHang);
    }
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 503), 8);

    // Thawed, the waiting ones are stored.
    disk.Thaw();
    for (std::thread& sender : senders) sender.join();
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 200), static_cast<long>(in_flight));
    EXPECT_EQ(FeedCount(served.port()), static_cast<int>(in_flight) + 1);
  }
}

}  // namespace
}  // namespace sonaro::host
