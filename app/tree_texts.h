// The texts of the object tree and how an item's text leads back to a
// catalog object. No Qt here: the rules are plain string work.
#pragma once

#include <optional>
#include <string>

#include "engine/catalog/catalog_model.h"

namespace tollamer::app {

// The five category items under the root, in their order.
enum class Category { kTables, kViews, kProcedures, kFunctions, kUserTypes };
inline constexpr const char* kCategoryLabels[] = {"表", "视图", "存储过程", "用户自定义函数",
                                                  "用户自定义数据类型"};

const char* CategoryLabel(Category c);
// The category whose label `parent_text` is; nothing for the root and for
// the category items themselves.
std::optional<Category> CategoryOfParent(const std::string& parent_text);

// dbo.Orders(15 Records)
std::string TableItemText(const TableInfo& table);
// [Name][varchar](50) NULL
std::string ColumnItemText(const ColumnInfo& column);

// An item's object name: its text, cut before the first "(" when that "("
// stands after the first "." (positions as found, -1 when absent).
std::string ObjectNameOfItem(const std::string& item_text);

}  // namespace tollamer::app
