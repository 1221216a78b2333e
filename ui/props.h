// Named window properties: per-window state kept on the window itself under a name.
// An unset property reads as 0; removing one makes it read as 0 again.
#pragma once

#include <QObject>
#include <QVariant>

namespace sonaro::ui {

void SetProp(QObject* window, const char* name, const QVariant& value);
// The stored value, or 0 when the property is unset or the window is null.
QVariant GetProp(QObject* window, const char* name);
qint64 GetPropInt(QObject* window, const char* name);
bool HasProp(QObject* window, const char* name);
void RemoveProp(QObject* window, const char* name);

// Pointers and handles are stored as numbers, as the window system does.
inline void SetPropPtr(QObject* window, const char* name, const void* pointer) {
  SetProp(window, name, QVariant::fromValue(quint64(reinterpret_cast<quintptr>(pointer))));
}
template <class T>
T* GetPropPtr(QObject* window, const char* name) {
  return reinterpret_cast<T*>(quintptr(GetProp(window, name).toULongLong()));
}

}  // namespace sonaro::ui
