// BrowserHost's calls on the window it created: messages, geometry, text, visibility, font,
// focus and owner.
#include "browser/browser_host.h"

#include <QApplication>
#include <QColor>
#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QPalette>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/gbk.h"

namespace sonaro::browser {

namespace {

constexpr int kTextBuffer = 32000;  // ReadText's buffer, its last byte the terminator

}  // namespace

bool BrowserHost::SendMessage(QEvent* event) {
  return window_ && event && QCoreApplication::sendEvent(window_, event);
}

void BrowserHost::Apply() {
  if (!window_) return;
  window_->setGeometry(left_, top_, width_, height_);
  window_->repaint();
}

void BrowserHost::Move(std::optional<int> left, std::optional<int> top, std::optional<int> width,
                       std::optional<int> height) {
  left_ = left.value_or(left_);
  top_ = top.value_or(top_);
  width_ = width.value_or(width_);
  height_ = height.value_or(height_);
  Apply();
}

bool BrowserHost::Disabled(std::optional<bool> value) {
  if (!value) return disabled_ != 0;
  disabled_ = *value ? 1 : 0;
  if (window_) window_->setEnabled(!*value);
  return disabled_ != 0;
}

uint32_t BrowserHost::DefaultBackColour() const {
  const QColor colour = QApplication::palette().color(QPalette::Button);
  return uint32_t(colour.red()) | uint32_t(colour.green()) << 8 | uint32_t(colour.blue()) << 16;
}

core::Text BrowserHost::WindowText(const std::optional<core::Text>& text) {
  if (text && !text->empty() && window_) window_->setWindowTitle(core::FromGbk(*text));
  return window_ ? core::ToGbk(window_->windowTitle()) : core::Text();
}

core::Text BrowserHost::ReadText() const {
  if (!window_) return {};
  core::Text text = core::ToGbk(window_->windowTitle());
  if (text.size() < size_t(kTextBuffer)) return text;
  // Cut to the buffer without leaving half a double-byte character behind.
  size_t keep = 0;
  for (size_t i = 0; i < size_t(kTextBuffer - 1);) {
    const size_t length = static_cast<unsigned char>(text[i]) >= 0x81 ? 2 : 1;
    if (i + length > size_t(kTextBuffer - 1)) break;
    i += length;
    keep = i;
  }
  text.resize(keep);
  return text;
}

core::Text BrowserHost::TextValue(const std::optional<core::Text>& text) {
  if (text) SetText(*text);
  return ReadText();
}

void BrowserHost::SetText(const core::Text& text) {
  if (window_) window_->setWindowTitle(core::FromGbk(text));
}

void BrowserHost::PostMessage(QEvent* event) {
  if (!event) return;
  if (!window_) {
    delete event;
    return;
  }
  QCoreApplication::postEvent(window_, event);
}

int BrowserHost::Width(std::optional<int> value) {
  if (value) Move({}, {}, value, {});
  return width_;
}

int BrowserHost::Height(std::optional<int> value) {
  if (value) Move({}, {}, {}, value);
  return height_;
}

int BrowserHost::Left(std::optional<int> value) {
  if (value) Move(value, {}, {}, {});
  return left_;
}

int BrowserHost::Top(std::optional<int> value) {
  if (value) Move({}, value, {}, {});
  return top_;
}

int BrowserHost::ScreenLeft() const { return window_ ? window_->mapToGlobal(QPoint(0, 0)).x() : 0; }

int BrowserHost::ScreenTop() const { return window_ ? window_->mapToGlobal(QPoint(0, 0)).y() : 0; }

bool BrowserHost::Visible(std::optional<bool> value) {
  if (!window_) return false;
  if (value) {
    window_->setVisible(*value);
    visible_ = *value ? 1 : 0;
    window_->repaint();
  }
  return window_->isVisible();
}

void BrowserHost::SetFont(const core::Text& face, int height, bool bold) {
  if (!window_) return;
  QFont font = window_->font();
  if (!face.empty()) font.setFamily(core::FromGbk(face));
  font.setPixelSize(height > 0 ? height : 12);
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  window_->setFont(font);
}

void BrowserHost::SetPosition(std::optional<int> left, std::optional<int> top,
                              std::optional<int> width, std::optional<int> height) {
  Move(left, top, width, height);
}

void BrowserHost::SetFocus() {
  if (window_) window_->setFocus();
}

bool BrowserHost::HasFocus() const {
  return window_ && QApplication::focusWidget() == window_.data();
}

int BrowserHost::InnerWidth() const { return window_ ? window_->frameGeometry().width() - 4 : -4; }

int BrowserHost::InnerHeight() const {
  return window_ ? window_->frameGeometry().height() - 8 : -8;
}

void BrowserHost::SetOwner(QWidget* window) {
  if (!window_ || !window) return;
  const QRect geometry = window_->geometry();
  const bool shown = !window_->isHidden();
  window_->setParent(window);
  window_->setGeometry(geometry);
  window_->setVisible(shown);
}

}  // namespace sonaro::browser
