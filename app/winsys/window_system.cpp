#include "app/winsys/window_system.h"

#include <QBitmap>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <map>

#include "app/winsys/picture.h"
#include "app/winsys/widgets.h"
#include "app/winsys/winproc.h"
#include "services/core/gbk.h"

namespace sonaro::ui {

namespace {

constexpr const char* kDestroyingProperty = "sonaro_destroying";
constexpr const char* kBorderStyleProperty = "sonaro_borderStyle";

std::span<const WindowSpec> g_catalogue;
// Every loaded window by ID, oldest first; the newest live one answers to the ID.
std::map<uint32_t, std::vector<QPointer<QWidget>>>& LiveWindows() {
  static std::map<uint32_t, std::vector<QPointer<QWidget>>> windows;
  return windows;
}
std::map<Kind, ControlFactory>& Factories() {
  static std::map<Kind, ControlFactory> factories;
  return factories;
}

QByteArray ToBytes(const std::string& text) {
  return QByteArray(text.data(), qsizetype(text.size()));
}
std::string FromBytes(const QByteArray& bytes) {
  return std::string(bytes.constData(), size_t(bytes.size()));
}
QString FromUtf8Literal(const char* text) { return QString::fromUtf8(text ? text : ""); }
QString GbkToQString(const QVariant& value) {
  const QByteArray bytes = value.toByteArray();
  return FromGbk(std::string_view(bytes.constData(), size_t(bytes.size())));
}
QByteArray QStringToGbk(const QString& text) { return ToBytes(ToGbk(text)); }

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

CatalogueWindow* AsWindow(QObject* object) { return dynamic_cast<CatalogueWindow*>(object); }

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

Event MakeEvent(uint32_t windowId, uint32_t unitId, int number, QObject* source) {
  Event event;
  event.windowId = windowId;
  event.unitId = unitId;
  event.number = number;
  event.source = source;
  return event;
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
  }
  return widget;
}

}  // namespace

// --- widgets ---------------------------------------------------------------------------------

void CatalogueWindow::SetPicture(const QByteArray& bytes) {
  pictureBytes_ = bytes;
  picture_ = DecodePicture(bytes);
  update();
}

void CatalogueWindow::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, picture_);
}

void CatalogueTree::AddStoredItem(const QString& text, int level) {
  if (level < 1) level = 1;
  QTreeWidgetItem* parent = nullptr;
  if (level > 1 && size_t(level - 1) <= lastAtLevel_.size())
    parent = lastAtLevel_[size_t(level - 2)];
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  item->setText(0, text);
  if (lastAtLevel_.size() < size_t(level)) lastAtLevel_.resize(size_t(level), nullptr);
  lastAtLevel_[size_t(level - 1)] = item;
  lastAtLevel_.resize(size_t(level));  // deeper levels now hang under the new item
  stored_.push_back(item);
  levels_.push_back(parent ? level : 1);
}

QTreeWidgetItem* CatalogueTree::StoredItem(int index) const {
  return index >= 0 && index < StoredCount() ? stored_[size_t(index)] : nullptr;
}

int CatalogueTree::StoredIndex(const QTreeWidgetItem* item) const {
  for (size_t i = 0; i < stored_.size(); ++i) {
    if (stored_[i] == item) return int(i);
  }
  return -1;
}

int CatalogueTree::StoredLevel(int index) const {
  return index >= 0 && index < StoredCount() ? levels_[size_t(index)] : 0;
}

QVariant AddressOnlyBox::GetNumbered(int number) const {
  return number == prop::kAddress ? QVariant(address_) : QVariant();
}

bool AddressOnlyBox::SetNumbered(int number, const QVariant& value) {
  if (number != prop::kAddress) return false;
  address_ = value.toByteArray();
  return true;
}

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

QWidget* FindWindow(uint32_t windowId) {
  auto it = LiveWindows().find(windowId);
  if (it == LiveWindows().end()) return nullptr;
  for (auto window = it->second.rbegin(); window != it->second.rend(); ++window) {
    if (*window && !IsBeingDestroyed(*window)) return window->data();
  }
  return nullptr;
}

