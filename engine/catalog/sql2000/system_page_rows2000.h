// Visiting the rows of a system table's pages: each page of the list in
// order, read whole with its torn bits repaired, then its slots in order.
// Pages that cannot be read are skipped.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2000 {

struct SlotRow {
  uint64_t page = 0;
  const PageHeader* header = nullptr;
  uint16_t offset = 0;  // the slot's record offset
  ByteView row;         // from the record's start to the end of the page
};

// Calls `visit` for every slot whose offset is below `offset_limit`; stops
// when `visit` returns false.
void ForEachSlotRow(const PageStore& store, const SystemPageList& list, uint32_t offset_limit,
                    const std::function<bool(const SlotRow&)>& visit);

// The same for the first page of the list only.
void ForEachSlotRowOfFirstPage(const PageStore& store, const SystemPageList& list,
                               uint32_t offset_limit,
                               const std::function<bool(const SlotRow&)>& visit);

}  // namespace tollamer::sql2000
