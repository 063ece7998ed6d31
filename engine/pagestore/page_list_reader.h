// Reading the pages of a page list in list order. Entries that name
// consecutive pages (the usual case: a table's extents lie one after the
// other) are read with one sequential read of up to a block; every page is
// handed out with its torn bits repaired, as PageStore::ReadPage gives it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "engine/pagestore/page_store.h"

namespace tollamer {

class PageListReader {
 public:
  static constexpr size_t kBlockPages = 64;  // 512 KiB per read

  explicit PageListReader(const PageStore& store) : store_(store) {}

  // `visit(page_number, page)` for every entry in order; `page` is null for
  // a page that could not be read, and valid only during the call. Returns
  // false when `visit` returned false.
  bool ForEach(std::span<const uint64_t> pages,
               const std::function<bool(uint64_t, const ByteView*)>& visit);

 private:
  const PageStore& store_;
  std::vector<uint8_t> block_;  // kept from call to call
};

}  // namespace tollamer
