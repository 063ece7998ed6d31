// The data pages of a SQL 2005+ file filed by the allocation unit their
// header names. A page header carries the unit id split in two: m_objId
// (offset 0x18, 4 bytes) is bits 16..47 and m_indexId (offset 0x06,
// 2 bytes) bits 48..63 of the unit id; bits 0..15 are zero. So a table's
// pages can be found without its IAM page or its sysallocunits row once its
// unit id is known, or derived: the in-row unit of a rowset has the
// rowset's own id.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "engine/pagestore/page_header.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2005 {

constexpr uint64_t UnitIdOfHeader(const PageHeader& h) {
  return (uint64_t{h.indexId} << 48) | (uint64_t{h.objId} << 16);
}
// The m_objId that the pages of the unit carry.
constexpr uint32_t HeaderObjIdOfUnit(uint64_t unit_id) {
  return static_cast<uint32_t>(unit_id >> 16);
}

class UnitPages2005 {
 public:
  // One pass over every page header: data pages (header version 1, type 1)
  // in ascending page order per unit id.
  static UnitPages2005 Scan(const PageStore& store);

  // Null when no data page names the unit.
  const std::vector<uint64_t>* PagesOf(uint64_t unit_id) const;
  // Every unit id a data page names, ascending.
  std::vector<uint64_t> UnitIds() const;

 private:
  std::unordered_map<uint64_t, std::vector<uint64_t>> pages_;
};

}  // namespace tollamer::sql2005
