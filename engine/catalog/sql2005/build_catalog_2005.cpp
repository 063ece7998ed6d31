#include "engine/catalog/sql2005/build_catalog_2005.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <unordered_set>
#include <vector>

#include "engine/catalog/sql2005/columns_2005.h"
#include "engine/catalog/sql2005/constraints_2005.h"
#include "engine/catalog/sql2005/internal_tables_2005.h"
#include "engine/catalog/inferred_columns.h"
#include "engine/catalog/sql2005/lookup_index_2005.h"
#include "engine/catalog/sql2005/lost_units_2005.h"
#include "engine/catalog/sql2005/module_text_2005.h"
#include "engine/catalog/sql2005/rowset_columns_2005.h"
#include "engine/catalog/sql2005/system_rows_2005.h"
#include "engine/catalog/sql2005/system_tables_2005.h"
#include "engine/catalog/sql2005/table_pages_2005.h"
#include "engine/catalog/sql2005/user_types_2005.h"

namespace tollamer::sql2005 {

namespace {

constexpr uint16_t kDefaultSchemaId = 1;

enum class ObjectKind { kTable, kView, kProcedure, kFunction };

struct ObjectRow {
  ObjectKind kind;
  SchObjRow row;
  std::string name;
};

bool TypeIs(const SchObjRow& row, const char (&type)[2]) {
  return row.type[0] == type[0] && row.type[1] == type[1];
}

std::optional<ObjectKind> KindOf(const SchObjRow& row) {
  if (TypeIs(row, kTypeUserTable)) return ObjectKind::kTable;
  if (TypeIs(row, kTypeView)) return ObjectKind::kView;
  if (TypeIs(row, kTypeProcedure)) return ObjectKind::kProcedure;
  if (TypeIs(row, kTypeScalarFunction)) return ObjectKind::kFunction;
  return std::nullopt;
}

// `described`: every object id sysschobjs names, whatever its type.
std::vector<ObjectRow> ReadObjectRows(const PageStore& store, const SystemPageList& sysschobjs,
                                      std::unordered_set<uint32_t>& described) {
  std::vector<ObjectRow> objects;
  ForEachSystemRow(store, sysschobjs, ObjectListSlot, [&](ByteView page, uint16_t offset) {
    std::optional<SchObjRow> row = DecodeSchObjRow(page, offset);
    if (!row) return true;
    described.insert(row->id);
    if (IsSystemObject(row->id, row->nsid)) return true;
    if (std::optional<ObjectKind> kind = KindOf(*row))
      objects.push_back(ObjectRow{*kind, *row, SchObjName(page, offset)});
    return true;
  });
  return objects;
}

}  // namespace

void BuildCatalog2005(CMdfDatabase& db, PageOwnerConflict& conflict) {
  const PageStore& store = db.Store();
  const SystemPages2005& lists = db.systemPages2005;
  LookupIndex2005 lookups = LookupIndex2005::Build(store, lists);
  ReadUserTypes2005(store, lists.sysscalartypes, lookups, db.catalog.userTypes);

  std::unordered_set<uint32_t> described;
  std::vector<ObjectRow> objects = ReadObjectRows(store, lists.sysschobjs, described);
  std::unordered_set<uint32_t> table_ids;
  std::unordered_set<uint32_t> module_ids;
  for (const ObjectRow& o : objects)
    (o.kind == ObjectKind::kTable ? table_ids : module_ids).insert(o.row.id);
  AllocationIndex2005 allocation = AllocationIndex2005::Build(store, lists);
  // A table whose sysschobjs row is lost with its page keeps its rowsets
  // (sysidxstats, sysrowsets) and columns: it is kept as table_<id> in the
  // default schema (id 1).
  std::vector<uint32_t> undescribed;
  for (uint32_t id : allocation.ObjectsWithDataRowsets())
    if (id >= kFirstUserObjectId && !described.contains(id)) undescribed.push_back(id);
  table_ids.insert(undescribed.begin(), undescribed.end());
  const std::unordered_set<uint32_t> undescribed_set(undescribed.begin(), undescribed.end());
  ColumnIndex2005 columns = ColumnIndex2005::Build(store, lists.syscolpars, lookups, &table_ids);
  ModuleTextIndex2005 texts = ModuleTextIndex2005::Build(store, lists.sysobjvalues, module_ids);
  for (uint32_t id : undescribed) {
    SchObjRow row;
    row.id = id;
    row.nsid = kDefaultSchemaId;
    std::copy(std::begin(kTypeUserTable), std::end(kTypeUserTable), row.type.begin());
    objects.push_back(ObjectRow{ObjectKind::kTable, row, "table_" + std::to_string(id)});
  }

  PrepareTableLists2005(store, allocation, table_ids);
  for (const ObjectRow& o : objects) {
    switch (o.kind) {
      case ObjectKind::kTable: {
        TableInfo table;
        table.id = o.row.id;
        table.rowCount = lookups.LookupRowCount2005(o.row.id);
        table.fullName = lookups.LookupSchemaName2005(o.row.nsid) + "." + o.name;
        columns.TakeColumns2005(o.row.id, table.columns);
        // Without its object row, one of the server's internal tables is
        // no table of the user's.
        if (undescribed_set.contains(o.row.id) && LooksLikeInternalTable2005(table.columns)) break;
        // A table met again keeps its first record, whose pages are known.
        if (!db.catalog.tables.emplace(o.row.id, std::move(table)).second) break;
        LocateTablePages2005(db, o.row.id, allocation);
        RecordPageOwner2005(db, o.row.id, conflict);
        break;
      }
      case ObjectKind::kView:
      case ObjectKind::kProcedure:
      case ObjectKind::kFunction: {
        // Views carry their schema in their full name; procedures and
        // functions the name alone; every kind its owner.
        const std::string schema = lookups.LookupSchemaName2005(o.row.nsid);
        ModuleInfo module{o.row.id, o.kind == ObjectKind::kView ? schema + "." + o.name : o.name,
                          texts.ReadModuleText2005(o.row.id), schema};
        SetModuleOptions(o.row.status, module);
        (o.kind == ObjectKind::kView        ? db.catalog.views
         : o.kind == ObjectKind::kProcedure ? db.catalog.procedures
                                            : db.catalog.functions)
            .push_back(std::move(module));
        break;
      }
    }
  }
  // Where each table's columns lie in its records, when the file says.
  ReadPhysicalLayouts2005(store, lists, db.catalog,
                          [&](uint16_t id) { return lookups.LookupTypeName2005(id); });
  // Keys, indexes, constraints and triggers of the tables.
  ReadConstraints2005(store, lists, lookups, db.catalog);
  // Tables whose unit rows are lost, tied to the units their pages name.
  MatchLostUnits2005(db, allocation);
  // A table no system row gives a column of: columns read off its records.
  for (auto& [id, table] : db.catalog.tables)
    if (table.columns.empty())
      if (auto list = db.dataPageLists.find(id); list != db.dataPageLists.end())
        InferColumnsFromRecords(store, list->second, table);
  // A table kept without its sysschobjs row, of which no column is known,
  // is no table that can be read.
  for (uint32_t id : undescribed) {
    auto it = db.catalog.tables.find(id);
    if (it == db.catalog.tables.end() || !it->second.columns.empty()) continue;
    db.catalog.tables.erase(it);
    db.dataPageLists.erase(id);
  }
}

}  // namespace tollamer::sql2005
