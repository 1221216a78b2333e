// What the window-system sources share and nothing outside ui/ should use: the registry of live
// windows and a few helpers of the loader, the lookups and the properties.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <map>
#include <vector>

#include "ui/event.h"

class QObject;

namespace sonaro::ui {

class CatalogueWindow;

namespace internal {

// Dynamic property holding an edit box's border style, read and written as a numbered property.
inline constexpr const char* kBorderStyleProperty = "sonaro_borderStyle";

// Every loaded window by ID, oldest first; the newest live one answers to the ID.
std::map<uint32_t, std::vector<QPointer<QWidget>>>& LiveWindows();

// The catalogue window behind a widget, or null.
CatalogueWindow* AsWindow(QObject* object);

Event MakeEvent(uint32_t windowId, uint32_t unitId, int number, QObject* source);

}  // namespace internal

}  // namespace sonaro::ui
