// Finding the data pages of the nine system base tables through the
// sysallocunits rows of their in-row allocation units and their IAM pages.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2005 {

struct SystemLocation2005 {
  bool ok = true;        // false: an IAM page or chain proved damaged
  int rowsMatched = 0;   // sysallocunits rows of the nine tables met
  uint64_t pagesScreened = 0;
};

// Screens page headers from page 0 for sysallocunits data pages (header
// version 1, type 1, m_objId 7) and follows each in-row unit of the nine
// tables: the IAM page's single-page slots, then the extents its chain
// marks (whatever pcused says); plausible pages are appended to the table's
// list. Stops after the page on which the ninth matching row was met.
// A unit whose IAM page has file id 0 counts but adds nothing. Fails when a
// named IAM page is not of type 10 (or cannot be read, or fails its check),
// its chain breaks or loops, or a single-page slot names a page of another
// unit. Only appends to `lists`.
SystemLocation2005 LocateSystemTables2005(const PageStore& store, SystemPages2005& lists);

// Appends every page named in `slots` whose header passes the plausibility
// test. False when a slot names a page whose header names another unit
// than `unit`, or an IAM page: the slots of an IAM page name its unit's own
// data and index pages only.
bool CollectSinglePages2005(const PageStore& store, const std::vector<uint64_t>& slots,
                            uint64_t unit, SystemPageList& list);
// Appends every plausible page of the extents that names `unit`, in extent
// order (a page of another unit there is one not yet reused since its
// extent changed hands).
void CollectExtentPages2005(const PageStore& store, const std::vector<uint64_t>& extents,
                            uint64_t unit, SystemPageList& list);

}  // namespace tollamer::sql2005
