#include "engine/catalog/sql2000/system_table_index2000.h"

#include "engine/catalog/collation.h"
#include "engine/catalog/sql2000/lookup_bounds2000.h"
#include "engine/catalog/sql2000/system_page_rows2000.h"
#include "engine/catalog/sql2000/system_rows2000.h"
#include "engine/catalog/sql2000/system_rows2000_layout.h"

namespace tollamer::sql2000 {

SystemTableIndex2000 SystemTableIndex2000::Build(const PageStore& store,
                                                 const SystemPages2000& pages) {
  SystemTableIndex2000 index;

  ForEachSlotRow(store, pages.sysindexes, offset_limit::kBelowPageEnd, [&](const SlotRow& r) {
    std::optional<SysIndexesRow> row = ReadSysIndexesRow(r.row);
    if (row && row->DescribesData()) index.rowCounts_.emplace(row->id, row->rowCount);
    return true;
  });

  ForEachSlotRowOfFirstPage(store, pages.sysusers, offset_limit::kAny, [&](const SlotRow& r) {
    std::optional<uint16_t> uid = ReadSysUsersUid(r.row);
    if (uid && !index.owners_.contains(*uid)) index.owners_.emplace(*uid, ReadSysUsersName(r.row));
    return true;
  });

  ForEachSlotRow(store, pages.systypes, offset_limit::kAny, [&](const SlotRow& r) {
    std::optional<SysTypesRow> row = ReadSysTypesRow(r.row);
    if (!row) return true;
    auto key = std::make_pair(row->xtype, row->xusertype);
    if (!index.typeNames_.contains(key)) index.typeNames_.emplace(key, ReadSysTypesName(r.row));
    return true;
  });

  ForEachSlotRow(store, pages.syscolumns, offset_limit::kUpToPageEnd, [&](const SlotRow& r) {
    std::optional<SysColumnsRow> row = ReadSysColumnsRow(r.row);
    if (!row) return true;
    std::map<uint16_t, ColumnInfo>& columns = index.columns_[row->id];
    if (!columns.contains(row->column.colid))
      columns.emplace(row->column.colid,
                      FinishColumn(*row, index.TypeName(row->column.xtype, row->column.xusertype)));
    return true;
  });

  const uint16_t code_page = DatabaseCodePage(store);
  ForEachSlotRow(store, pages.syscomments, offset_limit::kUpToPageEnd, [&](const SlotRow& r) {
    if (r.header->slotCnt > syscomments::kMaxSlots) return true;
    std::optional<uint32_t> id = ReadSysCommentsId(r.row);
    if (!id) return true;
    std::optional<std::string> text = ReadSysCommentsText(r.row, code_page);
    if (text) index.texts_[*id] += *text;
    return true;
  });

  return index;
}

std::optional<uint64_t> SystemTableIndex2000::RowCount(uint32_t id) const {
  auto it = rowCounts_.find(id);
  if (it == rowCounts_.end()) return std::nullopt;
  return it->second;
}

std::string SystemTableIndex2000::OwnerName(uint16_t uid) const {
  auto it = owners_.find(uid);
  return it == owners_.end() ? std::string() : it->second;
}

std::string SystemTableIndex2000::TypeName(uint8_t xtype, uint16_t xusertype) const {
  auto it = typeNames_.find({xtype, xusertype});
  return it == typeNames_.end() ? std::string() : it->second;
}

std::map<uint16_t, ColumnInfo> SystemTableIndex2000::Columns(uint32_t id) const {
  auto it = columns_.find(id);
  return it == columns_.end() ? std::map<uint16_t, ColumnInfo>() : it->second;
}

std::string SystemTableIndex2000::DefinitionText(uint32_t id) const {
  auto it = texts_.find(id);
  return it == texts_.end() ? std::string() : it->second;
}

}  // namespace tollamer::sql2000
