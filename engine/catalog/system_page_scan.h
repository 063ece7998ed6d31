// The damaged-catalog fallback: when the system tables' own allocation
// structures cannot be followed, every page header of the file is read and
// each data page is filed under the system table that its m_objId names.
// A page is filed by m_objId alone: m_indexId, the plausibility test and the
// page's own m_pageId are not looked at. Lists come out in ascending page
// order, each page at most once.
#pragma once

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/page_store.h"

namespace tollamer {

// Empties the seven lists, then files pages with header version 1 and type 1
// under objects 1, 2, 3, 4, 6 and 10, and every page whose m_objId is 20
// under object 20 whatever its version and type.
void ScanSystemPages2000(const PageStore& store, SystemPages2000& lists);

// Empties the nine lists, then files pages with header version 1 and type 1
// under the system base table their m_objId names.
void ScanSystemPages2005(const PageStore& store, SystemPages2005& lists);

}  // namespace tollamer
