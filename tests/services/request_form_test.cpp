// The Request form end to end: the form loads the dedication page from a loopback server into
// its hidden browser, 确定 posts the seven boxes through the page's form (GBK, as the page
// declares), and the boxes are emptied.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QWidget>
#include <map>
#include <memory>
#include <vector>

#include "app/catalogue.h"
#include "assets/assets.h"
#include "browser/browser_control.h"
#include "browser/document.h"
#include "core/gbk.h"
#include "services/handlers.h"
#include "services/service_host.h"
#include "sonaro_config.h"
#include "support/event_wait.h"
#include "ui/ids.h"
#include "ui/window_system.h"

using namespace sonaro;
using namespace sonaro::services;

namespace {

core::Text G(const char* utf8) { return core::GbkFromUtf8(utf8); }

constexpr const char* kPagePath = "/gg/diangatai1/index.asp";

// The dedication page as the service host serves it: GBK, its form posting to itself. The
// fields are not in the order the program fills them.
QByteArray DedicationPage() {
  const char* html = R"(<html><head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312"><title>点歌台</title></head>
<body><form method="post" action="/gg/diangatai1/index.asp">
<input type="text" name="beichenghu"><input type="text" name="beiname">
<input type="text" name="geming"><input type="text" name="dizhi">
<textarea name="neirong"></textarea>
<input type="text" name="dianchenghu"><input type="text" name="dianname">
<input type="submit" value="提交留言"></form></body></html>)";
  return QByteArray::fromStdString(G(html));
}

// Decodes application/x-www-form-urlencoded into raw bytes (GBK here) by field name.
std::map<std::string, std::string> ParseForm(const QByteArray& body) {
  std::map<std::string, std::string> fields;
  for (const QByteArray& pair : body.split('&')) {
    const qsizetype eq = pair.indexOf('=');
    if (eq < 0) continue;
    auto decode = [](QByteArray part) {
      part.replace('+', ' ');
      return QByteArray::fromPercentEncoding(part).toStdString();
    };
    fields[decode(pair.left(eq))] = decode(pair.mid(eq + 1));
  }
  return fields;
}

// An HTTP server on 127.0.0.1 in the test's own event loop: it serves the dedication page to
// every GET and POST of its path and keeps what was posted.
class DedicationServer {
 public:
  DedicationServer() {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Read(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      }
    });
  }
  int Port() const { return server_.serverPort(); }
  int Gets() const { return gets_; }
  const std::vector<std::map<std::string, std::string>>& Posts() const { return posts_; }

 private:
  void Read(QTcpSocket* socket) {
    QByteArray& buffer = buffers_[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) return;
    const QByteArray head = buffer.left(end);
    qsizetype length = 0;
    for (const QByteArray& line : head.split('\n')) {
      if (line.toLower().startsWith("content-length:")) length = line.mid(15).trimmed().toLong();
    }
    if (buffer.size() < end + 4 + length) return;
    const QByteArray body = buffer.mid(end + 4, length);
    buffers_.erase(socket);
    const QList<QByteArray> requestLine = head.left(head.indexOf('\r')).split(' ');
    const bool ours = requestLine.size() >= 2 && requestLine[1] == kPagePath;
    if (ours && requestLine[0] == "GET") ++gets_;
    if (ours && requestLine[0] == "POST") posts_.push_back(ParseForm(body));
    const QByteArray page = ours ? DedicationPage() : QByteArray("not here");
    socket->write(QByteArray(ours ? "HTTP/1.0 200 OK\r\n" : "HTTP/1.0 404 Not Found\r\n") +
                  "Content-Type: text/html; charset=GBK\r\nContent-Length: " +
                  QByteArray::number(page.size()) + "\r\nConnection: close\r\n\r\n" + page);
    socket->disconnectFromHost();
  }

  QTcpServer server_;
  std::map<QTcpSocket*, QByteArray> buffers_;
  int gets_ = 0;
  std::vector<std::map<std::string, std::string>> posts_;
};