QObject* FindControl(uint32_t windowId, uint32_t unitId) {
  return ControlIn(FindWindow(windowId), unitId);
}

QObject* ControlIn(QWidget* windowWidget, uint32_t unitId) {
  auto* window = AsWindow(windowWidget);
  if (!window) return nullptr;
  if (window->entry && window->entry->unitId == unitId) return window;
  auto it = window->controls.find(unitId);
  return it == window->controls.end() ? nullptr : it->second.data();
}

QWidget* ControlWidget(uint32_t windowId, uint32_t unitId) {
  return qobject_cast<QWidget*>(FindControl(windowId, unitId));
}

QMenu* FindMenu(uint32_t windowId, uint32_t menuUnitId) {
  auto* window = AsWindow(FindWindow(windowId));
  if (!window) return nullptr;
  auto it = window->menus.find(menuUnitId);
  return it == window->menus.end() ? nullptr : it->second.data();
}

void DestroyWindowLater(QWidget* window) {
  if (!window) return;
  window->setProperty(kDestroyingProperty, true);
  window->hide();
  window->deleteLater();
}

bool IsBeingDestroyed(const QWidget* window) {
  return window && window->property(kDestroyingProperty).toBool();
}

// --- numbered properties -----------------------------------------------------------------------

QVariant GetWidgetProperty(QObject* control, int number) {
  if (!control) return {};
  if (auto* own = dynamic_cast<NumberedProperties*>(control)) {
    QVariant value = own->GetNumbered(number);
    if (value.isValid()) return value;
  }
  auto* widget = qobject_cast<QWidget*>(control);
  if (!widget) return {};
  const bool topLevel = widget->isWindow();
  switch (number) {
    case prop::kLeft:
      return widget->x();
    case prop::kTop:
      return widget->y();
    case prop::kWidth:
      return topLevel ? widget->frameGeometry().width() : widget->width();
    case prop::kHeight:
      return topLevel ? widget->frameGeometry().height() : widget->height();
    case prop::kVisible:
      return !widget->isHidden();
    default:
      break;
  }
  if (auto* window = AsWindow(widget); window && number == prop::kPicture)
    return window->PictureData();
  if (number == prop::kText) {
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return QStringToGbk(line->text());
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget))
      return QStringToGbk(plain->toPlainText());
    if (auto* label = qobject_cast<QLabel*>(widget)) return QStringToGbk(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return QStringToGbk(button->text());
  }
  if (number == prop::kBorderStyle && widget->property(kBorderStyleProperty).isValid()) {
    return widget->property(kBorderStyleProperty).toInt();
  }
  if (auto* tree = dynamic_cast<CatalogueTree*>(widget); tree && number == prop::kSelectedItem) {
    return tree->StoredIndex(tree->currentItem());
  }
  if (auto* list = qobject_cast<QTreeWidget*>(widget);
      list && !dynamic_cast<CatalogueTree*>(widget) && number == prop::kSelectedRow) {
    const auto selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.first());
  }
  return {};
}

