#include "engine/catalog/sql2000/open_catalog2000.h"

#include "engine/catalog/collation.h"
#include "engine/catalog/inferred_columns.h"
#include "engine/catalog/sql2000/table_pages2000.h"
#include "engine/catalog/sql2000/catalog_builder2000.h"
#include "engine/catalog/sql2000/constraints2000.h"
#include "engine/catalog/sql2000/locate_system_tables2000.h"
#include "engine/catalog/sql2000/system_table_index2000.h"
#include "engine/catalog/system_page_scan.h"

namespace tollamer {

OpenResult2000 OpenCatalog2000(CMdfDatabase& db) {
  OpenResult2000 result;
  db.systemPages2000.Clear();
  db.catalog.Clear();
  if (!LocateSystemTables2000(db.Store(), db.systemPages2000)) {
    ScanSystemPages2000(db.Store(), db.systemPages2000);
    result.usedFallback = true;
  } else if (db.systemPages2000.sysobjects.empty()) {
    // Every database has sysobjects pages: a route that locates none went
    // through a damaged sysindexes page (overwritten, zeroed), so the
    // file's own pages are asked instead. A file that has none keeps the
    // empty catalog.
    ScanSystemPages2000(db.Store(), db.systemPages2000);
    result.usedFallback = !db.systemPages2000.sysobjects.empty();
  }
  sql2000::SystemTableIndex2000 index =
      sql2000::SystemTableIndex2000::Build(db.Store(), db.systemPages2000);
  sql2000::BuildCatalog2000(db.Store(), db.systemPages2000, index, db.catalog);
  sql2000::ReadConstraints2000(db.Store(), db.systemPages2000, index, db.catalog);
  ResolveColumnCodePages(db.catalog, DatabaseCodePage(db.Store()));
  db.catalog.collationId = DatabaseCollation(db.Store()).value_or(0);
  // A table whose syscolumns rows were lost with their page: its columns are
  // read off its own records, so that its rows still come out.
  for (auto& [id, table] : db.catalog.tables) {
    if (!table.columns.empty()) continue;
    if (!LocateTablePages2000(db, id)) ScanFileForTable2000(db, id, false);
    if (auto list = db.dataPageLists.find(id); list != db.dataPageLists.end())
      InferColumnsFromRecords(db.Store(), list->second, table);
  }
  return result;
}

}  // namespace tollamer
