#include "app/deleted_rows_node.h"

#include "engine/rows/deleted_rows.h"
#include "output/csv_format.h"
#include "output/data_export.h"
#include "output/deleted_export.h"

namespace tollamer::app {

std::string DeletedRowsItemText(uint64_t count) {
  return std::string(kDeletedRowsLabel) + "(" + std::to_string(count) + ")";
}

bool IsDeletedRowsItemText(const std::string& text) {
  return text.rfind(kDeletedRowsLabel, 0) == 0;
}

DeletedRowsByTable CollectDeletedRows(CMdfDatabase& db, VersionSetting version, size_t keep) {
  DeletedRowsByTable out;
  if (version == VersionSetting::kNone) return out;
  const LeftoverPages leftovers = FindLeftoverPages(db, version, false);
  for (const auto& [id, table] : db.catalog.tables) {
    if (table.columns.empty() || !db.dataPageLists.contains(id)) continue;
    DeletedRowsOfTable shown;
    DeletedRowStats stats;
    ForEachDeletedRow(db, version, id, leftovers, [&](const DeletedRow& row) {
      if (shown.rows.size() < keep) {
        std::vector<std::string> cells;
        for (const TypedValue& v : DeletedRowValues(row))
          cells.push_back(v.IsNull() ? "NULL" : ExportText(v));
        shown.rows.push_back(std::move(cells));
      }
      return true;
    }, stats);
    if (stats.rows == 0) continue;
    shown.found = stats.rows;
    shown.titles = ColumnNames(DeletedRowsTable(table, table.fullName));
    out.emplace(id, std::move(shown));
  }
  return out;
}

}  // namespace tollamer::app