bool SetWidgetProperty(QObject* control, int number, const QVariant& value) {
  if (!control) return false;
  if (auto* own = dynamic_cast<NumberedProperties*>(control);
      own && own->SetNumbered(number, value)) {
    return true;
  }
  auto* widget = qobject_cast<QWidget*>(control);
  if (!widget) return false;
  const bool topLevel = widget->isWindow();
  // Window-system numbers are cut toward zero.
  const int n = int(value.toDouble());
  switch (number) {
    case prop::kLeft:
      widget->move(n, widget->y());
      return true;
    case prop::kTop:
      widget->move(widget->x(), n);
      return true;
    case prop::kWidth: {
      const int frame = topLevel ? widget->frameGeometry().width() - widget->width() : 0;
      widget->resize(std::max(0, n - frame), widget->height());
      return true;
    }
    case prop::kHeight: {
      const int frame = topLevel ? widget->frameGeometry().height() - widget->height() : 0;
      widget->resize(widget->width(), std::max(0, n - frame));
      return true;
    }
    case prop::kVisible:
      widget->setVisible(value.toBool());
      return true;
    default:
      break;
  }
  if (auto* window = AsWindow(widget); window && number == prop::kPicture) {
    window->SetPicture(value.toByteArray());
    return true;
  }
  if (number == prop::kText) {
    const QString text = GbkToQString(value);
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->setText(text), true;
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) return plain->setPlainText(text), true;
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->setText(text), true;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->setText(text), true;
  }
  if (number == prop::kBorderStyle && widget->property(kBorderStyleProperty).isValid()) {
    widget->setProperty(kBorderStyleProperty, n);
    widget->update();
    return true;
  }
  if (auto* tree = dynamic_cast<CatalogueTree*>(widget); tree && number == prop::kSelectedItem) {
    tree->setCurrentItem(tree->StoredItem(n));
    return true;
  }
  if (auto* list = qobject_cast<QTreeWidget*>(widget);
      list && !dynamic_cast<CatalogueTree*>(widget) && number == prop::kSelectedRow) {
    list->clearSelection();
    if (QTreeWidgetItem* item = list->topLevelItem(n)) {
      list->setCurrentItem(item);
      item->setSelected(true);
    }
    return true;
  }
  return false;
}

QVariant GetProperty(uint32_t windowId, uint32_t unitId, int number) {
  return GetWidgetProperty(FindControl(windowId, unitId), number);
}

bool SetProperty(uint32_t windowId, uint32_t unitId, int number, const QVariant& value) {
  return SetWidgetProperty(FindControl(windowId, unitId), number, value);
}

int GetInt(uint32_t windowId, uint32_t unitId, int number) {
  return GetProperty(windowId, unitId, number).toInt();
}

bool SetInt(uint32_t windowId, uint32_t unitId, int number, int value) {
  return SetProperty(windowId, unitId, number, value);
}

std::string GetText(uint32_t windowId, uint32_t unitId, int number) {
  return FromBytes(GetProperty(windowId, unitId, number).toByteArray());
}

bool SetText(uint32_t windowId, uint32_t unitId, const std::string& gbk, int number) {
  return SetProperty(windowId, unitId, number, ToBytes(gbk));
}

std::string GetWidgetText(QObject* control, int number) {
  return FromBytes(GetWidgetProperty(control, number).toByteArray());
}

bool SetWidgetText(QObject* control, const std::string& gbk, int number) {
  return SetWidgetProperty(control, number, ToBytes(gbk));
}

// --- trees and lists ----------------------------------------------------------------------------

int TreeItemCount(uint32_t windowId, uint32_t unitId) {
  auto* tree = dynamic_cast<CatalogueTree*>(FindControl(windowId, unitId));
  return tree ? tree->StoredCount() : 0;
}

std::string TreeItemText(uint32_t windowId, uint32_t unitId, int index) {
  auto* tree = dynamic_cast<CatalogueTree*>(FindControl(windowId, unitId));
  QTreeWidgetItem* item = tree ? tree->StoredItem(index) : nullptr;
  return item ? ToGbk(item->text(0)) : std::string();
}

int TreeItemLevel(uint32_t windowId, uint32_t unitId, int index) {
  auto* tree = dynamic_cast<CatalogueTree*>(FindControl(windowId, unitId));
  return tree ? tree->StoredLevel(index) : 0;
}

namespace {
QTreeWidget* FindList(uint32_t windowId, uint32_t unitId) {
  QObject* object = FindControl(windowId, unitId);
  if (dynamic_cast<CatalogueTree*>(object)) return nullptr;
  return qobject_cast<QTreeWidget*>(object);
}
}  // namespace

int ListRowCount(uint32_t windowId, uint32_t unitId) {
  QTreeWidget* list = FindList(windowId, unitId);
  return list ? list->topLevelItemCount() : 0;
}

