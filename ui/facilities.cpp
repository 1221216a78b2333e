#include "ui/facilities.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <QUrl>
#include <mutex>
#include <utility>

namespace sonaro::ui {
namespace {

std::mutex answererMutex;
MessageAnswerer answerer;

bool OnGuiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return !app || QThread::currentThread() == app->thread();
}

// The result of a box closed without a button: what Escape chooses.
int ClosedResult(int style) {
  switch (style & 0x0F) {
    case kMbOkCancel:
    case kMbYesNoCancel:
    case kMbRetryCancel:
      return kIdCancel;
    case kMbAbortRetryIgnore:
      return kIdAbort;
    case kMbYesNo:
      return kIdNo;
    default:
      return kIdOk;
  }
}

int ResultOf(QMessageBox::StandardButton button, int style) {
  switch (button) {
    case QMessageBox::Ok:
      return kIdOk;
    case QMessageBox::Cancel:
      return kIdCancel;
    case QMessageBox::Abort:
      return kIdAbort;
    case QMessageBox::Retry:
      return kIdRetry;
    case QMessageBox::Ignore:
      return kIdIgnore;
    case QMessageBox::Yes:
      return kIdYes;
    case QMessageBox::No:
      return kIdNo;
    default:
      return ClosedResult(style);
  }
}

int ShowBox(const core::Text& text, int style, const core::Text& title) {
  MessageAnswerer answer;
  {
    std::lock_guard lock(answererMutex);
    answer = answerer;
  }
  if (answer) return answer(text, style, title);
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return ClosedResult(style);

  using B = QMessageBox;
  // The buttons in their fixed order; the first is the default, as Enter chooses it.
  QList<B::StandardButton> buttons;
  switch (style & 0x0F) {
    case kMbOkCancel:
      buttons = {B::Ok, B::Cancel};
      break;
    case kMbAbortRetryIgnore:
      buttons = {B::Abort, B::Retry, B::Ignore};
      break;
    case kMbYesNoCancel:
      buttons = {B::Yes, B::No, B::Cancel};
      break;
    case kMbYesNo:
      buttons = {B::Yes, B::No};
      break;
    case kMbRetryCancel:
      buttons = {B::Retry, B::Cancel};
      break;
    default:
      buttons = {B::Ok};
      break;
  }
  B::Icon icon = B::NoIcon;
  switch (style & 0xF0) {
    case kMbIconError:
      icon = B::Critical;
      break;
    case kMbIconQuestion:
      icon = B::Question;
      break;
    case kMbIconWarning:
      icon = B::Warning;
      break;
    case kMbIconInformation:
      icon = B::Information;
      break;
    default:
      break;
  }

  // No owner, and every other window of the program waits for it.
  QMessageBox box(icon, core::FromGbk(title), core::FromGbk(text));
  box.setWindowModality(Qt::ApplicationModal);
  box.setTextFormat(Qt::PlainText);  // texts may come from a server: never markup
  B::StandardButtons set;
  for (B::StandardButton b : buttons) set |= b;
  box.setStandardButtons(set);
  box.setDefaultButton(buttons.front());
  box.exec();
  return ResultOf(box.standardButton(box.clickedButton()), style);
}

}  // namespace

int MessageBox(const core::Text& text, int style, const std::optional<core::Text>& title) {
  static const core::Text kDefaultTitle = core::GbkFromUtf8("信息：");
  const core::Text& shown = title ? *title : kDefaultTitle;
  if (OnGuiThread()) return ShowBox(text, style, shown);
  int result = ClosedResult(style);
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&] { return ShowBox(text, style, shown); },
      Qt::BlockingQueuedConnection, &result);
  return result;
}

void SetMessageAnswerer(MessageAnswerer answer) {
  std::lock_guard lock(answererMutex);
  answerer = std::move(answer);
}

void OpenInBrowser(const core::Text& address) {
  QUrl url(core::FromGbk(address), QUrl::TolerantMode);
  // Addresses come from the web host's pages: only web pages are handed on, never a local file
  // or program the desktop would open.
  QString scheme = url.scheme().toLower();
  if (scheme != "http" && scheme != "https") return;
  if (OnGuiThread()) {
    QDesktopServices::openUrl(url);
  } else {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [url] { QDesktopServices::openUrl(url); },
        Qt::QueuedConnection);
  }
}

void LetPendingMessagesRun() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

}  // namespace sonaro::ui
