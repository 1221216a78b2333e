// Message boxes, the browser, pending messages and background work.
#include "ui/facilities.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <future>
#include <optional>
#include <thread>

#include "core/background.h"
#include "core/webget.h"
#include "support/loopback_server.h"
#include "support/message_recorder.h"

namespace sonaro {
namespace {

core::Text G(const char* utf8) { return core::GbkFromUtf8(utf8); }

TEST(MessageBox, HandsTextStyleAndTitleToTheAnswerer) {
  testing::MessageRecorder recorder({ui::kIdNo, ui::kIdYes});
  EXPECT_EQ(ui::MessageBox(G("要下载吗？"), ui::kMbYesNo, G("是否下载最新版？")), ui::kIdNo);
  EXPECT_EQ(ui::MessageBox(G("系统音量打开失败!"), ui::kMbIconWarning), ui::kIdYes);
  auto shown = recorder.Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, G("要下载吗？"));
  EXPECT_EQ(shown[0].style, ui::kMbYesNo);
  EXPECT_EQ(shown[0].title, G("是否下载最新版？"));
  EXPECT_EQ(shown[1].title, G("信息："));
  // An empty title given is a title, not a missing one.
  ui::MessageBox("x", ui::kMbOk, core::Text());
  EXPECT_EQ(recorder.Shown()[2].title, "");
}

TEST(MessageBox, FromAWorkerThreadAsksOnTheGuiThreadAndWaits) {
  testing::MessageRecorder recorder({ui::kIdYes});
  std::promise<int> answer;
  std::thread worker(
      [&] { answer.set_value(ui::MessageBox(G("下载失败"), ui::kMbIconError, G("更新"))); });
  ASSERT_TRUE(recorder.WaitFor(1));
  worker.join();
  EXPECT_EQ(answer.get_future().get(), ui::kIdYes);
  EXPECT_TRUE(recorder.Shown()[0].onGuiThread);
  EXPECT_EQ(recorder.Shown()[0].text, G("下载失败"));
}

// Clicks, or presses Escape on, the modal box once it shows, after noting how it looks.
struct BoxSeen {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QList<QMessageBox::StandardButton> buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  Qt::WindowModality modality = Qt::NonModal;
  bool hasParent = true;
};

BoxSeen ShowAndAnswer(int style, QMessageBox::StandardButton press, const core::Text& title,
                      bool withTitle = true) {
  BoxSeen seen;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    for (QAbstractButton* b : box->buttons()) seen.buttons.push_back(box->standardButton(b));
    if (box->defaultButton()) seen.defaultButton = box->standardButton(box->defaultButton());
    seen.modality = box->windowModality();
    seen.hasParent = box->parentWidget() != nullptr;
    if (press == QMessageBox::NoButton) {
      box->reject();
    } else {
      box->button(press)->click();
    }
  });
  int result =
      withTitle ? ui::MessageBox(G("正文"), style, title) : ui::MessageBox(G("正文"), style);
  seen.text += QString(" -> %1").arg(result);
  return seen;
}

TEST(MessageBox, ShowsARealBoxWithTheStylesButtonsAndIcon) {
  using B = QMessageBox;
  BoxSeen yesNo = ShowAndAnswer(ui::kMbYesNo, B::No, G("是否下载最新版？"));
  EXPECT_EQ(yesNo.title, QString::fromUtf8("是否下载最新版？"));
  EXPECT_EQ(yesNo.text, QString::fromUtf8("正文 -> 6"));
  EXPECT_EQ(yesNo.icon, B::NoIcon);
  EXPECT_EQ(yesNo.buttons.size(), 2);
  EXPECT_TRUE(yesNo.buttons.contains(B::Yes) && yesNo.buttons.contains(B::No));
  EXPECT_EQ(yesNo.defaultButton, B::Yes);
  EXPECT_EQ(yesNo.modality, Qt::ApplicationModal);
  EXPECT_FALSE(yesNo.hasParent);

  EXPECT_EQ(ShowAndAnswer(ui::kMbYesNo, B::Yes, "t").text, QString::fromUtf8("正文 -> 5"));

  BoxSeen error = ShowAndAnswer(ui::kMbIconError, B::Ok, "t", false);
  EXPECT_EQ(error.title, QString::fromUtf8("信息："));
  EXPECT_EQ(error.icon, B::Critical);
  EXPECT_EQ(error.buttons, QList<B::StandardButton>{B::Ok});
  EXPECT_EQ(error.text, QString::fromUtf8("正文 -> 0"));

  BoxSeen warning = ShowAndAnswer(ui::kMbIconWarning, B::Ok, "t");
  EXPECT_EQ(warning.icon, B::Warning);
  EXPECT_EQ(warning.buttons, QList<B::StandardButton>{B::Ok});

  EXPECT_EQ(ShowAndAnswer(ui::kMbOk, B::Ok, "t").icon, B::NoIcon);
  EXPECT_EQ(ShowAndAnswer(ui::kMbOkCancel, B::Cancel, "t").text, QString::fromUtf8("正文 -> 1"));
  EXPECT_EQ(ShowAndAnswer(ui::kMbAbortRetryIgnore, B::Abort, "t").text,
            QString::fromUtf8("正文 -> 2"));
  EXPECT_EQ(ShowAndAnswer(ui::kMbAbortRetryIgnore, B::Retry, "t").text,
            QString::fromUtf8("正文 -> 3"));
  EXPECT_EQ(ShowAndAnswer(ui::kMbAbortRetryIgnore, B::Ignore, "t").text,
            QString::fromUtf8("正文 -> 4"));
}

