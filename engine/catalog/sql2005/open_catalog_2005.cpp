#include "engine/catalog/sql2005/open_catalog_2005.h"

#include "engine/catalog/collation.h"
#include "engine/catalog/sql2005/build_catalog_2005.h"
#include "engine/catalog/sql2005/locate_system_tables_2005.h"
#include "engine/catalog/sql2005/system_tables_2005.h"
#include "engine/catalog/system_page_scan.h"

namespace tollamer::sql2005 {

namespace {

// True when a list was filled.
bool FillEmptyLists(SystemPages2005& lists, SystemPages2005& scanned) {
  bool filled = false;
  auto fill = [&](const SystemTable2005& t) {
    SystemPageList* list = lists.ForObject(t.objectId);
    const SystemPageList* found = scanned.ForObject(t.objectId);
    if (!list || !found || !list->empty() || found->empty()) return;
    *list = *found;
    filled = true;
  };
  for (const SystemTable2005& t : kSystemTables2005) fill(t);
  for (const SystemTable2005& t : kLayoutTables2005) fill(t);
  return filled;
}

}  // namespace

OpenCatalog2005Result OpenCatalog2005(CMdfDatabase& db, PageOwnerConflict& conflict) {
  OpenCatalog2005Result result;
  SystemLocation2005 location = LocateSystemTables2005(db.Store(), db.systemPages2005);
  result.allocUnitRowsMatched = location.rowsMatched;
  if (!location.ok) {
    db.Messages().Notify(EngineNotice::kSystemIndexDamaged);
    ScanSystemPages2005(db.Store(), db.systemPages2005);
    result.usedFallback = true;
  } else if (location.rowsMatched < kSystemRowsWanted) {
    // A sysallocunits page is lost (zeroed, overwritten): the system tables
    // whose unit rows it held have no pages, sysallocunits itself perhaps
    // among them. Their lists are taken from the file's pages, filed by the
    // m_objId of their headers; the lists the route found stay as they are.
    SystemPages2005 scanned;
    ScanSystemPages2005(db.Store(), scanned);
    result.usedFallback = FillEmptyLists(db.systemPages2005, scanned);
    if (result.usedFallback) db.Messages().Notify(EngineNotice::kSystemIndexDamaged);
  } else if (db.systemPages2005.sysschobjs.empty()) {
    // Every database has sysschobjs pages: a route that locates none went
    // through damaged sysallocunits pages (overwritten, zeroed). The file's
    // own pages are asked instead when they hold any.
    SystemPages2005 scanned;
    ScanSystemPages2005(db.Store(), scanned);
    if (!scanned.sysschobjs.empty()) {
      db.Messages().Notify(EngineNotice::kSystemIndexDamaged);
      db.systemPages2005 = scanned;
      result.usedFallback = true;
    }
  }
  BuildCatalog2005(db, conflict);
  ResolveColumnCodePages(db.catalog, DatabaseCodePage(db.Store()));
  db.catalog.collationId = DatabaseCollation(db.Store()).value_or(0);
  return result;
}

OpenCatalog2005Result OpenCatalog2005(CMdfDatabase& db) {
  return OpenCatalog2005(db, db.pageOwnerConflict);
}

}  // namespace tollamer::sql2005
