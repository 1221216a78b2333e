// Message boxes, the browser, pending messages and worker threads.
#include "services/facilities.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <future>
#include <thread>

#include "services/message_recorder.h"

namespace sonaro {
namespace {

Text G(const char* utf8) { return GbkFromUtf8(utf8); }

TEST(MessageBox, HandsTextStyleAndTitleToTheAnswerer) {
  testing::MessageRecorder recorder({kIdNo, kIdYes});
  EXPECT_EQ(MessageBox(G("要下载吗？"), kMbYesNo, G("是否下载最新版？")), kIdNo);
  EXPECT_EQ(MessageBox(G("系统音量打开失败!"), kMbIconWarning), kIdYes);
  auto shown = recorder.Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, G("要下载吗？"));
  EXPECT_EQ(shown[0].style, kMbYesNo);
  EXPECT_EQ(shown[0].title, G("是否下载最新版？"));
  EXPECT_EQ(shown[1].title, G("信息："));
  // An empty title given is a title, not a missing one.
  MessageBox("x", kMbOk, Text());
  EXPECT_EQ(recorder.Shown()[2].title, "");
}

TEST(MessageBox, FromAWorkerThreadAsksOnTheGuiThreadAndWaits) {
  testing::MessageRecorder recorder({kIdYes});
  std::promise<int> answer;
  std::thread worker([&] { answer.set_value(MessageBox(G("下载失败"), kMbIconError, G("更新"))); });
  ASSERT_TRUE(recorder.WaitFor(1));
  worker.join();
  EXPECT_EQ(answer.get_future().get(), kIdYes);
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

BoxSeen ShowAndAnswer(int style, QMessageBox::StandardButton press, const Text& title,
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
  int result = withTitle ? MessageBox(G("正文"), style, title) : MessageBox(G("正文"), style);
  seen.text += QString(" -> %1").arg(result);
  return seen;
}

TEST(MessageBox, ShowsARealBoxWithTheStylesButtonsAndIcon) {
  using B = QMessageBox;
  BoxSeen yesNo = ShowAndAnswer(kMbYesNo, B::No, G("是否下载最新版？"));
  EXPECT_EQ(yesNo.title, QString::fromUtf8("是否下载最新版？"));
  EXPECT_EQ(yesNo.text, QString::fromUtf8("正文 -> 6"));
  EXPECT_EQ(yesNo.icon, B::NoIcon);
  EXPECT_EQ(yesNo.buttons.size(), 2);
  EXPECT_TRUE(yesNo.buttons.contains(B::Yes) && yesNo.buttons.contains(B::No));
  EXPECT_EQ(yesNo.defaultButton, B::Yes);
  EXPECT_EQ(yesNo.modality, Qt::ApplicationModal);
  EXPECT_FALSE(yesNo.hasParent);

  EXPECT_EQ(ShowAndAnswer(kMbYesNo, B::Yes, "t").text, QString::fromUtf8("正文 -> 5"));

  BoxSeen error = ShowAndAnswer(kMbIconError, B::Ok, "t", false);
  EXPECT_EQ(error.title, QString::fromUtf8("信息："));
  EXPECT_EQ(error.icon, B::Critical);
  EXPECT_EQ(error.buttons, QList<B::StandardButton>{B::Ok});
  EXPECT_EQ(error.text, QString::fromUtf8("正文 -> 0"));

  BoxSeen warning = ShowAndAnswer(kMbIconWarning, B::Ok, "t");
  EXPECT_EQ(warning.icon, B::Warning);
  EXPECT_EQ(warning.buttons, QList<B::StandardButton>{B::Ok});

  EXPECT_EQ(ShowAndAnswer(kMbOk, B::Ok, "t").icon, B::NoIcon);
  EXPECT_EQ(ShowAndAnswer(kMbOkCancel, B::Cancel, "t").text, QString::fromUtf8("正文 -> 1"));
  EXPECT_EQ(ShowAndAnswer(kMbAbortRetryIgnore, B::Abort, "t").text, QString::fromUtf8("正文 -> 2"));
  EXPECT_EQ(ShowAndAnswer(kMbAbortRetryIgnore, B::Retry, "t").text, QString::fromUtf8("正文 -> 3"));
  EXPECT_EQ(ShowAndAnswer(kMbAbortRetryIgnore, B::Ignore, "t").text,
            QString::fromUtf8("正文 -> 4"));
}

TEST(MessageBox, ClosingTheBoxCountsAsNoOrOk) {
  using B = QMessageBox;
  EXPECT_EQ(ShowAndAnswer(kMbYesNo, B::NoButton, "t").text, QString::fromUtf8("正文 -> 6"));
  EXPECT_EQ(ShowAndAnswer(kMbOk, B::NoButton, "t").text, QString::fromUtf8("正文 -> 0"));
  EXPECT_EQ(ShowAndAnswer(kMbYesNoCancel, B::NoButton, "t").text, QString::fromUtf8("正文 -> 1"));
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
  OpenInBrowser("http://example.invalid/download.html?v=2.1");
  std::thread worker([] { OpenInBrowser("http://example.invalid/from-worker"); });
  worker.join();
  LetPendingMessagesRun();
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
  OpenInBrowser("HTTPS://example.invalid/a");
  OpenInBrowser("ftp://example.invalid/setup.exe");
  OpenInBrowser("mailto:someone@example.invalid");
  OpenInBrowser("sonaro:run");
  OpenInBrowser("");
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
  LetPendingMessagesRun();
  EXPECT_EQ(ran, 2);
  LetPendingMessagesRun();
  EXPECT_EQ(ran, 2);
}

TEST(StartWorkerThread, RunsTheRoutineOnAnotherThread) {
  // The thread is detached: it owns what it touches.
  auto ran = std::make_shared<std::promise<std::thread::id>>();
  auto future = ran->get_future();
  EXPECT_TRUE(StartWorkerThread([ran] { ran->set_value(std::this_thread::get_id()); }));
  ASSERT_EQ(future.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  EXPECT_NE(future.get(), std::this_thread::get_id());
  EXPECT_FALSE(StartWorkerThread(nullptr));
}

}  // namespace
}  // namespace sonaro

#include "facilities_test.moc"
