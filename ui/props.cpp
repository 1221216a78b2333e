#include "ui/props.h"

namespace sonaro::ui {

void SetProp(QObject* window, const char* name, const QVariant& value) {
  if (window) window->setProperty(name, value);
}

QVariant GetProp(QObject* window, const char* name) {
  if (!window) return QVariant(0);
  QVariant value = window->property(name);
  return value.isValid() ? value : QVariant(0);
}

qint64 GetPropInt(QObject* window, const char* name) { return GetProp(window, name).toLongLong(); }

bool HasProp(QObject* window, const char* name) {
  return window && window->property(name).isValid();
}

void RemoveProp(QObject* window, const char* name) {
  if (window) window->setProperty(name, QVariant());
}

}  // namespace sonaro::ui
