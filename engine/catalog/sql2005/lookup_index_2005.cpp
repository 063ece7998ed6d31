#include "engine/catalog/sql2005/lookup_index_2005.h"

#include "engine/catalog/sql2005/system_row_layout_2005.h"
#include "engine/catalog/sql2005/system_rows_2005.h"

namespace tollamer::sql2005 {

namespace {
constexpr uint16_t kDboSchemaId = 1;
}  // namespace

LookupIndex2005 LookupIndex2005::Build(const PageStore& store, const SystemPages2005& lists) {
  LookupIndex2005 index;
  ForEachSystemRow(store, lists.sysscalartypes, AnySlot, [&](ByteView page, uint16_t offset) {
    if (auto row = DecodeScalarTypeRow(page, offset); row && !index.type_names_.contains(row->id))
      index.type_names_.emplace(row->id, ScalarTypeName(page, offset));
    return true;
  });

  if (!lists.sysclsobjs.empty()) {
    SystemPageList first_page;
    first_page.Append(*lists.sysclsobjs.begin());
    ForEachSystemRow(store, first_page, AnySlot, [&](ByteView page, uint16_t offset) {
      auto row = DecodeClsObjRow(page, offset);
      if (row && row->cls == row_layout::clsobjs::kClassSchema &&
          !index.schema_names_.contains(row->id))
        index.schema_names_.emplace(row->id, ClsObjName(page, offset));
      return true;
    });
  }

  ForEachSystemRow(store, lists.sysrowsets, AnySlot, [&](ByteView page, uint16_t offset) {
    if (auto row = DecodeRowsetRow(page, offset))
      index.row_counts_.try_emplace(row->idMajor, row->rcRows);
    return true;
  });
  return index;
}

std::string LookupIndex2005::LookupTypeName2005(uint32_t type_id) const {
  auto it = type_names_.find(type_id);
  return it == type_names_.end() ? std::string() : it->second;
}

std::string LookupIndex2005::LookupSchemaName2005(uint16_t schema_id) const {
  auto it = schema_names_.find(uint32_t{schema_id});
  if (it != schema_names_.end()) return it->second;
  // Schema 1 is dbo in every database, named or not in a file whose
  // sysclsobjs rows are lost.
  return schema_id == kDboSchemaId ? std::string("dbo") : std::string();
}

std::optional<uint64_t> LookupIndex2005::LookupRowCount2005(uint32_t object_id) const {
  auto it = row_counts_.find(object_id);
  if (it == row_counts_.end()) return std::nullopt;
  return it->second;
}

}  // namespace tollamer::sql2005
