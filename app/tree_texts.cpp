#include "app/tree_texts.h"

#include "output/open_log.h"

namespace tollamer::app {

const char* CategoryLabel(Category c) { return kCategoryLabels[static_cast<int>(c)]; }

std::optional<Category> CategoryOfParent(const std::string& parent_text) {
  for (int i = 0; i < 5; ++i)
    if (parent_text == kCategoryLabels[i]) return static_cast<Category>(i);
  return std::nullopt;
}

std::string TableItemText(const TableInfo& t) { return t.fullName + "(" + RecordCountText(t.rowCount); }

std::string ColumnItemText(const ColumnInfo& c) {
  return "[" + c.name + "][" + c.typeName + "]" + c.sizeText + c.nullText;
}

std::string ObjectNameOfItem(const std::string& text) {
  // Positions compared as signed values, -1 when absent: a "(" with no "."
  // before it (or no "." at all) also cuts, since -1 is below any position.
  auto pos = [&](char c) {
    size_t p = text.find(c);
    return p == std::string::npos ? -1L : static_cast<long>(p);
  };
  long paren = pos('(');
  long dot = pos('.');
  if (paren >= 0 && paren > dot) return text.substr(0, static_cast<size_t>(paren));
  return text;
}

}  // namespace tollamer::app
