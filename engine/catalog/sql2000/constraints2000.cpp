#include "engine/catalog/sql2000/constraints2000.h"

#include <map>

#include "engine/catalog/name_decoding.h"
#include "engine/catalog/record_columns.h"
#include "engine/catalog/sql2000/lookup_bounds2000.h"
#include "engine/catalog/sql2000/system_page_rows2000.h"
#include "engine/catalog/sql2000/system_rows2000.h"
#include "engine/catalog/sql2000/system_rows2000_layout.h"

namespace tollamer::sql2000 {

namespace {

namespace objects {
inline constexpr size_t kParent = 0x1C;
inline constexpr uint16_t kPrimaryKey = 0x4B50;  // "PK"
inline constexpr uint16_t kUnique = 0x5155;      // "UQ"
inline constexpr uint16_t kForeignKey = 0x2046;  // "F "
inline constexpr uint16_t kDefault = 0x2044;     // "D "
inline constexpr uint16_t kCheck = 0x2043;       // "C "
inline constexpr uint16_t kTrigger = 0x5254;     // "TR"
}  // namespace objects

namespace indexes {
inline constexpr size_t kStatus = 0x08;
inline constexpr uint32_t kUnique = 0x2;
inline constexpr uint32_t kClustered = 0x10;
inline constexpr uint32_t kNotAnIndex = 0x20 | 0x40;  // hypothetical, statistics
inline constexpr uint32_t kPrimaryKey = 0x800;
inline constexpr uint32_t kUniqueConstraint = 0x1000;
inline constexpr uint16_t kLastIndexId = 250;
inline constexpr size_t kKeyEntrySize = 32;
inline constexpr size_t kKeyColid = 16;
inline constexpr size_t kKeyAddedMark = 28;
inline constexpr size_t kKeysColumn = 0;
inline constexpr size_t kNameColumn = 1;
}  // namespace indexes

namespace references {
inline constexpr size_t kConstId = 0x04;
inline constexpr size_t kFkeyId = 0x08;
inline constexpr size_t kRkeyId = 0x0C;
inline constexpr size_t kKeyCount = 0x12;
inline constexpr uint16_t kMaxKeys = 16;
}  // namespace references

constexpr uint16_t kIdentityColstat = 0x1;
constexpr size_t kAutovalColumn = 1;

struct ObjectRow {
  uint32_t id = 0;
  uint16_t xtype = 0;
  uint16_t uid = 0;
  uint16_t info = 0;
  uint32_t parent = 0;
  std::string name;
};

std::vector<ObjectRow> ReadDependentObjects(const PageStore& store, const SystemPageList& list) {
  std::vector<ObjectRow> out;
  ForEachSlotRow(store, list, offset_limit::kUpToPageEnd, [&](const SlotRow& r) {
    std::optional<uint16_t> xtype = ReadSysObjectsXtype(r.row);
    using namespace objects;
    if (!xtype || (*xtype != kPrimaryKey && *xtype != kUnique && *xtype != kForeignKey &&
                   *xtype != kDefault && *xtype != kCheck && *xtype != kTrigger))
      return true;
    std::optional<SysObjectsRow> row = ReadSysObjectsRow(r.row);
    std::optional<uint32_t> parent = r.row.U32(kParent);
    std::optional<uint16_t> info = r.row.U16(sysobjects::kInfo);
    if (row && parent && info && !row->name.empty())
      out.push_back({row->id, *xtype, row->uid, *info, *parent, row->name});
    return true;
  });
  return out;
}

std::vector<IndexKeyColumn> DeclaredKeys(ByteView keys) {
  using namespace indexes;
  std::vector<IndexKeyColumn> out;
  for (size_t at = 0; at + kKeyEntrySize <= keys.size(); at += kKeyEntrySize) {
    uint16_t colid = keys.LeOr<uint16_t>(at + kKeyColid);
    if (colid == 0 || keys.LeOr<uint32_t>(at + kKeyAddedMark) != 0) continue;
    out.push_back({colid, false});
  }
  return out;
}

void ReadIndexes(const PageStore& store, const SystemPageList& list, Catalog& catalog) {
  std::map<std::pair<uint32_t, uint16_t>, IndexInfo> found;  // by table, index id
  ForEachSlotRow(store, list, offset_limit::kBelowPageEnd, [&](const SlotRow& r) {
    using namespace indexes;
    std::optional<SysIndexesRow> row = ReadSysIndexesRow(r.row);
    std::optional<uint32_t> status = r.row.U32(kStatus);
    if (!row || !status || row->indid == 0 || row->indid > kLastIndexId) return true;
    if ((*status & kNotAnIndex) || !catalog.tables.contains(row->id)) return true;
    std::optional<ByteView> keys = VariableColumn(r.row, kKeysColumn);
    std::optional<ByteView> name = VariableColumn(r.row, kNameColumn);
    if (!keys || !name) return true;
    IndexInfo index;
    index.name = DecodeName(*name);
    index.keys = DeclaredKeys(*keys);
    index.clustered = (*status & kClustered) != 0;
    index.unique = (*status & kUnique) != 0;
    if (*status & kPrimaryKey) index.kind = IndexInfo::Kind::kPrimaryKey;
    else if (*status & kUniqueConstraint) index.kind = IndexInfo::Kind::kUniqueConstraint;
    if (!index.name.empty() && !index.keys.empty())
      found.emplace(std::make_pair(row->id, row->indid), std::move(index));
    return true;
  });
  for (auto& [key, index] : found)
    catalog.tables[key.first].constraints.indexes.push_back(std::move(index));
}

std::vector<uint16_t> ColumnIds(ByteView bytes, uint16_t count) {
  std::vector<uint16_t> out;
  if (bytes.size() != 2 * size_t{count}) return out;
  for (uint16_t k = 0; k < count; ++k) out.push_back(bytes.LeOr<uint16_t>(2 * size_t{k}));
  return out;
}

void ReadForeignKeys(const PageStore& store, const SystemPageList& list,
                     const std::map<uint32_t, std::string>& names, Catalog& catalog) {
  ForEachSlotRow(store, list, offset_limit::kUpToPageEnd, [&](const SlotRow& r) {
    using namespace references;
    auto constid = r.row.U32(kConstId);
    auto fkeyid = r.row.U32(kFkeyId);
    auto rkeyid = r.row.U32(kRkeyId);
    auto count = r.row.U16(kKeyCount);
    if (!constid || !fkeyid || !rkeyid || !count || *count == 0 || *count > kMaxKeys) return true;
    auto name = names.find(*constid);
    auto table = catalog.tables.find(*fkeyid);
    if (name == names.end() || table == catalog.tables.end()) return true;
    std::optional<ByteView> forkeys = VariableColumn(r.row, 0);
    std::optional<ByteView> refkeys = VariableColumn(r.row, 1);
    if (!forkeys || !refkeys) return true;
    ForeignKeyInfo fk{name->second, *rkeyid, ColumnIds(*forkeys, *count),
                      ColumnIds(*refkeys, *count)};
    if (!fk.columns.empty() && !fk.referencedColumns.empty())
      table->second.constraints.foreignKeys.push_back(std::move(fk));
    return true;
  });
}

void ReadIdentities(const PageStore& store, const SystemPageList& list, Catalog& catalog) {
  ForEachSlotRow(store, list, offset_limit::kUpToPageEnd, [&](const SlotRow& r) {
    std::optional<uint32_t> id = ReadSysColumnsId(r.row);
    if (!id) return true;
    auto table = catalog.tables.find(*id);
    if (table == catalog.tables.end() || table->second.constraints.identity) return true;
    std::optional<SysColumnsRow> row = ReadSysColumnsRow(r.row);
    if (!row || !(row->column.colstat & kIdentityColstat)) return true;
    std::optional<ByteView> autoval = VariableColumn(r.row, kAutovalColumn);
    if (autoval)
      table->second.constraints.identity =
          DecodeIdentityValues(*autoval, row->column.xtype, row->column.colid);
    return true;
  });
}

}  // namespace

void ReadConstraints2000(const PageStore& store, const SystemPages2000& pages,
                         const CatalogLookups2000& lookups, Catalog& catalog) {
  ReadIndexes(store, pages.sysindexes, catalog);
  ReadIdentities(store, pages.syscolumns, catalog);
  std::map<uint32_t, std::string> fk_names;
  for (const ObjectRow& o : ReadDependentObjects(store, pages.sysobjects)) {
    if (o.xtype == objects::kTrigger) {
      if (catalog.tables.contains(o.parent))
        catalog.triggers.push_back(
            {o.id, lookups.OwnerName(o.uid) + "." + o.name, lookups.DefinitionText(o.id)});
      continue;
    }
    auto table = catalog.tables.find(o.parent);
    if (table == catalog.tables.end()) continue;
    TableConstraints& c = table->second.constraints;
    switch (o.xtype) {
      case objects::kForeignKey:
        fk_names.emplace(o.id, o.name);
        break;
      case objects::kDefault:
        if (std::string text = lookups.DefinitionText(o.id); !text.empty())
          c.defaults.push_back({o.name, o.info, std::move(text)});
        break;
      case objects::kCheck:
        if (std::string text = lookups.DefinitionText(o.id); !text.empty())
          c.checks.push_back({o.name, std::move(text)});
        break;
      default:
        break;  // keys are read with their indexes
    }
  }
  ReadForeignKeys(store, pages.sysreferences, fk_names, catalog);
}

}  // namespace tollamer::sql2000
