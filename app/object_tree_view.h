// CFview: the object tree in the left pane. Root = the opened file, five
// category items, the catalog's objects under them (tables with their
// column items).
#pragma once

#include <QTreeWidget>

#include "app/deleted_rows_node.h"
#include "app/tree_texts.h"

namespace tollamer::app {

class CFview : public QTreeWidget {
  Q_OBJECT
 public:
  static constexpr int kIdTree = 1001;

  explicit CFview(QWidget* parent = nullptr);

  // Clears the tree and fills it from the catalog, as the open does.
  // A table with deleted rows gets an item for them after its columns.
  void Fill(const QString& file_path, const Catalog& catalog,
            const DeletedRowsByTable& deleted = {});
  QTreeWidgetItem* CategoryItem(Category c) const;

  // The right-clicked item (Qt has no drop highlight: the item under the
  // cursor at the last right-click), else the selected one.
  QTreeWidgetItem* TargetItem() const;

  // Category and object name of an item; nothing when it is not an object.
  struct ObjectRef {
    Category category;
    std::string name;
    std::string itemText;
  };
  static std::optional<ObjectRef> ObjectOf(const QTreeWidgetItem* item);

  // The table a table item stands for (Fill records its object id); for
  // another item, the table its object name names. Null when none.
  static const TableInfo* TableOf(const Catalog& catalog, const QTreeWidgetItem* item);

 signals:
  // The context menu of an object asked for a command.
  void commandRequested(int command_id);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  static constexpr int kTableIdRole = Qt::UserRole;
  QTreeWidgetItem* right_clicked_ = nullptr;
  bool page_owner_conflict_ = false;

 public:
  void SetPageOwnerConflict(bool on) { page_owner_conflict_ = on; }
};

}  // namespace tollamer::app


