#include "app/object_tree_view.h"

#include <QContextMenuEvent>
#include <QMenu>

#include "app/command_ids.h"
#include "engine/catalog/table_lookup.h"

namespace tollamer::app {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

struct MenuItem {
  int id;
  const char* text;
};

// The context menus of the five categories.
const std::vector<MenuItem>& MenuOf(Category c) {
  static const std::vector<MenuItem> tables = {
      {kCmdFindTable, "查找表"},
      {kCmdTreeExportAllTableStructures, "导出所有表结构"},
      {kCmdTreeExportSelectedTableStructure, "导出选中表结构"},
      {kCmdTreeExportAllData, "导出所有数据"},
      {kCmdTreeExportSelectedTableData, "导出选中表数据"},
      {kCmdScanAllTables, "扫描文件,提取所有表数据"},
      {kCmdTreeImportSelectedTable, "把选中表导入数据库"}};
  static const std::vector<MenuItem> views = {{kCmdExportThisView, "导出此视图"},
                                              {kCmdExportAllViews, "导出所有视图"}};
  static const std::vector<MenuItem> procedures = {{kCmdExportThisProcedure, "导出此存储过程"},
                                                   {kCmdExportAllProcedures, "导出所有存储过程"}};
  static const std::vector<MenuItem> functions = {{kCmdExportThisFunction, "导出此函数"},
                                                  {kCmdExportAllFunctions, "导出所有自定义函数"}};
  static const std::vector<MenuItem> types = {{kCmdExportThisType, "导出此数据类型"},
                                              {kCmdExportAllTypes, "导出所有自定义数据类型"}};
  switch (c) {
    case Category::kTables: return tables;
    case Category::kViews: return views;
    case Category::kProcedures: return procedures;
    case Category::kFunctions: return functions;
    case Category::kUserTypes: return types;
  }
  return tables;
}

}  // namespace

CFview::CFview(QWidget* parent) : QTreeWidget(parent) {
  setObjectName(QString::number(kIdTree));
  setHeaderHidden(true);
  setRootIsDecorated(true);
}

void CFview::Fill(const QString& file_path, const Catalog& catalog,
                  const DeletedRowsByTable& deleted) {
  clear();
  auto* root = new QTreeWidgetItem(this, QStringList(file_path));
  for (const char* label : kCategoryLabels)
    new QTreeWidgetItem(root, QStringList(QString::fromUtf8(label)));

  QTreeWidgetItem* tables = CategoryItem(Category::kTables);
  for (const auto& [id, table] : catalog.tables) {
    auto* item = new QTreeWidgetItem(tables, QStringList(Q(TableItemText(table))));
    item->setData(0, kTableIdRole, QVariant::fromValue(id));
    for (const auto& [colid, column] : table.columns)
      new QTreeWidgetItem(item, QStringList(Q(ColumnItemText(column))));
    if (auto d = deleted.find(id); d != deleted.end())
      new QTreeWidgetItem(item, QStringList(Q(DeletedRowsItemText(d->second.found))));
  }
  auto add_modules = [&](Category c, const std::vector<ModuleInfo>& list) {
    for (const ModuleInfo& m : list) new QTreeWidgetItem(CategoryItem(c), QStringList(Q(m.fullName)));
  };
  add_modules(Category::kViews, catalog.views);
  add_modules(Category::kProcedures, catalog.procedures);
  add_modules(Category::kFunctions, catalog.functions);
  for (const UserTypeInfo& t : catalog.userTypes)
    new QTreeWidgetItem(CategoryItem(Category::kUserTypes), QStringList(Q(t.name)));
  root->setExpanded(true);
  tables->setExpanded(true);
}

QTreeWidgetItem* CFview::CategoryItem(Category c) const {
  QTreeWidgetItem* root = topLevelItem(0);
  return root ? root->child(static_cast<int>(c)) : nullptr;
}

const TableInfo* CFview::TableOf(const Catalog& catalog, const QTreeWidgetItem* item) {
  if (!item) return nullptr;
  const QVariant id = item->data(0, kTableIdRole);
  if (id.isValid()) {
    auto it = catalog.tables.find(id.value<uint32_t>());
    return it == catalog.tables.end() ? nullptr : &it->second;
  }
  return FindTableByName(catalog, ObjectNameOfItem(item->text(0).toStdString()));
}

QTreeWidgetItem* CFview::TargetItem() const {
  return right_clicked_ ? right_clicked_ : currentItem();
}

std::optional<CFview::ObjectRef> CFview::ObjectOf(const QTreeWidgetItem* item) {
  if (!item || !item->parent()) return std::nullopt;
  std::optional<Category> c = CategoryOfParent(item->parent()->text(0).toStdString());
  if (!c) return std::nullopt;
  std::string text = item->text(0).toStdString();
  return ObjectRef{*c, ObjectNameOfItem(text), text};
}

void CFview::contextMenuEvent(QContextMenuEvent* event) {
  // The menu's category is that of the item selected before the click; the
  // object is the right-clicked item, which becomes the selection.
  std::optional<ObjectRef> before = ObjectOf(currentItem());
  if (!before) return;
  right_clicked_ = itemAt(viewport()->mapFromGlobal(event->globalPos()));
  QTreeWidgetItem* target = TargetItem();
  if (target) setCurrentItem(target);
  right_clicked_ = nullptr;
  std::optional<ObjectRef> object = ObjectOf(target);
  if (!object || object->name.empty()) return;

  QMenu menu(this);
  for (const MenuItem& m : MenuOf(before->category)) {
    QAction* a = menu.addAction(QString::fromUtf8(m.text));
    a->setData(m.id);
    if (m.id == kCmdScanAllTables) a->setEnabled(!page_owner_conflict_);
  }
  if (QAction* chosen = menu.exec(event->globalPos())) emit commandRequested(chosen->data().toInt());
  event->accept();
}

}  // namespace tollamer::app
