#include "skin/transparent.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QToolBar>
#include <algorithm>
#include <vector>

#include "ui/picture.h"
#include "ui/props.h"
#include "ui/window_system.h"
#include "ui/winproc.h"

namespace sonaro::skin {

namespace {

constexpr const char* kOrigProc = "OrigProcAddr";
constexpr const char* kBrush = "CustomBGBrush";
constexpr const char* kClassName = "sonaro_className";
constexpr const char* kInset = "sonaro_backgroundInset";

struct ColourRecord {
  QPointer<QWidget> window;
  ui::Colour colour;
};

struct State {
  bool registered = false;
  quintptr module = 0;
  ui::WndProc savedClassProcs[3] = {nullptr, nullptr, nullptr};  // BUTTON, Static, Toolbar
  std::vector<ColourRecord> colours;
  QByteArray picture;  // the picture last passed to MakeTransparent
  std::vector<QPointer<QWidget>> readOnly;
};

State& S() {
  static State state;
  return state;
}

QColor ButtonFace() { return QApplication::palette().color(QPalette::Button); }

QColor ColourOf(const QWidget* window) {
  for (const ColourRecord& record : S().colours) {
    if (record.window == window) return ui::ToQColor(record.colour);
  }
  return ButtonFace();
}

// Recoloured procedures: fill with the window's colour, then the class's own painting.
bool Recoloured(int entry, QWidget* window, QEvent* event) {
  if (event->type() == QEvent::Paint) {
    QPainter painter(window);
    painter.fillRect(QRect(0, 0, window->width(), window->height()), ColourOf(window));
  }
  return ui::CallWindowProc(S().savedClassProcs[entry], window, event);
}
bool RecolouredButton(QWidget* w, QEvent* e) { return Recoloured(0, w, e); }
bool RecolouredStatic(QWidget* w, QEvent* e) { return Recoloured(1, w, e); }
bool RecolouredToolbar(QWidget* w, QEvent* e) { return Recoloured(2, w, e); }

bool InReadOnlyList(const QWidget* box) {
  return std::any_of(S().readOnly.begin(), S().readOnly.end(),
                     [box](const QPointer<QWidget>& p) { return p == box; });
}

// Typing, deleting, cutting and pasting: everything that would change a read-only box.
bool ChangesText(QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) return false;
      return !key->text().isEmpty() || key->key() == Qt::Key_Delete ||
             key->key() == Qt::Key_Backspace || key->matches(QKeySequence::Paste) ||
             key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Undo) ||
             key->matches(QKeySequence::Redo);
    }
    case QEvent::InputMethod:
    case QEvent::Drop:
    case QEvent::DragEnter:
    case QEvent::DragMove:
      return true;
    default:
      return false;
  }
}

void ReadOnlyContextMenu(QWidget* box, QContextMenuEvent* event) {
  QMenu* menu = nullptr;
  if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) menu = plain->createStandardContextMenu();
  if (auto* line = qobject_cast<QLineEdit*>(box)) menu = line->createStandardContextMenu();
  if (!menu) return;
  for (QAction* action : menu->actions()) {
    const QString name = action->objectName();
    if (name != QLatin1String("edit-copy") && name != QLatin1String("select-all") &&
        !action->isSeparator()) {
      action->setEnabled(false);
    }
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

bool TransparentControl(QWidget* box, QEvent* event) {
  const ui::WndProc previous = ui::ValueToProc(quintptr(ui::GetPropInt(box, kOrigProc)));
  ui::HookBase* hook = ui::Hook(box);
  if (!previous) return ui::DefaultProc(box, event);

  if (InReadOnlyList(box)) {
    if (ChangesText(event)) {
      event->accept();
      return true;
    }
    if (event->type() == QEvent::ContextMenu) {
      ReadOnlyContextMenu(box, static_cast<QContextMenuEvent*>(event));
      return true;
    }
  }
  // The background: the client area shows the picture behind it, then the text is drawn.
  const bool viewportPaint = hook && hook->InViewport() && event->type() == QEvent::Paint;
  const bool ownPaint = !hook || !hook->Viewport() ? event->type() == QEvent::Paint : false;
  if ((viewportPaint || ownPaint) && ui::HasProp(box, kBrush)) {
    const QImage background = ui::GetProp(box, kBrush).value<QImage>();
    QWidget* surface = viewportPaint ? hook->Viewport() : box;
    const int inset = int(ui::GetPropInt(box, kInset));
    QPainter painter(surface);
    painter.drawImage(inset, inset, background);
  }
  if (event->type() == ui::DestroyEventType()) {
    ui::RemoveProp(box, kOrigProc);
    ui::RemoveProp(box, kBrush);
    ui::SetWindowProc(box, previous);
  }
  return ui::CallWindowProc(previous, box, event);
}

bool TransparentParent(QWidget* window, QEvent* event) {
  const ui::WndProc previous = ui::ValueToProc(quintptr(ui::GetPropInt(window, kOrigProc)));
  if (!previous) return ui::DefaultProc(window, event);
  if (event->type() == ui::DestroyEventType()) {
    S().readOnly.clear();
    ui::SetWindowProc(window, previous);
    const bool result = ui::CallWindowProc(previous, window, event);
    ui::RemoveProp(window, kOrigProc);
    return result;
  }
  return ui::CallWindowProc(previous, window, event);
}

// The box draws no frame and no fill of its own: its client area, which the background was cut
// for, starts inset pixels in, and whatever the background leaves shows the window beneath.
void PrepareSurface(QWidget* box) {
  if (auto* area = qobject_cast<QAbstractScrollArea*>(box)) {
    area->setFrameShape(QFrame::NoFrame);
    area->viewport()->setAutoFillBackground(false);
    QPalette palette = area->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    area->setPalette(palette);
    // Scrolling repaints the whole box at once, so the picture does not scroll with the text.
    for (QScrollBar* bar : {area->verticalScrollBar(), area->horizontalScrollBar()}) {
      QObject::connect(
          bar, &QScrollBar::valueChanged, area->viewport(),
          [viewport = area->viewport()] { viewport->repaint(); }, Qt::UniqueConnection);
    }
  } else if (auto* line = qobject_cast<QLineEdit*>(box)) {
    line->setFrame(false);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    line->setPalette(palette);
  }
}

}  // namespace

