// Numbered properties of catalogue windows and controls, and the texts read and written through
// them (GBK bytes).
#include "ui/window_system.h"

#include <QAbstractButton>
#include <QByteArray>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>
#include <QTreeWidget>
#include <QVariant>
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/gbk.h"
#include "ui/widgets.h"
#include "ui/window_system_internal.h"

namespace sonaro::ui {

using internal::AsWindow;
using internal::kBorderStyleProperty;

namespace {

QByteArray ToBytes(const std::string& text) {
  return QByteArray(text.data(), qsizetype(text.size()));
}
std::string FromBytes(const QByteArray& bytes) {
  return std::string(bytes.constData(), size_t(bytes.size()));
}
QString GbkToQString(const QVariant& value) {
  const QByteArray bytes = value.toByteArray();
  return core::FromGbk(std::string_view(bytes.constData(), size_t(bytes.size())));
}
QByteArray QStringToGbk(const QString& text) { return ToBytes(core::ToGbk(text)); }

}  // namespace

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

}  // namespace sonaro::ui
