#include "engine/catalog/sql2000/catalog_builder2000.h"

#include <set>

#include "engine/catalog/sql2000/lookup_bounds2000.h"
#include "engine/catalog/sql2000/system_page_rows2000.h"
#include "engine/catalog/sql2000/system_rows2000.h"
#include "engine/catalog/sql2000/system_rows2000_layout.h"
#include "engine/catalog/type_texts.h"

namespace tollamer::sql2000 {

namespace {

// Objects below this id are the system tables.
constexpr uint32_t kFirstUserObjectId = 100;
constexpr uint16_t kDatabaseOwnerUid = 1;

void AddUserTypes(const PageStore& store, const SystemPageList& systypes,
                  const CatalogLookups2000& lookups, Catalog& catalog) {
  ForEachSlotRow(store, systypes, offset_limit::kAny, [&](const SlotRow& r) {
    std::optional<SysTypesRow> row = ReadSysTypesRow(r.row);
    if (!row || !IsUserDefinedType(*row)) return true;
    TypeShape shape{row->xtype, row->xusertype, row->length, row->xprec, row->xscale};
    UserTypeInfo t;
    t.name = lookups.TypeName(row->xtype, row->xusertype);
    t.baseTypeText = UserTypeBaseText(lookups.TypeName(row->xtype, row->xtype), shape);
    t.nullText = UserTypeNullText(row->status);
    if (row->uid) t.owner = lookups.OwnerName(row->uid);
    catalog.userTypes.push_back(std::move(t));
    return true;
  });
}

bool IsCatalogObject(uint16_t xtype) {
  using namespace sysobjects;
  return xtype == kUserTable || xtype == kView || xtype == kProcedure || xtype == kFunction;
}

void AddObject(const SysObjectsRow& row, const CatalogLookups2000& lookups, Catalog& catalog) {
  using namespace sysobjects;
  switch (row.xtype) {
    case kUserTable: {
      if (catalog.tables.contains(row.id)) return;  // the first row found wins
      TableInfo t;
      t.id = row.id;
      t.fullName = lookups.OwnerName(row.uid) + "." + row.name;
      t.rowCount = lookups.RowCount(row.id);
      t.columns = lookups.Columns(row.id);
      catalog.tables.emplace(row.id, std::move(t));
      return;
    }
    case kView:
      catalog.views.push_back({row.id, lookups.OwnerName(row.uid) + "." + row.name,
                               lookups.DefinitionText(row.id), lookups.OwnerName(row.uid)});
      return;
    case kProcedure:
      catalog.procedures.push_back(
          {row.id, row.name, lookups.DefinitionText(row.id), lookups.OwnerName(row.uid)});
      return;
    case kFunction:
      catalog.functions.push_back(
          {row.id, row.name, lookups.DefinitionText(row.id), lookups.OwnerName(row.uid)});
      return;
    default:
      return;
  }
}

// A table whose sysobjects row is lost with its page still has its
// sysindexes row (heap or clustered index) and its syscolumns rows: it is
// kept under the name table_<id>, owned by the database owner (uid 1).
void AddUndescribedTables(const PageStore& store, const SystemPages2000& pages,
                          const CatalogLookups2000& lookups, const std::set<uint32_t>& described,
                          Catalog& catalog) {
  std::set<uint32_t> ids;
  ForEachSlotRow(store, pages.sysindexes, offset_limit::kBelowPageEnd, [&](const SlotRow& r) {
    std::optional<SysIndexesRow> row = ReadSysIndexesRow(r.row);
    if (row && row->DescribesData() && row->id >= kFirstUserObjectId && !described.count(row->id))
      ids.insert(row->id);
    return true;
  });
  for (uint32_t id : ids) {
    std::map<uint16_t, ColumnInfo> columns = lookups.Columns(id);
    if (columns.empty() || catalog.tables.contains(id)) continue;
    TableInfo t;
    t.id = id;
    t.fullName = lookups.OwnerName(kDatabaseOwnerUid) + ".table_" + std::to_string(id);
    t.rowCount = lookups.RowCount(id);
    t.columns = std::move(columns);
    catalog.tables.emplace(id, std::move(t));
  }
}

}  // namespace

void BuildCatalog2000(const PageStore& store, const SystemPages2000& pages,
                      const CatalogLookups2000& lookups, Catalog& catalog) {
  AddUserTypes(store, pages.systypes, lookups, catalog);
  std::set<uint32_t> described;  // every object sysobjects names, whatever its type
  ForEachSlotRow(store, pages.sysobjects, offset_limit::kUpToPageEnd, [&](const SlotRow& r) {
    if (std::optional<uint32_t> id = r.row.U32(sysobjects::kId)) described.insert(*id);
    std::optional<uint16_t> xtype = ReadSysObjectsXtype(r.row);
    if (!xtype || !IsCatalogObject(*xtype)) return true;
    std::optional<SysObjectsRow> row = ReadSysObjectsRow(r.row);
    // The server's own views and procedures are left out; a table is kept
    // whatever its flags say, so that no rows are lost to a wrong bit.
    if (row && !(row->shippedWithServer && row->xtype != sysobjects::kUserTable))
      AddObject(*row, lookups, catalog);
    return true;
  });
  AddUndescribedTables(store, pages, lookups, described, catalog);
}

}  // namespace tollamer::sql2000
