// Items of tree boxes (in stored order) and rows of list views, addressed by window and unit ID.
#include "ui/window_system.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/gbk.h"
#include "ui/widgets.h"

namespace sonaro::ui {

// --- trees and lists ----------------------------------------------------------------------------

int TreeItemCount(uint32_t windowId, uint32_t unitId) {
  auto* tree = dynamic_cast<CatalogueTree*>(FindControl(windowId, unitId));
  return tree ? tree->StoredCount() : 0;
}

std::string TreeItemText(uint32_t windowId, uint32_t unitId, int index) {
  auto* tree = dynamic_cast<CatalogueTree*>(FindControl(windowId, unitId));
  QTreeWidgetItem* item = tree ? tree->StoredItem(index) : nullptr;
  return item ? core::ToGbk(item->text(0)) : std::string();
}

int TreeItemLevel(uint32_t windowId, uint32_t unitId, int index) {
  auto* tree = dynamic_cast<CatalogueTree*>(FindControl(windowId, unitId));
  return tree ? tree->StoredLevel(index) : 0;
}

int TreeAddItem(uint32_t windowId, uint32_t unitId, const std::string& gbk, int level) {
  auto* tree = dynamic_cast<CatalogueTree*>(FindControl(windowId, unitId));
  if (!tree) return -1;
  tree->AddStoredItem(core::FromGbk(gbk), level);
  return tree->StoredCount() - 1;
}

bool TreeRemoveItemsFrom(uint32_t windowId, uint32_t unitId, int index) {
  auto* tree = dynamic_cast<CatalogueTree*>(FindControl(windowId, unitId));
  if (!tree) return false;
  tree->RemoveStoredItemsFrom(index);
  return true;
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
  return core::ToGbk(item->text(column));
}

std::vector<std::string> ListColumnTexts(uint32_t windowId, uint32_t unitId, int column) {
  std::vector<std::string> texts;
  QTreeWidget* list = FindList(windowId, unitId);
  if (!list || column < 0 || column >= list->columnCount()) return texts;
  const int rows = list->topLevelItemCount();
  texts.reserve(size_t(rows));
  for (int row = 0; row < rows; ++row)
    texts.push_back(core::ToGbk(list->topLevelItem(row)->text(column)));
  return texts;
}

int ListAddRow(uint32_t windowId, uint32_t unitId, std::span<const std::string> cells) {
  QTreeWidget* list = FindList(windowId, unitId);
  if (!list) return -1;
  auto* item = new QTreeWidgetItem(list);
  for (int i = 0; i < list->columnCount() && size_t(i) < cells.size(); ++i) {
    item->setText(i, core::FromGbk(cells[size_t(i)]));
  }
  return list->topLevelItemCount() - 1;  // appended: the last row (no search of the list)
}

bool ListRemoveRow(uint32_t windowId, uint32_t unitId, int row) {
  QTreeWidget* list = FindList(windowId, unitId);
  if (!list || row < 0 || row >= list->topLevelItemCount()) return false;
  delete list->takeTopLevelItem(row);
  return true;
}

}  // namespace sonaro::ui