TEST(MessageBox, ClosingTheBoxCountsAsNoOrOk) {
  using B = QMessageBox;
  EXPECT_EQ(ShowAndAnswer(ui::kMbYesNo, B::NoButton, "t").text, QString::fromUtf8("正文 -> 6"));
  EXPECT_EQ(ShowAndAnswer(ui::kMbOk, B::NoButton, "t").text, QString::fromUtf8("正文 -> 0"));
  EXPECT_EQ(ShowAndAnswer(ui::kMbYesNoCancel, B::NoButton, "t").text,
            QString::fromUtf8("正文 -> 1"));
}

class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public Q_SLOTS:
  void Open(const QUrl& url) { opened.push_back(url); }
};

TEST(OpenInBrowser, HandsTheAddressToTheDesktop) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("http", &catcher, "Open");
  ui::OpenInBrowser("http://example.invalid/download.html?v=2.1");
  std::thread worker([] { ui::OpenInBrowser("http://example.invalid/from-worker"); });
  worker.join();
  ui::LetPendingMessagesRun();
  QDesktopServices::unsetUrlHandler("http");
  ASSERT_EQ(catcher.opened.size(), 2);
  EXPECT_EQ(catcher.opened[0], QUrl("http://example.invalid/download.html?v=2.1"));
  EXPECT_EQ(catcher.opened[1], QUrl("http://example.invalid/from-worker"));
}

TEST(OpenInBrowser, OpensOnlyWebAddresses) {
  UrlCatcher catcher;
  for (const char* scheme : {"https", "ftp", "mailto", "sonaro"}) {
    QDesktopServices::setUrlHandler(scheme, &catcher, "Open");
  }
  ui::OpenInBrowser("HTTPS://example.invalid/a");
  ui::OpenInBrowser("ftp://example.invalid/setup.exe");
  ui::OpenInBrowser("mailto:someone@example.invalid");
  ui::OpenInBrowser("sonaro:run");
  ui::OpenInBrowser("");
  for (const char* scheme : {"https", "ftp", "mailto", "sonaro"}) {
    QDesktopServices::unsetUrlHandler(scheme);
  }
  ASSERT_EQ(catcher.opened.size(), 1);
  EXPECT_EQ(catcher.opened[0], QUrl("https://example.invalid/a"));
}

TEST(LetPendingMessagesRun, RunsWhatIsWaitingAndReturns) {
  int ran = 0;
  QMetaObject::invokeMethod(
      qApp, [&] { ++ran; }, Qt::QueuedConnection);
  QMetaObject::invokeMethod(
      qApp, [&] { ++ran; }, Qt::QueuedConnection);
  EXPECT_EQ(ran, 0);
  ui::LetPendingMessagesRun();
  EXPECT_EQ(ran, 2);
  ui::LetPendingMessagesRun();
  EXPECT_EQ(ran, 2);
}

TEST(RunInBackground, WorksOffTheGuiThreadAndAnswersOnItWhileTheContextLives) {
  const auto gui = std::this_thread::get_id();
  std::thread::id worker;
  std::optional<std::thread::id> answeredOn;
  QObject context;
  core::RunInBackground(
      &context, [&] { return worker = std::this_thread::get_id(), 42; },
      [&](int result) { answeredOn = result == 42 ? std::this_thread::get_id() : gui; });
  EXPECT_FALSE(answeredOn);  // never before the call returns
  ASSERT_TRUE(QTest::qWaitFor([&] { return answeredOn.has_value(); }, 30000));
  EXPECT_NE(worker, gui);
  EXPECT_EQ(*answeredOn, gui);

  // A context gone before the answer: the work runs, the answer is dropped.
  auto gone = std::make_unique<QObject>();
  std::promise<void> worked;
  bool answered = false;
  core::RunInBackground(
      gone.get(), [&] { return worked.set_value(), 0; }, [&](int) { answered = true; });
  worked.get_future().wait();
  gone.reset();
  QTest::qWait(200);
  EXPECT_FALSE(answered);
}

TEST(RunInBackground, StoppingEndsAFetchFromASilentHostAtOnceAndDropsItsAnswer) {
  testing::LoopbackServer silent([](const std::string&) { return std::nullopt; });
  QObject context;
  bool answered = false;
  core::RunInBackground(
      &context, [&] { return core::WebGet(silent.Url("/"), core::PageFetchOptions()); },
      [&](const core::Bytes&) { answered = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return !silent.Requests().empty(); }, 10000));
  QElapsedTimer timer;
  timer.start();
  core::StopBackgroundWork();  // the fetch alone would wait 60 s
  EXPECT_LT(timer.elapsed(), 5000);
  QTest::qWait(100);
  EXPECT_FALSE(answered);
  EXPECT_EQ(core::WebGet(silent.Url("/"), core::PageFetchOptions()),
            "");  // later fetches fail at once
  core::AllowBackgroundWork();
}

}  // namespace
}  // namespace sonaro

#include "facilities_test.moc"