// Takes the addresses handed to the user's browser.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  std::vector<QUrl> urls;
 public Q_SLOTS:
  void Open(const QUrl& url) { urls.push_back(url); }
};

constexpr uint32_t kBoxes[7] = {ids::request::kEdit1, ids::request::kEdit2, ids::request::kEdit3,
                                ids::request::kEdit4, ids::request::kEdit5, ids::request::kEdit6,
                                ids::request::kEdit7};

class RequestForm : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    assets::Init();
    ASSERT_TRUE(browser::InitBrowserControl());
    ui::InstallCatalogue(app::Catalogue());
  }
  static void TearDownTestSuite() { browser::ShutdownBrowserControl(); }

  void SetUp() override {
    ASSERT_GT(server_.Port(), 0);
    OverrideServiceHostForTesting("127.0.0.1:" + std::to_string(server_.Port()));
  }
  void TearDown() override {
    delete form_.data();
    OverrideServiceHostForTesting("");
  }

  // Opens the form and waits until its hidden browser shows the dedication page's form.
  void Open() {
    const int gets = server_.Gets();
    form_ = ui::LoadWindow(ids::kRequestForm);
    ASSERT_NE(form_.data(), nullptr);
    ASSERT_TRUE(test::WaitUntil([&] { return server_.Gets() > gets; }, 30000));
    ASSERT_TRUE(PageReady());
  }
  bool PageReady() const {
    return test::WaitUntil(
        [&] {
          browser::ScriptObject document;
          QWidget* box = ui::ControlWidget(ids::kRequestForm, ids::request::kBrowser);
          return box && browser::GetDocument(box, &document) &&
                 document.Get("readyState").ToText() == "complete" &&
                 !document.Call("getElementsByName", {core::Text("neirong")})
                      .Object()
                      .Call("item", {0})
                      .Object()
                      .IsEmpty();
        },
        30000);
  }
  bool WaitPosts(size_t count) const {
    return test::WaitUntil([&] { return server_.Posts().size() >= count; }, 30000);
  }

  DedicationServer server_;
  QPointer<QWidget> form_;
};

TEST_F(RequestForm, OpensTheDedicationPageWithoutAScheme) {
  Open();
  EXPECT_EQ(ui::GetText(ids::kRequestForm, ids::request::kBrowser, ui::prop::kAddress),
            "127.0.0.1:" + std::to_string(server_.Port()) + kPagePath);
  EXPECT_FALSE(ui::ControlWidget(ids::kRequestForm, ids::request::kBrowser)->isVisible());
  EXPECT_FALSE(form_->mask().isEmpty()) << "the outline is cut from the picture";
}

TEST_F(RequestForm, SubmitPostsTheSevenBoxesAndEmptiesThem) {
  Open();
  const char* typed[7] = {
      "亲爱的", "小明", "月亮代表我的心", "http://127.0.0.1/a.mp3", "祝你生日快乐！\r\n天天开心",
      "老朋友", "小红"};
  for (int i = 0; i < 7; ++i) ui::SetText(ids::kRequestForm, kBoxes[i], G(typed[i]));

  OnRequestSubmit(ui::Event{});
  for (uint32_t box : kBoxes) EXPECT_EQ(ui::GetText(ids::kRequestForm, box), "");
  ASSERT_TRUE(WaitPosts(1));
  const auto& post = server_.Posts()[0];
  EXPECT_EQ(post.at("beichenghu"), G("亲爱的"));
  EXPECT_EQ(post.at("beiname"), G("小明"));
  EXPECT_EQ(post.at("geming"), G("月亮代表我的心"));
  EXPECT_EQ(post.at("dizhi"), "http://127.0.0.1/a.mp3");
  // A text area sends its line breaks as CR LF.
  EXPECT_EQ(post.at("neirong"), G("祝你生日快乐！\r\n天天开心"));
  EXPECT_EQ(post.at("dianchenghu"), G("老朋友"));
  EXPECT_EQ(post.at("dianname"), G("小红"));

  // The server answered with the page again: a second submission, all boxes empty, sends
  // empty values.
  ASSERT_TRUE(PageReady());
  OnRequestSubmit(ui::Event{});
  ASSERT_TRUE(WaitPosts(2));
  for (const char* field :
       {"beichenghu", "beiname", "geming", "dizhi", "neirong", "dianchenghu", "dianname"}) {
    EXPECT_EQ(server_.Posts()[1].at(field), "") << field;
  }
}

