// The name and count lookups of the SQL 2005/2008 builder, answered from
// indexes built in one pass over each system page list. Each index keeps
// the first row met for a key in list order and slot order, so it answers
// exactly what a walk of the list from its first page would find.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2005 {

class LookupIndex2005 {
 public:
  static LookupIndex2005 Build(const PageStore& store, const SystemPages2005& lists);

  // sysscalartypes: the name of the first row whose id is `type_id`; empty
  // when there is none.
  std::string LookupTypeName2005(uint32_t type_id) const;
  // sysclsobjs, first page of the list only: the first schema row (class
  // 50) whose id is the zero-extended `schema_id`; empty when there is none.
  std::string LookupSchemaName2005(uint16_t schema_id) const;
  // sysrowsets: rcrows of the first row whose idmajor is `object_id`, the
  // index id not looked at; 0 when there is none.
  std::optional<uint64_t> LookupRowCount2005(uint32_t object_id) const;

 private:
  std::unordered_map<uint32_t, std::string> type_names_;
  std::unordered_map<uint32_t, std::string> schema_names_;
  std::unordered_map<uint32_t, uint64_t> row_counts_;
};

}  // namespace tollamer::sql2005
