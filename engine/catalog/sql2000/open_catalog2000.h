// The SQL 7.0/2000 open sequence: locate the system tables through their
// allocation records, fall back to filing every page of the file by its
// object id when those are damaged, then build the catalog.
#pragma once

#include "engine/catalog/mdf_database.h"

namespace tollamer {

struct OpenResult2000 {
  bool usedFallback = false;  // the system tables were found by the whole-file scan
};

// Fills db.systemPages2000 and db.catalog (both emptied first). Shows no
// message; the caller reports the result.
OpenResult2000 OpenCatalog2000(CMdfDatabase& db);

}  // namespace tollamer