void RegisterRecolouredClasses() {
  static const char anchor = 0;
  S().module = reinterpret_cast<quintptr>(&anchor);
  // Each superclass keeps the procedure its system class has, and forwards to it.
  for (ui::WndProc& saved : S().savedClassProcs) saved = &ui::DefaultProc;
  S().registered = true;
}

bool RecolouredClassesRegistered() { return S().registered; }

quintptr ModuleHandle() { return S().module; }

QWidget* CreateRecolouredControl(const char* className, QWidget* parent) {
  if (!S().registered || !className) return nullptr;
  const QString name = QString::fromLatin1(className);
  QWidget* widget = nullptr;
  ui::WndProc proc = nullptr;
  if (name == QLatin1String("mybut")) {
    widget = new ui::Hooked<QPushButton>(parent);
    proc = &RecolouredButton;
  } else if (name == QLatin1String("MySt")) {
    auto* label = new ui::Hooked<QLabel>(parent);
    label->setTextFormat(Qt::PlainText);  // texts come from outside: never markup
    widget = label;
    proc = &RecolouredStatic;
  } else if (name == QLatin1String("MyTool")) {
    widget = new ui::Hooked<QToolBar>(parent);
    proc = &RecolouredToolbar;
  } else {
    return nullptr;
  }
  widget->setProperty(kClassName, name);
  ui::SetWindowProc(widget, proc);
  return widget;
}

void SetRecolouredColour(QWidget* window, ui::Colour colour) {
  for (ColourRecord& record : S().colours) {
    if (record.window == window) {
      record.colour = colour;
      return;
    }
  }
  S().colours.push_back({window, colour});
}

int InsetForBorderStyle(int code) {
  switch (code) {
    case 1:
      return 2;
    case 2:
      return 3;
    case 3:
      return 1;
    case 4:
      return 5;
    case 5:
      return 1;
    default:
      return 0;
  }
}

QImage BuildBackground(const QByteArray& picture, int x, int y, int w, int h) {
  if (w <= 0 || h <= 0) return {};
  QImage background(w, h, QImage::Format_ARGB32_Premultiplied);
  background.fill(ButtonFace());
  const QImage decoded = ui::DecodePicture(picture);
  if (!decoded.isNull()) {
    QPainter painter(&background);
    painter.drawImage(QPoint(0, 0), decoded, QRect(x, y, w, h));
  }
  return background;
}

bool IsReadOnlyTransparent(const QWidget* box) { return InReadOnlyList(box); }

void MakeTransparent(uint32_t windowId, uint32_t unitId, const QByteArray& picture,
                     std::optional<bool> readOnly) {
  QWidget* box = ui::ControlWidget(windowId, unitId);
  if (!box || !box->parentWidget()) return;
  S().picture = picture;

  // The background, taken from the catalogue's geometry and border style.
  const int inset = InsetForBorderStyle(ui::GetInt(windowId, unitId, ui::prop::kBorderStyle));
  const int w = ui::GetInt(windowId, unitId, ui::prop::kWidth) + inset;
  const int h = ui::GetInt(windowId, unitId, ui::prop::kHeight) + inset;
  const int x = ui::GetInt(windowId, unitId, ui::prop::kLeft) + inset;
  const int y = ui::GetInt(windowId, unitId, ui::prop::kTop) + inset;
  ui::SetProp(box, kBrush, QVariant::fromValue(BuildBackground(S().picture, x, y, w, h)));
  PrepareSurface(box);
  ui::SetProp(box, kInset, inset);

  QWidget* parent = box->parentWidget();
  if (!ui::HasProp(parent, kOrigProc)) {
    const ui::WndProc previous = ui::SetWindowProc(parent, &TransparentParent);
    if (previous)
      ui::SetProp(parent, kOrigProc, QVariant::fromValue(quint64(ui::ProcToValue(previous))));
  }
  if (!ui::HasProp(box, kOrigProc)) {
    const ui::WndProc previous = ui::SetWindowProc(box, &TransparentControl);
    if (previous) {
      ui::SetProp(box, kOrigProc, QVariant::fromValue(quint64(ui::ProcToValue(previous))));
      if (readOnly.value_or(false)) S().readOnly.push_back(box);
    }
  }
  // Hide and show again, so the box repaints with its new background.
  ui::SetProperty(windowId, unitId, ui::prop::kVisible, false);
  ui::SetProperty(windowId, unitId, ui::prop::kVisible, true);
}

}  // namespace sonaro::skin
