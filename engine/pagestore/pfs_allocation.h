// Whether a page is allocated, by the PFS pages of the file. A PFS page
// that cannot be read, does not look like one, or fails its checksum or
// torn bits answers "allocated" for all its pages: a damaged allocation map
// never hides rows.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "engine/pagestore/page.h"
#include "engine/pagestore/page_store.h"

namespace tollamer {

class PfsAllocation {
 public:
  explicit PfsAllocation(const PageStore& store) : store_(&store) {}
  // False only when a plausible PFS page marks the page (a page key,
  // page_address.h) not allocated.
  bool IsAllocated(uint64_t page_key);

 private:
  const PageStore* store_;
  std::map<uint64_t, std::optional<Page>> pfs_;  // by PFS page number; nothing: not usable
};

}  // namespace tollamer
