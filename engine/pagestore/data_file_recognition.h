// Whether an opened file holds SQL Server pages at all. A data file or
// backup, however damaged, keeps page headers that read as such somewhere:
// header version 1 at 0x00, a known page type at 0x01 and the 32 reserved
// bytes at 0x40 all zero (layout in page_layout.h). An
// empty file, random bytes or a text file has none.
#pragma once

#include "engine/pagestore/page_store.h"

namespace tollamer {

// True when at least one page of `store` carries such a header. Stops at
// the first one; reads every page header of a file that has none.
bool HoldsDataPages(const PageStore& store);

}  // namespace tollamer
