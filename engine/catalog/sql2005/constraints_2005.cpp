#include "engine/catalog/sql2005/constraints_2005.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "engine/catalog/collation.h"
#include "engine/catalog/name_decoding.h"
#include "engine/catalog/record_columns.h"
#include "engine/catalog/sql2005/module_text_2005.h"
#include "engine/catalog/sql2005/system_rows_2005.h"
#include "engine/catalog/sql2005/system_tables_2005.h"

namespace tollamer::sql2005 {

namespace {

namespace schobjs {
inline constexpr size_t kPid = 19;
inline constexpr size_t kIntprop = 24;
}  // namespace schobjs

namespace idxstats {
inline constexpr size_t kIndid = 8;
inline constexpr size_t kStatus = 12;
inline constexpr size_t kType = 21;
inline constexpr uint32_t kIsIndex = 0x1;
inline constexpr uint32_t kUnique = 0x8;
inline constexpr uint32_t kPrimaryKey = 0x20;
inline constexpr uint32_t kUniqueConstraint = 0x40;
inline constexpr uint8_t kClustered = 1;
inline constexpr uint8_t kNonclustered = 2;
}  // namespace idxstats

namespace iscols {
inline constexpr size_t kIdMajor = 4;
inline constexpr size_t kIdMinor = 8;
inline constexpr size_t kSubid = 12;
inline constexpr size_t kStatus = 16;
inline constexpr size_t kColumnId = 20;
inline constexpr size_t kKeyOrdinal = 24;
inline constexpr uint32_t kKey = 0x2;
inline constexpr uint32_t kDescending = 0x4;
inline constexpr uint32_t kIncluded = 0x10;
}  // namespace iscols

namespace objrefs {
inline constexpr size_t kClass = 4;
inline constexpr size_t kDepId = 5;
inline constexpr size_t kDepSubId = 9;
inline constexpr size_t kIndepId = 13;
inline constexpr size_t kIndepSubId = 17;
inline constexpr uint8_t kReferencedTable = 27;
inline constexpr uint8_t kReferencingColumn = 28;
inline constexpr uint8_t kReferencedColumn = 29;
}  // namespace objrefs

namespace colpars {
inline constexpr uint32_t kIdentity = 0x4;
inline constexpr size_t kIdtvalColumn = 1;
}  // namespace colpars

constexpr size_t kObjValueClass = 4;
constexpr size_t kObjValueSubId = 9;
constexpr uint8_t kDefinitionText = 1;
constexpr uint8_t kIndexFilterText = 66;  // objid: the table, subobjid: the index id

struct DependentRow {
  uint32_t id = 0;
  uint16_t nsid = 0;
  uint32_t status = 0;
  std::array<char, 2> type{};
  uint32_t parent = 0;
  uint32_t intprop = 0;
  std::string name;

