#include "engine/catalog/mdf_database.h"

#include "engine/catalog/database_files.h"

namespace tollamer {

std::vector<uint32_t> TablesWithoutDataPages(const CMdfDatabase& db) {
  std::vector<uint32_t> ids;
  for (const auto& [id, table] : db.catalog.tables) {
    if (table.rowCount.value_or(0) == 0) continue;
    auto list = db.dataPageLists.find(id);
    if (list == db.dataPageLists.end() || list->second.empty()) ids.push_back(id);
  }
  return ids;
}

void CMdfDatabase::FindDatabaseFiles() { tollamer::FindDatabaseFiles(store_); }

void CMdfDatabase::Teardown() {
  systemPages2000.Clear();
  catalog.Clear();
  dataPageLists.clear();
  systemPages2005.Clear();
  pageOwnerMap.clear();
  pageOwnerConflict.Reset();
  store_.Close();
}

}  // namespace tollamer
