// The window system layer: loading catalogue windows, addressing their controls by
// (window ID, unit ID), numbered properties, and dispatching bound events.
#pragma once

#include <QImage>
#include <QVariant>
#include <QWidget>
#include <cstdint>
#include <span>
#include <string>

#include "ui/catalogue_types.h"

class QMenu;

namespace sonaro::ui {

// Numbered properties of catalogue windows and controls.
namespace prop {
inline constexpr int kLeft = 0;
inline constexpr int kTop = 1;
inline constexpr int kWidth = 2;
inline constexpr int kHeight = 3;
inline constexpr int kVisible = 5;
inline constexpr int kText = 8;           // edit box text, label caption
inline constexpr int kBorderStyle = 9;    // edit box
inline constexpr int kPicture = 11;       // window: background picture bytes
inline constexpr int kAddress = 11;       // browser box
inline constexpr int kSelectedItem = 16;  // tree box: stored-order index, -1 for none
inline constexpr int kSelectedRow = 35;   // list view: row index, -1 for none
}  // namespace prop

// The catalogue the loader builds from; installed once at start-up.
void InstallCatalogue(std::span<const WindowSpec> windows);
const WindowSpec* FindWindowSpec(uint32_t windowId);

// Builds the window and every control, raises the window's event 0 once all controls exist and
// shows the window if it is marked visible. An owned window dies with its owner. Returns the
// window, or null for an unknown ID. Loading an ID again makes a new window, which from then on
// answers to the ID.
QWidget* LoadWindow(uint32_t windowId, QWidget* owner = nullptr);

// The live window with this ID (the most recently loaded), or null.
QWidget* FindWindow(uint32_t windowId);
// A control of a live window (the window itself for its own unit ID), or null. Controls that
// are not widgets (timers, menu items, menus) are found here too.
QObject* FindControl(uint32_t windowId, uint32_t unitId);
QWidget* ControlWidget(uint32_t windowId, uint32_t unitId);
// A control of the given catalogue window (one of several loaded with the same ID), or null.
QObject* ControlIn(QWidget* window, uint32_t unitId);
// The pop-up menu built from a top-level menu item, or null.
QMenu* FindMenu(uint32_t windowId, uint32_t menuUnitId);

// Numbered property access. Reading an unknown control or property gives an invalid QVariant;
// writing one gives false. Texts cross as GBK bytes (QByteArray).
QVariant GetProperty(uint32_t windowId, uint32_t unitId, int number);
bool SetProperty(uint32_t windowId, uint32_t unitId, int number, const QVariant& value);
// The same on a widget found by other means (any control: 0, 1, 2, 3, 5).
QVariant GetWidgetProperty(QObject* control, int number);
bool SetWidgetProperty(QObject* control, int number, const QVariant& value);

int GetInt(uint32_t windowId, uint32_t unitId, int number);
bool SetInt(uint32_t windowId, uint32_t unitId, int number, int value);
std::string GetText(uint32_t windowId, uint32_t unitId, int number = prop::kText);
bool SetText(uint32_t windowId, uint32_t unitId, const std::string& gbk, int number = prop::kText);
std::string GetWidgetText(QObject* control, int number = prop::kText);
bool SetWidgetText(QObject* control, const std::string& gbk, int number = prop::kText);

// Tree boxes: items in stored order.
int TreeItemCount(uint32_t windowId, uint32_t unitId);
std::string TreeItemText(uint32_t windowId, uint32_t unitId, int index);
int TreeItemLevel(uint32_t windowId, uint32_t unitId, int index);
// Appends an item (level as in TreeItem) and returns its index, or -1.
int TreeAddItem(uint32_t windowId, uint32_t unitId, const std::string& gbk, int level);
// Removes the items from index on, as CatalogueTree::RemoveStoredItemsFrom does.
bool TreeRemoveItemsFrom(uint32_t windowId, uint32_t unitId, int index);

// List views: rows of GBK cell texts.
int ListRowCount(uint32_t windowId, uint32_t unitId);
int ListColumnCount(uint32_t windowId, uint32_t unitId);
std::string ListCellText(uint32_t windowId, uint32_t unitId, int row, int column);
// One column's texts of every row, in row order (a whole-list scan without a lookup per cell).
std::vector<std::string> ListColumnTexts(uint32_t windowId, uint32_t unitId, int column);
// Appends a row (missing cells empty) and returns its index, or -1.
int ListAddRow(uint32_t windowId, uint32_t unitId, std::span<const std::string> cells);
bool ListRemoveRow(uint32_t windowId, uint32_t unitId, int row);

// Calls every handler bound to event.number in bindings.
void InvokeBindings(const std::vector<Binding>& bindings, const Event& event);
// Raises an event of a live control by its identity, as if the control had raised it.
void RaiseEvent(uint32_t windowId, uint32_t unitId, int number);

// Cuts the window's outline from a picture: pixels of the transparent colour (0xRRGGBB) fall
// outside the window.
void CutOutline(QWidget* window, const QImage& picture, QRgb transparent = 0xFFFFFF);

// Widgets for kinds that other subsystems realise (the browser box). A factory returns a widget
// that is a Hooked<> class, parented to the window.
using ControlFactory = QWidget* (*)(const ControlSpec& entry, QWidget* window);
void RegisterControlFactory(Kind kind, ControlFactory factory);

// Implemented by widgets with numbered properties of their own (e.g. the browser box's address).
class NumberedProperties {
 public:
  virtual ~NumberedProperties() = default;
  // An invalid QVariant when the widget has no such property of its own.
  virtual QVariant GetNumbered(int number) const = 0;
  // False when the widget has no such property of its own.
  virtual bool SetNumbered(int number, const QVariant& value) = 0;
};

// Embedded pictures by name (":/assets/<name>"); empty when absent.
QByteArray PictureBytes(const char* name);
// The fonts the catalogue names, mapped to the installed CJK faces.
QFont MakeFont(const Font& font);
QColor ToQColor(Colour colour);

}  // namespace sonaro::ui

namespace sonaro::ui {
// Requests a window's destruction: it disappears at once and is destroyed when the event loop
// next runs (so a handler may call this on the window it runs in).
void DestroyWindowLater(QWidget* window);
// True once DestroyWindowLater was called for the window.
bool IsBeingDestroyed(const QWidget* window);
}  // namespace sonaro::ui
