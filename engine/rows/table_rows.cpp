#include "engine/rows/table_rows.h"

#include "engine/catalog/open/open_catalog.h"
#include "engine/rows/grid_page.h"
#include "engine/rows/row_reader.h"
#include "engine/rows/table_rows_text.h"

namespace tollamer {

TableGridPage ReadTableRows(CMdfDatabase& db, const FormatProfile& profile, uint32_t table_id,
                            int32_t grid_page) {
  TableGridPage grid;
  std::optional<TableRecordWalk> walk = TableRecordWalk::Prepare(db, profile, table_id);
  if (!walk) return grid;
  for (const auto& [colid, column] : walk->Table().columns) grid.titles.push_back(column.name);
  const DataPageList* pages = walk->FindPages();
  // A table without a page list shows one empty grid page.
  grid.pageCount = pages ? profile.GridPageCount(pages->size()) : 1;
  if (!pages) return grid;
  walk->WalkPages(GridPageEntries(*pages, grid_page), [&](const TableRecord& record) {
    if (std::optional<std::vector<std::string>> row = RecordTexts(db, *walk, record))
      grid.rows.push_back(std::move(*row));
    return true;
  });
  return grid;
}

TableGridPage ShowTableData(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                            int32_t grid_page) {
  if (const FormatProfile* profile = ProfileFor(version))
    return ReadTableRows(db, *profile, table_id, grid_page);
  TableGridPage grid;
  auto it = db.catalog.tables.find(table_id);
  if (it == db.catalog.tables.end()) return grid;
  for (const auto& [colid, column] : it->second.columns) grid.titles.push_back(column.name);
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
