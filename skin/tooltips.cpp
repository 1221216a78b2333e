#include "skin/tooltips.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <map>

#include "skin/props.h"
#include "skin/skin_control.h"
#include "ui/props.h"

namespace sonaro::skin {

namespace {

// How long a shown tip stays (the system's default: ten double-click times).
constexpr int kAutoPopMs = 5000;

// The shared "tooltips_class32" window: a tip label plus the tools registered with it.
class ToolTipWindow : public QLabel {
 public:
  ToolTipWindow()
      : QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("tooltips_class32"));
    setForegroundRole(QPalette::ToolTipText);
    setBackgroundRole(QPalette::ToolTipBase);
    setPalette(QPalette(QPalette::ToolTipBase, QPalette::ToolTipBase));
    setAutoFillBackground(true);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setMargin(2);
    setTextFormat(Qt::PlainText);
    setMaximumWidth(kToolTipMaxWidth);
    hideTimer_.setSingleShot(true);
    QObject::connect(&hideTimer_, &QTimer::timeout, this, [this] { HideTip(); });
  }

  struct Tool {
    QString text;
    bool centre = false;
    QRect rect;  // client rectangle of the control at registration
    int registrations = 0;
  };

  void AddTool(QWidget* control, const QString& text, bool centre) {
    Tool& tool = tools_[control];
    tool.text = text;
    tool.centre = centre;
    tool.rect = control->rect();
    ++tool.registrations;
    control->installEventFilter(this);
    QObject::connect(control, &QObject::destroyed, this, [this, control] {
      tools_.erase(control);
      if (shownFor_ == control) HideTip();
    });
  }

  void UpdateTipText(QWidget* control, const QString& text) {
    auto it = tools_.find(control);
    if (it == tools_.end()) return;
    it->second.text = text;
    if (shownFor_ == control && isVisible()) ShowTip(control, lastGlobal_);
  }

  const Tool* FindTool(const QWidget* control) const {
    auto it = tools_.find(const_cast<QWidget*>(control));
    return it == tools_.end() ? nullptr : &it->second;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* control = qobject_cast<QWidget*>(watched);
    if (!control || !tools_.count(control)) return false;
    switch (event->type()) {
      case QEvent::ToolTip: {
        auto* help = static_cast<QHelpEvent*>(event);
        if (!tools_[control].rect.contains(help->pos())) return false;
        ShowTip(control, help->globalPos());
        return true;
      }
      case QEvent::Leave:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel:
      case QEvent::KeyPress:
      case QEvent::Hide:
        if (shownFor_ == control) HideTip();
        return false;
      default:
        return false;
    }
  }

 private:
  void ShowTip(QWidget* control, const QPoint& global) {
    const Tool& tool = tools_[control];
    setText(tool.text);
    // One line as wide as the text needs, wrapped at the maximum tip width.
    setMinimumSize(0, 0);
    setWordWrap(false);
    QSize size = sizeHint();
    if (size.width() > kToolTipMaxWidth) {
      setWordWrap(true);
      size = QSize(kToolTipMaxWidth, heightForWidth(kToolTipMaxWidth));
    }
    resize(size);
    const int width = size.width();
    QPoint at;
    if (tool.centre) {
      const QRect area(control->mapToGlobal(tool.rect.topLeft()), tool.rect.size());
      at = QPoint(area.left() + (area.width() - width) / 2, area.bottom() + 1);
    } else {
      at = global + QPoint(2, 16);  // below the pointer
    }
    if (QScreen* screen = QGuiApplication::screenAt(global)) {
      const QRect bounds = screen->geometry();
      at.setX(std::max(bounds.left(), std::min(at.x(), bounds.right() + 1 - width)));
      at.setY(std::max(bounds.top(), std::min(at.y(), bounds.bottom() + 1 - height())));
    }
    move(at);
    shownFor_ = control;
    lastGlobal_ = global;
    show();
    raise();
    hideTimer_.start(kAutoPopMs);
  }

  void HideTip() {
    hideTimer_.stop();
    shownFor_ = nullptr;
    hide();
  }

  std::map<QWidget*, Tool> tools_;
  QPointer<QWidget> shownFor_;
  QPoint lastGlobal_;
  QTimer hideTimer_;
};

QPointer<ToolTipWindow>& Shared() {
  static QPointer<ToolTipWindow> window;
  return window;
}

// The window lives as long as the application.
void DestroySharedToolTip() { delete Shared().data(); }

ToolTipWindow* EnsureShared() {
  if (!Shared()) {
    Shared() = new ToolTipWindow;
    static const bool registered = (qAddPostRoutine(&DestroySharedToolTip), true);
    (void)registered;
  }
  return Shared().data();
}

}  // namespace

void SkinControl::SetToolTip(const core::Text& text, std::optional<bool> atCursor) {
  // 1. The shared tooltip window, wrapping at 1024 pixels.
  ToolTipWindow* tips = EnsureShared();
  QWidget* control = handle_.data();
  if (!control) return;
  if (!GetProperty(prop::kToolTips).toLongLong()) {
    // 2. Register the control as a tool; centred below it when atCursor is given as false.
    SetProperty(prop::kToolTips, 1);
    tips->AddTool(control, core::FromGbk(text), atCursor.has_value() && !*atCursor);
  } else {
    // 3. Only the text of the existing tool changes.
    tips->UpdateTipText(control, core::FromGbk(text));
  }
}

QWidget* SharedToolTipWindow() { return Shared().data(); }

int ToolTipToolCount(const QWidget* control) {
  const ToolTipWindow::Tool* tool = Shared() ? Shared()->FindTool(control) : nullptr;
  return tool ? tool->registrations : 0;
}

QString ToolTipText(const QWidget* control) {
  const ToolTipWindow::Tool* tool = Shared() ? Shared()->FindTool(control) : nullptr;
  return tool ? tool->text : QString();
}

}  // namespace sonaro::skin
