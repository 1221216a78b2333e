// Facilities that need the GUI: message boxes, the user's browser, pending messages.
#pragma once

#include <functional>
#include <optional>

#include "core/gbk.h"

namespace sonaro::ui {

// Message box styles: the buttons in the low four bits, the icon above them.
inline constexpr int kMbOk = 0;
inline constexpr int kMbOkCancel = 1;
inline constexpr int kMbAbortRetryIgnore = 2;
inline constexpr int kMbYesNoCancel = 3;
inline constexpr int kMbYesNo = 4;
inline constexpr int kMbRetryCancel = 5;
inline constexpr int kMbIconError = 16;
inline constexpr int kMbIconQuestion = 32;
inline constexpr int kMbIconWarning = 48;
inline constexpr int kMbIconInformation = 64;

// Message box results: the button the user chose.
inline constexpr int kIdOk = 0;
inline constexpr int kIdCancel = 1;
inline constexpr int kIdAbort = 2;
inline constexpr int kIdRetry = 3;
inline constexpr int kIdIgnore = 4;
inline constexpr int kIdYes = 5;
inline constexpr int kIdNo = 6;

// Shows a modal message box without owner and gives the button chosen. Without a title the
// title is "信息：". Closing the box counts as Cancel, or as No where there is no Cancel, or as
// the only button. Callable from any thread: off the GUI thread it waits for the GUI thread to
// show the box.
int MessageBox(const core::Text& text, int style,
               const std::optional<core::Text>& title = std::nullopt);

// Answers every message box instead of the user, on the GUI thread, given the text, style and
// the title actually used; an empty answerer brings the real box back.
using MessageAnswerer =
    std::function<int(const core::Text& text, int style, const core::Text& title)>;
void SetMessageAnswerer(MessageAnswerer answerer);

// Asks the desktop to open address in the user's browser; nothing is reported back. Only http
// and https addresses are opened.
void OpenInBrowser(const core::Text& address);

// Runs the events waiting for the calling thread, then returns.
void LetPendingMessagesRun();

}  // namespace sonaro::ui
