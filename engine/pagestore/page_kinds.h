// What the page lists of tables are built from: each page's type and
// object id, as its header gives them. Building the lists of many tables
// asks this of every page of their extents, table after table; the extents
// of many tables lie interleaved over the whole file, so that on a cold
// cache each ask would be a seek. Noted for every page in one pass over the
// file in file order (PageStore::NotePageKinds), the asks are answered
// from memory: 8 bytes a page, 1 MiB for a file of 1 GiB.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/pagestore/page_header.h"

namespace tollamer {

struct PageKind {
  uint8_t type = 0;    // PageHeader::type
  uint32_t objId = 0;  // PageHeader::objId

  bool HasType(page_layout::PageType t) const { return type == static_cast<uint8_t>(t); }
};

// Whether the lists of `tables` tables, asking the kinds of about `asked`
// pages, are better built after one pass over the file's `held` pages: the
// extents of two tables or more growing side by side interleave, and each
// table's asks then hop over the others' extents (on a cold cache, each
// table a read of the whole span it covers). The pass pays when the pages
// asked are a good part of the file.
inline bool KindPassPays(size_t tables, uint64_t asked, uint64_t held) {
  return tables >= 2 && asked >= held / 4;
}

class PageKindNotes {
 public:
  void Reset(uint64_t pages) { entries_ = std::vector<Entry>(pages); }
  bool Empty() const { return entries_.empty(); }
  void Note(uint64_t page, const PageHeader& header) {
    if (page < entries_.size()) entries_[page] = {header.objId, header.type, true};
  }
  // Nothing when the page was not noted (not held, or its read failed).
  std::optional<PageKind> Of(uint64_t page) const {
    if (page >= entries_.size() || !entries_[page].noted) return std::nullopt;
    return PageKind{entries_[page].type, entries_[page].objId};
  }

 private:
  struct Entry {
    uint32_t objId = 0;
    uint8_t type = 0;
    bool noted = false;
  };
  std::vector<Entry> entries_;
};

}  // namespace tollamer
