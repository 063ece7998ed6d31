#include "engine/rows/table_rows.h"

#include "engine/catalog/open/open_catalog.h"
#include "engine/rows/grid_page.h"
#include "engine/rows/row_reader.h"
#include "engine/rows/table_rows_text.h"

namespace tollamer {

RowList ReadTableRows(CMdfDatabase& db, const FormatProfile& profile, uint32_t table_id,
                      int32_t grid_page) {
  RowList rows;
  std::optional<TableRecordWalk> walk = TableRecordWalk::Prepare(db, profile, table_id);
  if (!walk) return rows;
  const DataPageList* pages = walk->FindPages();
  if (!pages) return rows;
  walk->WalkPages(GridPageEntries(*pages, grid_page), [&](const TableRecord& record) {
    if (std::optional<std::vector<std::string>> row = RecordTexts(db, *walk, record))
      rows.push_back(std::move(*row));
    return true;
  });
  return rows;
}

TableGridPage ShowTableData(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                            int32_t grid_page) {
  TableGridPage grid;
  auto it = db.catalog.tables.find(table_id);
  if (it == db.catalog.tables.end()) return grid;
  TableInfo& table = it->second;
  for (const auto& [colid, column] : table.columns) grid.titles.push_back(column.name);
  if (table.gridPageCount == 0) return grid;
  const FormatProfile* profile = ProfileFor(version);
  if (!profile) return grid;
  grid.rows = ReadTableRows(db, *profile, table_id, grid_page);
  grid.pageCount = table.gridPageCount;
  return grid;
}

bool ForEachTableRow(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                     const std::function<bool(const std::vector<std::string>&)>& row) {
  std::optional<TableRecordWalk> walk = TableRecordWalk::Prepare(db, version, table_id);
  if (!walk) return false;
  const DataPageList* pages = walk->FindPages();
  if (!pages) return false;
  return walk->WalkPages(*pages, [&](const TableRecord& record) {
    std::optional<std::vector<std::string>> texts = RecordTexts(db, *walk, record);
    return !texts || row(*texts);
  });
}

}  // namespace tollamer