TEST_F(RequestForm, OkSendsAndEmptiesThePressedFormNotTheNewest) {
  Open();
  QPointer<QWidget> older = form_;
  Open();
  auto box = [](QWidget* form, uint32_t unit) { return ui::ControlIn(form, unit); };
  ui::SetWidgetText(box(older, ids::request::kEdit3), G("旧的歌"));
  ui::SetWidgetText(box(form_, ids::request::kEdit3), G("新的歌"));
  auto* ok = qobject_cast<QPushButton*>(box(older, ids::request::kOk));
  ASSERT_NE(ok, nullptr);
  ok->click();
  ASSERT_TRUE(WaitPosts(1));
  EXPECT_EQ(server_.Posts()[0].at("geming"), G("旧的歌"));
  EXPECT_EQ(ui::GetWidgetText(box(older, ids::request::kEdit3)), "");
  EXPECT_EQ(ui::GetWidgetText(box(form_, ids::request::kEdit3)), G("新的歌"));
  delete older.data();
}

TEST_F(RequestForm, CloseDestroysAndReopeningReloadsThePage) {
  Open();
  const int gets = server_.Gets();
  QPointer<QWidget> first = form_;
  ui::RaiseEvent(ids::kRequestForm, ids::request::kClose, ui::kEventClicked);
  EXPECT_FALSE(first->isVisible());
  ASSERT_TRUE(test::WaitUntil([&] { return first.isNull(); }));
  Open();
  EXPECT_EQ(server_.Gets(), gets + 1);
}

// The build's service host with or without a scheme: every address keeps it, and only a bare
// host hands the dedication page over as a user would type it.
TEST(ServiceHostAddresses, KeepTheSchemeTheBuildGave) {
  struct Case {
    const char* configured;
    const char* feed;
    const char* page;
  };
  const Case cases[] = {
      {"radio.example.com", "http://radio.example.com/f", "radio.example.com/p"},
      {"127.0.0.1:8760", "http://127.0.0.1:8760/f", "127.0.0.1:8760/p"},
      {"https://radio.example.com", "https://radio.example.com/f", "https://radio.example.com/p"},
      {"HTTPS://radio.example.com:8443/", "https://radio.example.com:8443/f",
       "https://radio.example.com:8443/p"},
      {"http://[::1]:8760", "http://[::1]:8760/f", "http://[::1]:8760/p"},
  };
  for (const Case& c : cases) {
    OverrideServiceHostForTesting(c.configured);
    EXPECT_EQ(ServiceAddress("/f"), c.feed) << c.configured;
    EXPECT_EQ(DedicationPageAddress("/p"), c.page) << c.configured;
  }
  OverrideServiceHostForTesting("");
}

TEST_F(RequestForm, HelpOpensTheHelpPageAndSubmitWithoutAPageDoesNothingElse) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "Open");
  OnRequestHelp(ui::Event{});
  QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
  ASSERT_EQ(catcher.urls.size(), 1u);
  EXPECT_EQ(catcher.urls[0].toString(), QStringLiteral("http://") +
                                            QString::fromUtf8(config::kHelpHost) +
                                            QStringLiteral("/tessaly/shouyinji/bangzhu/01.html"));

  // The page never loaded (nothing listens there): the boxes are emptied all the same.
  OverrideServiceHostForTesting("127.0.0.1:1");
  form_ = ui::LoadWindow(ids::kRequestForm);
  ui::SetText(ids::kRequestForm, ids::request::kEdit3, G("歌"));
  OnRequestSubmit(ui::Event{});
  EXPECT_EQ(ui::GetText(ids::kRequestForm, ids::request::kEdit3), "");
  EXPECT_TRUE(server_.Posts().empty());
}

}  // namespace

#include "request_form_test.moc"
