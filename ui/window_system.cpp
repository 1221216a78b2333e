// The window system's core: the registry of live windows, lookups by ID, the widget classes,
// events, and pictures, fonts and colours. Loading, properties and lists have their own files.
#include "ui/window_system.h"

#include <QBitmap>
#include <QColor>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QSignalBlocker>
#include <QString>
#include <QTreeWidgetItem>
#include <QVariant>
#include <map>
#include <vector>

#include "ui/catalogue_types.h"
#include "ui/event.h"
#include "ui/picture.h"
#include "ui/widgets.h"
#include "ui/window_system_internal.h"

namespace sonaro::ui {

namespace {

constexpr const char* kDestroyingProperty = "sonaro_destroying";

}  // namespace

namespace internal {

std::map<uint32_t, std::vector<QPointer<QWidget>>>& LiveWindows() {
  static std::map<uint32_t, std::vector<QPointer<QWidget>>> windows;
  return windows;
}

CatalogueWindow* AsWindow(QObject* object) { return dynamic_cast<CatalogueWindow*>(object); }

Event MakeEvent(uint32_t windowId, uint32_t unitId, int number, QObject* source) {
  Event event;
  event.windowId = windowId;
  event.unitId = unitId;
  event.number = number;
  event.source = source;
  return event;
}

}  // namespace internal

using internal::AsWindow;
using internal::LiveWindows;
using internal::MakeEvent;

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

void CatalogueTree::RemoveStoredItemsFrom(int index) {
  if (index < 0) index = 0;
  if (index >= StoredCount()) return;
  // Deleting the current item would make a neighbour current and raise the selection event,
  // which plays that station.
  const QSignalBlocker quiet(this);
  if (StoredIndex(currentItem()) >= index) setCurrentItem(nullptr);
  // Children follow their parent in stored order: taken from the end, each goes childless.
  while (StoredCount() > index) {
    delete stored_.back();
    stored_.pop_back();
    levels_.pop_back();
  }
  lastAtLevel_.clear();
  for (size_t i = 0; i < stored_.size(); ++i) {
    lastAtLevel_.resize(size_t(levels_[i]));
    lastAtLevel_.back() = stored_[i];
  }
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

// --- windows and controls by ID ------------------------------------------------------------------

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

// --- pictures, fonts, colours, outlines ----------------------------------------------------------

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

}  // namespace sonaro::ui
