// The widget classes behind catalogue windows and controls.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QTreeWidget>
#include <QWidget>
#include <map>
#include <vector>

#include "ui/catalogue_types.h"
#include "ui/window_system.h"

namespace sonaro::ui {

// A top-level catalogue window: paints its background picture and knows its controls.
class CatalogueWindow : public QWidget {
 public:
  CatalogueWindow(QWidget* owner, Qt::WindowFlags flags) : QWidget(owner, flags) {}

  void SetPicture(const QByteArray& bytes);
  const QByteArray& PictureData() const { return pictureBytes_; }

  const WindowSpec* entry = nullptr;
  std::map<uint32_t, QPointer<QObject>> controls;
  std::map<uint32_t, QPointer<QMenu>> menus;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QByteArray pictureBytes_;
  QImage picture_;
};

// A tree box that remembers its items in stored order, so that an index means the same item
// whatever is expanded.
class CatalogueTree : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;
  void AddStoredItem(const QString& text, int level);
  // Removes the stored items from index on. The selection, if among them, goes with them
  // (nothing is selected then) and no selection event is raised.
  void RemoveStoredItemsFrom(int index);
  int StoredCount() const { return int(stored_.size()); }
  QTreeWidgetItem* StoredItem(int index) const;
  int StoredIndex(const QTreeWidgetItem* item) const;
  int StoredLevel(int index) const;

 private:
  std::vector<QTreeWidgetItem*> stored_;
  std::vector<int> levels_;
  std::vector<QTreeWidgetItem*> lastAtLevel_;
};

// Until the browser subsystem registers its widget, a browser box keeps its address only.
class AddressOnlyBox : public QWidget, public NumberedProperties {
 public:
  using QWidget::QWidget;
  QVariant GetNumbered(int number) const override;
  bool SetNumbered(int number, const QVariant& value) override;

 private:
  QByteArray address_;
};

}  // namespace sonaro::ui