int ListColumnCount(uint32_t windowId, uint32_t unitId) {
  QTreeWidget* list = FindList(windowId, unitId);
  return list ? list->columnCount() : 0;
}

std::string ListCellText(uint32_t windowId, uint32_t unitId, int row, int column) {
  QTreeWidget* list = FindList(windowId, unitId);
  QTreeWidgetItem* item = list ? list->topLevelItem(row) : nullptr;
  if (!item || column < 0 || column >= list->columnCount()) return {};
  return ToGbk(item->text(column));
}

std::vector<std::string> ListColumnTexts(uint32_t windowId, uint32_t unitId, int column) {
  std::vector<std::string> texts;
  QTreeWidget* list = FindList(windowId, unitId);
  if (!list || column < 0 || column >= list->columnCount()) return texts;
  const int rows = list->topLevelItemCount();
  texts.reserve(size_t(rows));
  for (int row = 0; row < rows; ++row)
    texts.push_back(ToGbk(list->topLevelItem(row)->text(column)));
  return texts;
}

int ListAddRow(uint32_t windowId, uint32_t unitId, std::span<const std::string> cells) {
  QTreeWidget* list = FindList(windowId, unitId);
  if (!list) return -1;
  auto* item = new QTreeWidgetItem(list);
  for (int i = 0; i < list->columnCount() && size_t(i) < cells.size(); ++i) {
    item->setText(i, FromGbk(cells[size_t(i)]));
  }
  return list->topLevelItemCount() - 1;  // appended: the last row (no search of the list)
}

bool ListRemoveRow(uint32_t windowId, uint32_t unitId, int row) {
  QTreeWidget* list = FindList(windowId, unitId);
  if (!list || row < 0 || row >= list->topLevelItemCount()) return false;
  delete list->takeTopLevelItem(row);
  return true;
}

// --- events --------------------------------------------------------------------------------------

void InvokeBindings(const std::vector<Binding>& bindings, const Event& event) {
  for (const Binding& binding : bindings) {
    if (binding.event == event.number && binding.handler) binding.handler(event);
  }
}

void RaiseEvent(uint32_t windowId, uint32_t unitId, int number) {
  QObject* control = FindControl(windowId, unitId);
  auto* window = AsWindow(FindWindow(windowId));
  if (!control || !window || !window->entry) return;
  const std::vector<Binding>* bindings = nullptr;
  if (window->entry->unitId == unitId) {
    bindings = &window->entry->bindings;
  } else {
    for (const ControlSpec& entry : window->entry->controls) {
      if (entry.unitId == unitId) bindings = &entry.bindings;
    }
  }
  if (bindings) InvokeBindings(*bindings, MakeEvent(windowId, unitId, number, control));
}

// --- pictures, fonts, colours, outlines
// -----------------------------------------------------------

QByteArray PictureBytes(const char* name) {
  if (!name || !*name) return {};
  QFile file(QStringLiteral(":/assets/") + QString::fromUtf8(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QFont MakeFont(const Font& font) {
  QFont result;
  switch (font.face) {
    case Face::YaHei:
      result.setFamilies({QStringLiteral("Noto Sans CJK SC")});
      break;
    case Face::SongTi:
      result.setFamilies({QStringLiteral("Noto Serif CJK SC")});
      break;
    case Face::Default:
      break;
  }
  if (font.pixelSize > 0) result.setPixelSize(font.pixelSize);
  result.setBold(font.bold);
  return result;
}

QColor ToQColor(Colour colour) {
  return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

void CutOutline(QWidget* window, const QImage& picture, QRgb transparent) {
  if (!window || picture.isNull()) return;
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  // The mask image marks the transparent colour; as a bitmap its set bits are what stays.
  const QImage mask = rgb.createMaskFromColor(0xFF000000u | transparent, Qt::MaskInColor);
  window->setMask(QRegion(QBitmap::fromImage(mask)));
}

void RegisterControlFactory(Kind kind, ControlFactory factory) { Factories()[kind] = factory; }

}  // namespace sonaro::ui
