// Which pages of a list have a data page's type, for the data page lists
// of tables: the header of every page of a table's extents is asked, which
// on a file not yet noted page by page (PageStore::NotePageKinds) is one
// small read per page. A long list is asked on several threads, each its
// own part, as every read is positioned and the store is only read.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/pagestore/page_store.h"

namespace tollamer {

// One flag per entry of `pages`: 1 when the page's type (the store's
// notes, else its header: PageStore::IsDataPage, then KindOf) is a data
// page's, 0 otherwise or when it cannot be read.
std::vector<uint8_t> DataPageFlags(const PageStore& store, std::span<const uint64_t> pages);

}  // namespace tollamer
