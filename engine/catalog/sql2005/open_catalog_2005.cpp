#include "engine/catalog/sql2005/open_catalog_2005.h"

#include "engine/catalog/collation.h"
#include "engine/catalog/sql2005/build_catalog_2005.h"
#include "engine/catalog/sql2005/locate_system_tables_2005.h"
#include "engine/catalog/sql2005/system_tables_2005.h"
#include "engine/catalog/system_page_scan.h"

namespace tollamer::sql2005 {

OpenCatalog2005Result OpenCatalog2005(CMdfDatabase& db, PageOwnerConflict& conflict) {
  OpenCatalog2005Result result;
  SystemLocation2005 location = LocateSystemTables2005(db.Store(), db.systemPages2005);
  result.allocUnitRowsMatched = location.rowsMatched;
  if (!location.ok) {
    db.Messages().ShowStop(kSystemIndexDamagedMessage);
    ScanSystemPages2005(db.Store(), db.systemPages2005);
    result.usedFallback = true;
  } else if (db.systemPages2005.sysschobjs.empty()) {
    // Every database has sysschobjs pages: a route that locates none went
    // through damaged sysallocunits pages (overwritten, zeroed). The file's
    // own pages are asked instead when they hold any.
    SystemPages2005 scanned;
    ScanSystemPages2005(db.Store(), scanned);
    if (!scanned.sysschobjs.empty()) {
      db.Messages().ShowStop(kSystemIndexDamagedMessage);
      db.systemPages2005 = scanned;
      result.usedFallback = true;
    }
  }
  BuildCatalog2005(db, conflict);
  ResolveColumnCodePages(db.catalog, DatabaseCodePage(db.Store()));
  return result;
}

}  // namespace tollamer::sql2005
