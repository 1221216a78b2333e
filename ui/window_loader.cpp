// The catalogue loader: builds a catalogue window and its controls, and keeps the catalogue and
// the factories of controls other subsystems realise.
#include "ui/window_system.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "ui/catalogue_types.h"
#include "ui/event.h"
#include "ui/picture.h"
#include "ui/widgets.h"
#include "ui/window_system_internal.h"
#include "ui/winproc.h"

namespace sonaro::ui {

using internal::kBorderStyleProperty;
using internal::LiveWindows;
using internal::MakeEvent;

namespace {

std::span<const WindowSpec> g_catalogue;
std::map<Kind, ControlFactory>& Factories() {
  static std::map<Kind, ControlFactory> factories;
  return factories;
}

QString FromUtf8Literal(const char* text) { return QString::fromUtf8(text ? text : ""); }

Qt::Alignment ToQtAlign(Align align) {
  switch (align) {
    case Align::Centre:
      return Qt::AlignHCenter;
    case Align::Right:
      return Qt::AlignRight;
    case Align::Left:
      break;
  }
  return Qt::AlignLeft;
}

Qt::CursorShape ToCursor(int cursor) {
  switch (cursor) {
    case kCursorSizeWE:
      return Qt::SizeHorCursor;
    case kCursorSizeNS:
      return Qt::SizeVerCursor;
    case kCursorHand:
      return Qt::PointingHandCursor;
    default:
      return Qt::ArrowCursor;
  }
}

void SetColourRole(QWidget* widget, QPalette::ColorRole role, Colour colour) {
  if (colour == kNoColour) return;
  QPalette palette = widget->palette();
  palette.setColor(role, ToQColor(colour));
  // Disabled controls keep the catalogue's colours (the Main window's boxes are disabled).
  palette.setColor(QPalette::Disabled, role, ToQColor(colour));
  widget->setPalette(palette);
}

void Identify(QWidget* widget, const WindowSpec& window, const ControlSpec& entry) {
  if (HookBase* hook = Hook(widget)) {
    hook->windowId = window.windowId;
    hook->unitId = entry.unitId;
    hook->bindings = &entry.bindings;
  }
}

QWidget* MakeLabel(const ControlSpec& entry, QWidget* parent, bool transparent) {
  auto* label = new Hooked<QLabel>(parent);
  // Labels show texts from the network (feed, announcement): never read them as markup.
  label->setTextFormat(Qt::PlainText);
  label->setText(FromUtf8Literal(entry.text));
  label->setAlignment(ToQtAlign(entry.align) | Qt::AlignVCenter);
  label->setWordWrap(entry.wraps);
  if (!transparent && entry.fillColour != kNoColour) {
    label->setAutoFillBackground(true);
    SetColourRole(label, QPalette::Window, entry.fillColour);
  }
  SetColourRole(label, QPalette::WindowText, entry.textColour);
  return label;
}

QWidget* MakeEditBox(const ControlSpec& entry, QWidget* parent) {
  QWidget* edit = nullptr;
  if (entry.multiLine) {
    auto* box = new HookedScroll<QPlainTextEdit>(parent);
    box->setPlainText(FromUtf8Literal(entry.text));
    box->viewport()->setMouseTracking(true);
    edit = box;
  } else {
    auto* box = new Hooked<QLineEdit>(parent);
    box->setText(FromUtf8Literal(entry.text));
    box->setAlignment(ToQtAlign(entry.align) | Qt::AlignVCenter);
    edit = box;
  }
  SetColourRole(edit, QPalette::Text, entry.textColour);
  SetColourRole(edit, QPalette::Base, entry.fillColour);
  edit->setProperty(kBorderStyleProperty, entry.borderStyle);
  return edit;
}

QWidget* MakeTree(const ControlSpec& entry, QWidget* parent) {
  auto* tree = new HookedScroll<CatalogueTree>(parent);
  tree->setHeaderHidden(true);
  tree->setColumnCount(1);
  tree->viewport()->setMouseTracking(true);
  for (const TreeItem& item : entry.items)
    tree->AddStoredItem(FromUtf8Literal(item.text), item.level);
  SetColourRole(tree, QPalette::Base, entry.fillColour);
  SetColourRole(tree, QPalette::Text, entry.textColour);
  return tree;
}

QWidget* MakeList(const ControlSpec& entry, QWidget* parent) {
  auto* list = new HookedScroll<QTreeWidget>(parent);
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setAllColumnsShowFocus(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setColumnCount(int(entry.columns.size()));
  QStringList titles;
  for (const Column& column : entry.columns) titles << FromUtf8Literal(column.title);
  list->setHeaderLabels(titles);
  list->header()->setStretchLastSection(false);
  for (int i = 0; i < int(entry.columns.size()); ++i) {
    list->setColumnWidth(i, entry.columns[size_t(i)].width);
    // A column of width 0 only carries data; the user cannot drag it open.
    if (entry.columns[size_t(i)].width == 0) list->setColumnHidden(i, true);
  }
  list->viewport()->setMouseTracking(true);
  SetColourRole(list, QPalette::Base, entry.fillColour);
  SetColourRole(list, QPalette::Text, entry.textColour);
  if (HookBase* hook = Hook(list)) hook->raisesListClick = true;
  return list;
}

QWidget* MakeSuperButton(const ControlSpec& entry, QWidget* parent) {
  auto* button = new Hooked<QPushButton>(FromUtf8Literal(entry.text), parent);
  button->setFlat(true);
  button->setStyleSheet(
      QStringLiteral("QPushButton { border: 1px solid #2a64b8; border-radius: 3px; color: #fefefe;"
                     " padding: 0px; background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                     " stop:0 #7cc0ff, stop:1 #2f78d8); }"
                     "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                     " stop:0 #9ad0ff, stop:1 #3f8ae8); }"
                     "QPushButton:pressed { background: #2a64b8; }"));
  return button;
}

// Builds one control; returns the widget (null for kinds that are not widgets).
QObject* BuildControl(CatalogueWindow* window, const WindowSpec& windowEntry,
                      const ControlSpec& entry, QMenu*& currentMenu) {
  QWidget* widget = nullptr;
  switch (entry.kind) {
    case Kind::Button: {
      auto* button = new Hooked<QPushButton>(FromUtf8Literal(entry.text), window);
      widget = button;
      break;
    }
    case Kind::SuperButton:
      widget = MakeSuperButton(entry, window);
      break;
    case Kind::EditBox:
      widget = MakeEditBox(entry, window);
      break;
    case Kind::Label:
      widget = MakeLabel(entry, window, false);
      break;
    case Kind::TransparentLabel:
      widget = MakeLabel(entry, window, true);
      break;
    case Kind::TreeBox:
      widget = MakeTree(entry, window);
      break;
    case Kind::ListView:
      widget = MakeList(entry, window);
      break;
    case Kind::ImageButton: {
      auto* image = new Hooked<QLabel>(window);
      image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      QImage picture = DecodePicture(PictureBytes(entry.picture));
      if (!picture.isNull()) image->setPixmap(QPixmap::fromImage(picture));
      widget = image;
      break;
    }
    case Kind::BrowserBox: {
      auto it = Factories().find(Kind::BrowserBox);
      widget =
          it != Factories().end() ? it->second(entry, window) : new Hooked<AddressOnlyBox>(window);
      break;
    }
    case Kind::SystemVolume:
    case Kind::SuperMenu:
      widget = new Hooked<QWidget>(window);
      break;
    case Kind::Timer: {
      auto* timer = new QTimer(window);
      timer->setInterval(entry.interval);
      const auto* bindings = &entry.bindings;
      const uint32_t windowId = windowEntry.windowId, unitId = entry.unitId;
      QObject::connect(timer, &QTimer::timeout, timer, [=] {
        InvokeBindings(*bindings, MakeEvent(windowId, unitId, kEventTimer, timer));
      });
      timer->start();
      return timer;
    }
    case Kind::MenuItem: {
      if (entry.menuLevel == 0) {
        currentMenu = new QMenu(FromUtf8Literal(entry.text), window);
        currentMenu->menuAction()->setEnabled(!entry.disabled);
        currentMenu->menuAction()->setVisible(entry.visible);
        window->menus[entry.unitId] = currentMenu;
        return currentMenu;
      }
      if (!currentMenu) return nullptr;
      QAction* action = currentMenu->addAction(FromUtf8Literal(entry.text));
      action->setEnabled(!entry.disabled);
      action->setVisible(entry.visible);
      action->setCheckable(entry.checked);
      action->setChecked(entry.checked);
      const auto* bindings = &entry.bindings;
      const uint32_t windowId = windowEntry.windowId, unitId = entry.unitId;
      QObject::connect(action, &QAction::triggered, action, [=] {
        InvokeBindings(*bindings, MakeEvent(windowId, unitId, kEventClicked, action));
      });
      return action;
    }
    case Kind::Window:
      return nullptr;
  }
  if (!widget) return nullptr;

  Identify(widget, windowEntry, entry);
  widget->setObjectName(FromUtf8Literal(entry.name));
  // Picture-only controls and boxes say what they are; the others say the caption they show at
  // the time (a fixed name would hide a caption the program changes).
  if (entry.accessibleName) widget->setAccessibleName(FromUtf8Literal(entry.accessibleName));
  widget->setGeometry(entry.rect.left, entry.rect.top, entry.rect.width, entry.rect.height);
  widget->setMouseTracking(true);
  widget->setCursor(ToCursor(entry.cursor));
  if (entry.font.face != Face::Default || entry.font.pixelSize > 0 || entry.font.bold) {
    widget->setFont(MakeFont(entry.font));
  }
  widget->setEnabled(!entry.disabled);
  if (!entry.tabStop) {
    widget->setFocusPolicy(widget->focusPolicy() & Qt::ClickFocus ? Qt::ClickFocus : Qt::NoFocus);
  }
  const bool invisibleKind = entry.kind == Kind::SystemVolume || entry.kind == Kind::SuperMenu;
  widget->setVisible(entry.visible && !invisibleKind);

  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    const auto* bindings = &entry.bindings;
    const uint32_t windowId = windowEntry.windowId, unitId = entry.unitId;
    QObject::connect(button, &QAbstractButton::clicked, button, [=] {
      InvokeBindings(*bindings, MakeEvent(windowId, unitId, kEventClicked, button));
    });
  } else if (auto* tree = dynamic_cast<CatalogueTree*>(widget)) {
    const auto* bindings = &entry.bindings;
    const uint32_t windowId = windowEntry.windowId, unitId = entry.unitId;
    QObject::connect(tree, &QTreeWidget::currentItemChanged, tree, [=] {
      InvokeBindings(*bindings, MakeEvent(windowId, unitId, kEventSelection, tree));
    });
  } else if (auto* list = qobject_cast<QTreeWidget*>(widget);
             list && entry.kind == Kind::ListView) {
    const auto* bindings = &entry.bindings;
    const uint32_t windowId = windowEntry.windowId, unitId = entry.unitId;
    QObject::connect(list, &QTreeWidget::itemActivated, list, [=] {
      InvokeBindings(*bindings, MakeEvent(windowId, unitId, kEventListActivated, list));
    });
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    const auto* bindings = &entry.bindings;
    const uint32_t windowId = windowEntry.windowId, unitId = entry.unitId;
    QObject::connect(edit, &QLineEdit::returnPressed, edit, [=] {
      InvokeBindings(*bindings, MakeEvent(windowId, unitId, kEventEnterPressed, edit));
    });
  }
  return widget;
}

}  // namespace

// --- catalogue and loader ---------------------------------------------------------------------

void InstallCatalogue(std::span<const WindowSpec> windows) { g_catalogue = windows; }

const WindowSpec* FindWindowSpec(uint32_t windowId) {
  for (const WindowSpec& entry : g_catalogue) {
    if (entry.windowId == windowId) return &entry;
  }
  return nullptr;
}

QWidget* LoadWindow(uint32_t windowId, QWidget* owner) {
  const WindowSpec* entry = FindWindowSpec(windowId);
  if (!entry) return nullptr;

  Qt::WindowFlags flags = owner ? Qt::Tool : Qt::Window;
  if (!entry->framed) flags |= Qt::FramelessWindowHint;
  auto* window = new Hooked<CatalogueWindow>(owner, flags);
  window->entry = entry;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setObjectName(FromUtf8Literal(entry->name));
  window->setWindowTitle(FromUtf8Literal(entry->title));
  window->setMouseTracking(true);
  window->move(entry->rect.left, entry->rect.top);
  window->resize(entry->rect.width, entry->rect.height);
  if (entry->picture) window->SetPicture(PictureBytes(entry->picture));
  if (HookBase* hook = Hook(window)) {
    hook->windowId = entry->windowId;
    hook->unitId = entry->unitId;
    hook->bindings = &entry->bindings;
    hook->isWindow = true;
    hook->dragByBody = entry->dragByBody;
  }
  auto& instances = LiveWindows()[windowId];
  std::erase_if(instances, [](const QPointer<QWidget>& w) { return w.isNull(); });
  instances.push_back(window);

  QMenu* currentMenu = nullptr;
  std::vector<QWidget*> created;
  for (const ControlSpec& control : entry->controls) {
    QObject* object = BuildControl(window, *entry, control, currentMenu);
    if (!object) continue;
    window->controls[control.unitId] = object;
    if (auto* widget = qobject_cast<QWidget*>(object); widget && !qobject_cast<QMenu*>(object)) {
      created.push_back(widget);
    }
  }
  // The first control in catalogue order lies on top, as the window system stacks them.
  for (QWidget* widget : created) widget->lower();

  // A visible top-level menu item puts a menu bar on the window; hidden ones stay out of it.
  QMenuBar* bar = nullptr;
  for (auto& [unit, menu] : window->menus) {
    if (!menu || !menu->menuAction()->isVisible()) continue;
    if (!bar) bar = new QMenuBar(window);
    bar->addMenu(menu);
  }

  QPointer<QWidget> alive(window);
  InvokeBindings(entry->bindings, MakeEvent(entry->windowId, entry->unitId, kEventCreated, window));
  if (!alive) return nullptr;
  if (entry->visible && !IsBeingDestroyed(window)) window->show();
  return window;
}

void RegisterControlFactory(Kind kind, ControlFactory factory) { Factories()[kind] = factory; }

}  // namespace sonaro::ui
