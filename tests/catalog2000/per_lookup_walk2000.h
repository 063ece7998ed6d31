// The catalog lookups done the plain way: every lookup walks its system
// table's pages again and stops at the first match. The one-pass index must
// give exactly these answers.
#pragma once

#include "engine/catalog/sql2000/catalog_lookups2000.h"
#include "engine/catalog/sql2000/lookup_bounds2000.h"
#include "engine/catalog/sql2000/system_page_rows2000.h"
#include "engine/catalog/sql2000/system_rows2000.h"
#include "engine/catalog/sql2000/system_rows2000_layout.h"

namespace tollamer::testing2000 {

class PerLookupWalk2000 final : public sql2000::CatalogLookups2000 {
 public:
  PerLookupWalk2000(const PageStore& store, const SystemPages2000& pages)
      : store_(store), pages_(pages) {}

  uint64_t RowCount(uint32_t id) const override {
    uint64_t count = 0;
    sql2000::ForEachSlotRow(store_, pages_.sysindexes, sql2000::offset_limit::kBelowPageEnd,
                            [&](const sql2000::SlotRow& r) {
                              auto row = sql2000::ReadSysIndexesRow(r.row);
                              if (!row || row->id != id || !row->DescribesData()) return true;
                              count = row->rowCount;
                              return false;
                            });
    return count;
  }

  std::string OwnerName(uint16_t uid) const override {
    std::string name;
    sql2000::ForEachSlotRowOfFirstPage(store_, pages_.sysusers, sql2000::offset_limit::kAny,
                                       [&](const sql2000::SlotRow& r) {
                                         if (sql2000::ReadSysUsersUid(r.row) != uid) return true;
                                         name = sql2000::ReadSysUsersName(r.row);
                                         return false;
                                       });
    return name;
  }

  std::string TypeName(uint8_t xtype, uint16_t xusertype) const override {
    std::string name;
    sql2000::ForEachSlotRow(store_, pages_.systypes, sql2000::offset_limit::kAny,
                            [&](const sql2000::SlotRow& r) {
                              auto row = sql2000::ReadSysTypesRow(r.row);
                              if (!row || row->xtype != xtype || row->xusertype != xusertype)
                                return true;
                              name = sql2000::ReadSysTypesName(r.row);
                              return false;
                            });
    return name;
  }

  std::map<uint16_t, ColumnInfo> Columns(uint32_t id) const override {
    std::map<uint16_t, ColumnInfo> columns;
    sql2000::ForEachSlotRow(store_, pages_.syscolumns, sql2000::offset_limit::kUpToPageEnd,
                            [&](const sql2000::SlotRow& r) {
                              if (sql2000::ReadSysColumnsId(r.row) != id) return true;
                              auto row = sql2000::ReadSysColumnsRow(r.row);
                              if (!row || columns.contains(row->column.colid)) return true;
                              columns.emplace(row->column.colid,
                                              sql2000::FinishColumn(*row, TypeName(row->column.xtype,
                                                                                   row->column.xusertype)));
                              return true;
                            });
    return columns;
  }

  std::string DefinitionText(uint32_t id) const override {
    std::string text;
    sql2000::ForEachSlotRow(store_, pages_.syscomments, sql2000::offset_limit::kUpToPageEnd,
                            [&](const sql2000::SlotRow& r) {
                              if (r.header->slotCnt > sql2000::syscomments::kMaxSlots) return true;
                              if (sql2000::ReadSysCommentsId(r.row) != id) return true;
                              if (auto piece = sql2000::ReadSysCommentsText(r.row)) text += *piece;
                              return true;
                            });
    return text;
  }

 private:
  const PageStore& store_;
  const SystemPages2000& pages_;
};

}  // namespace tollamer::testing2000