  bool Is(const char (&t)[3]) const { return type[0] == t[0] && type[1] == t[1]; }
};

std::vector<DependentRow> ReadDependentRows(const PageStore& store, const SystemPageList& list,
                                            const Catalog& catalog) {
  std::vector<DependentRow> out;
  ForEachSystemRow(store, list, ObjectListSlot, [&](ByteView page, uint16_t offset) {
    std::optional<SchObjRow> row = DecodeSchObjRow(page, offset);
    ByteView r = page.From(offset);
    std::optional<uint32_t> parent = r.U32(schobjs::kPid);
    std::optional<uint32_t> intprop = r.U32(schobjs::kIntprop);
    if (!row || !parent || !intprop || IsSystemObject(row->id, row->nsid) ||
        !catalog.tables.contains(*parent))
      return true;
    DependentRow d{row->id, row->nsid, row->status, row->type, *parent, *intprop,
                   SchObjName(page, offset)};
    if (!d.name.empty() &&
        (d.Is("PK") || d.Is("UQ") || d.Is("F ") || d.Is("D ") || d.Is("C ") || d.Is("TR")))
      out.push_back(std::move(d));
    return true;
  });
  return out;
}

// Definition texts (value class 1) of the wanted objects.
std::unordered_map<uint32_t, std::string> ReadTexts(const PageStore& store,
                                                    const SystemPageList& list,
                                                    const std::unordered_map<uint32_t, bool>& wanted) {
  std::unordered_map<uint32_t, std::string> texts;
  if (wanted.empty()) return texts;
  const uint16_t code_page = DatabaseCodePage(store);
  ForEachSystemRow(store, list, ModuleTextSlot, [&](ByteView page, uint16_t offset) {
    std::optional<ObjValueRow> row = DecodeObjValueRow(page, offset);
    if (!row || !wanted.contains(row->objId) ||
        page.From(offset).LeOr<uint8_t>(kObjValueClass) != kDefinitionText)
      return true;
    if (std::optional<std::string> piece = ReadModuleTextPiece(store, page, offset, code_page))
      texts[row->objId] += *piece;
    return true;
  });
  return texts;
}

struct IndexColumnRow {
  uint32_t subid = 0;
  uint32_t status = 0;
  uint16_t colid = 0;
  uint8_t keyOrdinal = 0;
};

using IndexKey = std::pair<uint32_t, uint32_t>;  // table, index id

std::map<IndexKey, std::vector<IndexColumnRow>> ReadIndexColumns(const PageStore& store,
                                                                 const SystemPageList& list,
                                                                 const Catalog& catalog) {
  std::map<IndexKey, std::vector<IndexColumnRow>> out;
  ForEachSystemRow(store, list, AnySlot, [&](ByteView page, uint16_t offset) {
    using namespace iscols;
    ByteView r = page.From(offset);
    auto table = r.U32(kIdMajor);
    auto index = r.U32(kIdMinor);
    auto subid = r.U32(kSubid);
    auto status = r.U32(kStatus);
    auto colid = r.U32(kColumnId);
    auto ordinal = r.U8(kKeyOrdinal);
    if (!table || !index || !subid || !status || !colid || !ordinal ||
        !catalog.tables.contains(*table))
      return true;
    out[{*table, *index}].push_back(
        {*subid, *status, static_cast<uint16_t>(*colid), *ordinal});
    return true;
  });
  return out;
}

void FillIndexColumns(std::vector<IndexColumnRow> rows, IndexInfo& index) {
  std::sort(rows.begin(), rows.end(), [](const IndexColumnRow& a, const IndexColumnRow& b) {
    return a.keyOrdinal != b.keyOrdinal ? a.keyOrdinal < b.keyOrdinal : a.subid < b.subid;
  });
  for (const IndexColumnRow& c : rows) {
    if (c.status & iscols::kIncluded) index.included.push_back(c.colid);
    else if ((c.status & iscols::kKey) && c.keyOrdinal != 0)
      index.keys.push_back({c.colid, (c.status & iscols::kDescending) != 0});
  }
}

void ReadIndexes(const PageStore& store, const SystemPages2005& lists, Catalog& catalog) {
  std::map<IndexKey, std::vector<IndexColumnRow>> columns =
      ReadIndexColumns(store, lists.sysiscols, catalog);
  std::map<IndexKey, IndexInfo> found;
  ForEachSystemRow(store, lists.sysidxstats, AnySlot, [&](ByteView page, uint16_t offset) {
    using namespace idxstats;
    std::optional<IdxStatRow> row = DecodeIdxStatRow(page, offset);
    ByteView r = page.From(offset);
    std::optional<uint32_t> status = r.U32(kStatus);
    std::optional<uint8_t> type = r.U8(kType);
    if (!row || !status || !type || !(*status & kIsIndex) ||
        (*type != kClustered && *type != kNonclustered) || !catalog.tables.contains(row->id))
      return true;
    auto cols = columns.find({row->id, row->indid});
    std::optional<ByteView> name = VariableColumn(r, 0);
    if (cols == columns.end() || !name) return true;
    IndexInfo index;
    index.name = DecodeName(*name);
    index.clustered = *type == kClustered;
    index.unique = (*status & kUnique) != 0;
    if (*status & kPrimaryKey) index.kind = IndexInfo::Kind::kPrimaryKey;
    else if (*status & kUniqueConstraint) index.kind = IndexInfo::Kind::kUniqueConstraint;
    FillIndexColumns(cols->second, index);
    if (!index.name.empty() && !index.keys.empty())
      found.emplace(IndexKey{row->id, row->indid}, std::move(index));
    return true;
  });
  if (!found.empty()) {
    const uint16_t code_page = DatabaseCodePage(store);
    ForEachSystemRow(store, lists.sysobjvalues, ModuleTextSlot, [&](ByteView page, uint16_t offset) {
      std::optional<ObjValueRow> row = DecodeObjValueRow(page, offset);
      ByteView r = page.From(offset);
      if (!row || r.LeOr<uint8_t>(kObjValueClass) != kIndexFilterText) return true;
      auto index = found.find({row->objId, r.LeOr<uint32_t>(kObjValueSubId)});
      if (index == found.end()) return true;
      if (std::optional<std::string> piece = ReadModuleTextPiece(store, page, offset, code_page))
        index->second.filter += *piece;
      return true;
    });
  }
  for (auto& [key, index] : found)
    catalog.tables[key.first].constraints.indexes.push_back(std::move(index));
}

struct ForeignKeyParts {
  uint32_t referencedTable = 0;
  std::map<uint32_t, uint16_t> columns;     // by key ordinal
  std::map<uint32_t, uint16_t> referenced;  // by key ordinal
};

std::unordered_map<uint32_t, ForeignKeyParts> ReadForeignKeyRefs(
    const PageStore& store, const SystemPageList& list,
    const std::unordered_map<uint32_t, bool>& wanted) {
  std::unordered_map<uint32_t, ForeignKeyParts> out;
  ForEachSystemRow(store, list, AnySlot, [&](ByteView page, uint16_t offset) {
    using namespace objrefs;
    ByteView r = page.From(offset);
    auto cls = r.U8(kClass);
    auto dep = r.U32(kDepId);
    auto ordinal = r.U32(kDepSubId);
    auto indep = r.U32(kIndepId);
    auto column = r.U32(kIndepSubId);
    if (!cls || !dep || !ordinal || !indep || !column || !wanted.contains(*dep)) return true;
    ForeignKeyParts& fk = out[*dep];
    if (*cls == kReferencedTable) fk.referencedTable = *indep;
    else if (*cls == kReferencingColumn) fk.columns.emplace(*ordinal, static_cast<uint16_t>(*column));
    else if (*cls == kReferencedColumn) fk.referenced.emplace(*ordinal, static_cast<uint16_t>(*column));
    return true;
  });
  return out;
}

std::optional<ForeignKeyInfo> AssembleForeignKey(const std::string& name,
                                                 const ForeignKeyParts& parts) {
  if (parts.referencedTable == 0 || parts.columns.empty() ||
      parts.columns.size() != parts.referenced.size())
    return std::nullopt;
  ForeignKeyInfo fk{name, parts.referencedTable, {}, {}};
  for (const auto& [ordinal, colid] : parts.columns) {
    auto target = parts.referenced.find(ordinal);
    if (target == parts.referenced.end()) return std::nullopt;
    fk.columns.push_back(colid);
    fk.referencedColumns.push_back(target->second);
  }
  return fk;
}

void ReadIdentities(const PageStore& store, const SystemPageList& list, Catalog& catalog) {
  ForEachSystemRow(store, list, ColumnSlot, [&](ByteView page, uint16_t offset) {
    std::optional<ColParRow> row = DecodeColParRow(page, offset);
    if (!row || !(row->status & colpars::kIdentity)) return true;
    auto table = catalog.tables.find(row->id);
    if (table == catalog.tables.end() || table->second.constraints.identity) return true;
    if (std::optional<ByteView> idtval = VariableColumn(page.From(offset), colpars::kIdtvalColumn))
      table->second.constraints.identity = DecodeIdentityValues(*idtval, row->xtype, row->colid);
    return true;
  });
}

}  // namespace

void ReadConstraints2005(const PageStore& store, const SystemPages2005& lists,
                         const LookupIndex2005& lookups, Catalog& catalog) {
  ReadIndexes(store, lists, catalog);
  ReadIdentities(store, lists.syscolpars, catalog);
  std::vector<DependentRow> rows = ReadDependentRows(store, lists.sysschobjs, catalog);
  std::unordered_map<uint32_t, bool> with_text;
  std::unordered_map<uint32_t, bool> foreign_keys;
  for (const DependentRow& d : rows) {
    if (d.Is("D ") || d.Is("C ") || d.Is("TR")) with_text.emplace(d.id, true);
    if (d.Is("F ")) foreign_keys.emplace(d.id, true);
  }
  std::unordered_map<uint32_t, std::string> texts = ReadTexts(store, lists.sysobjvalues, with_text);
  std::unordered_map<uint32_t, ForeignKeyParts> refs =
      ReadForeignKeyRefs(store, lists.syssingleobjrefs, foreign_keys);
  for (const DependentRow& d : rows) {
    TableConstraints& c = catalog.tables[d.parent].constraints;
    auto text = texts.find(d.id);
    bool has_text = text != texts.end() && !text->second.empty();
    if (d.Is("TR")) {
      ModuleInfo trigger{d.id, lookups.LookupSchemaName2005(d.nsid) + "." + d.name,
                         has_text ? text->second : std::string()};
      SetModuleOptions(d.status, trigger);
      catalog.triggers.push_back(std::move(trigger));
    } else if (d.Is("D ") && has_text) {
      c.defaults.push_back({d.name, static_cast<uint16_t>(d.intprop), text->second});
    } else if (d.Is("C ") && has_text) {
      c.checks.push_back({d.name, text->second});
    } else if (d.Is("F ")) {
      auto parts = refs.find(d.id);
      if (parts == refs.end()) continue;
      if (std::optional<ForeignKeyInfo> fk = AssembleForeignKey(d.name, parts->second)) {
        using namespace schobj_status;
        fk->onDelete = static_cast<ReferentialAction>((d.status >> kDeleteActionShift) & kActionMask);
        fk->onUpdate = static_cast<ReferentialAction>((d.status >> kUpdateActionShift) & kActionMask);
        c.foreignKeys.push_back(std::move(*fk));
      }
    }
  }
}

}  // namespace tollamer::sql2005
