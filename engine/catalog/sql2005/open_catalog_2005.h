// The SQL 2005/2008 open sequence: locate the system tables through their
// allocation units, fall back to a whole-file scan when that route proves
// damaged, then build the catalog.
#pragma once

#include "engine/catalog/mdf_database.h"
#include "engine/catalog/sql2005/page_owner_2005.h"

namespace tollamer::sql2005 {

struct OpenCatalog2005Result {
  bool usedFallback = false;  // the location failed and every page was scanned
  int allocUnitRowsMatched = 0;
};

// On a failed location gives the system-index-damaged notice through
// db.Messages() before the scan. When the location met fewer than
// nine unit rows (a sysallocunits page lost), the lists it left empty are
// taken from the scan, the others kept; the message follows when the scan
// filled any. The page-owner conflict flag is `conflict`, or the opened
// file's own.
OpenCatalog2005Result OpenCatalog2005(CMdfDatabase& db, PageOwnerConflict& conflict);
OpenCatalog2005Result OpenCatalog2005(CMdfDatabase& db);

}  // namespace tollamer::sql2005
