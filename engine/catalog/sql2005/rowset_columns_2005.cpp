#include "engine/catalog/sql2005/rowset_columns_2005.h"

#include <algorithm>
#include <set>
#include <utility>

#include "engine/catalog/sql2005/rowset_columns_layout_2005.h"
#include "engine/pagestore/record_layout.h"
#include "engine/catalog/sql2005/system_rows_2005.h"
#include "engine/catalog/type_texts.h"

namespace tollamer::sql2005 {

using namespace rowset_columns_layout;
using record_layout::IsPrimaryStatus;
using record_layout::kFixedEnd;
using record_layout::kStatusA;

namespace {

// A record holds at most this many bytes; a fixed column must end inside.
constexpr size_t kMaxRecordBytes = 8060;
// The first byte of the fixed part (after the status bytes and F).
constexpr int16_t kFirstFixedOffset = 4;
constexpr uint8_t kBitsPerByte = 8;
constexpr uint8_t kBitType = 104;

// The types kept in the variable part of the record.
bool IsVariableType(uint8_t xtype) {
  switch (xtype) {
    case 241: case 167: case 99: case 35: case 231: case 34: case 165: case 240: case 98:
      return true;
    default:
      return false;
  }
}

// The record at `offset` when it is a primary record whose fixed part has
// exactly `fixed_size` bytes.
std::optional<ByteView> RecordOfShape(ByteView page, uint16_t offset, uint16_t fixed_size) {
  ByteView r = page.From(offset);
  std::optional<uint8_t> status = r.U8(kStatusA);
  std::optional<uint16_t> f = r.U16(kFixedEnd);
  if (!status || !f || !IsPrimaryStatus(*status) || *f != fixed_size) return std::nullopt;
  if (!r.Contains(0, fixed_size)) return std::nullopt;
  return r;
}

constexpr uint16_t kTypeDecimal = 106;
constexpr uint16_t kTypeNumeric = 108;
constexpr uint8_t kTypeTime = 41;
constexpr uint8_t kTypeDatetime2 = 42;
constexpr uint8_t kTypeDatetimeOffset = 43;

ColumnType2005 TypeOfTi(uint32_t ti) {
  const uint8_t xtype = static_cast<uint8_t>(ti & 0xFF);
  ColumnType2005 t;
  if (xtype == kTypeDecimal || xtype == kTypeNumeric) {
    t.prec = static_cast<uint8_t>(ti >> 8);
    t.scale = static_cast<uint8_t>(ti >> 16);
  } else if (xtype == kTypeTime || xtype == kTypeDatetime2 || xtype == kTypeDatetimeOffset) {
    t.scale = static_cast<uint8_t>(ti >> 8);
  } else {
    t.length = static_cast<uint16_t>(ti >> 8);
  }
  return t;
}

// Bytes a value of the type takes in the record (the fixed part for fixed
// types); kMaxLength for a max type, 0 when unknown.
uint16_t StoredLength(uint8_t xtype, const ColumnType2005& t) {
  switch (xtype) {
    case 48: case 104: return 1;                      // tinyint, bit
    case 52: return 2;                                // smallint
    case 56: case 59: case 58: case 122: return 4;    // int, real, smalldatetime, smallmoney
    case 127: case 62: case 61: case 60: case 189:    // bigint, float, datetime, money,
      return 8;                                       // timestamp
    case 36: case 34: case 35: case 99: return 16;    // uniqueidentifier; text pointers
    case 40: return 3;                                // date
    case kTypeDecimal: case kTypeNumeric:
      return t.length ? t.length : t.prec <= 9 ? 5 : t.prec <= 19 ? 9 : t.prec <= 28 ? 13 : 17;
    case kTypeTime: case kTypeDatetime2: case kTypeDatetimeOffset: {
      if (t.length) return t.length;
      const uint16_t time = t.scale <= 2 ? 3 : t.scale <= 4 ? 4 : 5;
      return xtype == kTypeTime ? time : xtype == kTypeDatetime2 ? time + 3 : time + 5;
    }
    default:
      if (t.length == 0 && IsVariableType(xtype)) return kMaxLength;
      return t.length;
  }
}

PhysicalColumn2005 LeafPlace(uint32_t offset_word, uint32_t null_word, uint16_t bitpos,
                             uint8_t xtype) {
  PhysicalColumn2005 c;
  c.leafOffset = static_cast<int16_t>(static_cast<uint16_t>(offset_word & kLeafMask));
  c.nullBit = static_cast<uint16_t>(null_word & kLeafMask);
  c.bitPos = static_cast<uint8_t>(bitpos < 0x100 ? bitpos : 0xFF);
  c.xtype = xtype;
  return c;
}

bool SamePlace(const PhysicalColumn2005& a, const PhysicalColumn2005& b) {
  return a.leafOffset == b.leafOffset && a.nullBit == b.nullBit && a.bitPos == b.bitPos &&
         a.xtype == b.xtype;
}

}  // namespace

std::optional<RscolsRow> DecodeRscolsRow(ByteView page, uint16_t offset) {
  std::optional<ByteView> r = RecordOfShape(page, offset, rscols::kFixedSize2008);
  if (!r) r = RecordOfShape(page, offset, rscols::kFixedSize2012);
  if (!r) return std::nullopt;
  RscolsRow row;
  row.rowsetId = r->LeOr<uint64_t>(rscols::kRsid);
  row.rscolid = r->LeOr<uint32_t>(rscols::kRscolid);
  const uint32_t ti = r->LeOr<uint32_t>(rscols::kTypeInfo);
  row.column = LeafPlace(r->LeOr<uint32_t>(rscols::kOffset), r->LeOr<uint32_t>(rscols::kNullBit),
                         r->LeOr<uint16_t>(rscols::kBitPos), static_cast<uint8_t>(ti & 0xFF));
  row.type = TypeOfTi(ti);
  return row;
}

std::optional<RowsetColumnRow> DecodeRowsetColumnRow(ByteView page, uint16_t offset) {
  std::optional<ByteView> r = RecordOfShape(page, offset, rowsetcolumns::kFixedSize);
  if (!r) return std::nullopt;
  return RowsetColumnRow{r->LeOr<uint64_t>(rowsetcolumns::kRowsetId),
                         r->LeOr<uint32_t>(rowsetcolumns::kRowsetColId),
                         r->LeOr<uint32_t>(rowsetcolumns::kHobtColId)};
}

std::optional<HobtColumnRow> DecodeHobtColumnRow(ByteView page, uint16_t offset) {
  std::optional<ByteView> r = RecordOfShape(page, offset, hobtcolumns::kFixedSize);
  if (!r) return std::nullopt;
  HobtColumnRow row;
  row.hobtId = r->LeOr<uint64_t>(hobtcolumns::kHobtId);
  row.hbcolid = r->LeOr<uint32_t>(hobtcolumns::kHbcolid);
  row.column = LeafPlace(r->LeOr<uint32_t>(hobtcolumns::kOffset),
                         r->LeOr<uint32_t>(hobtcolumns::kNullBit),
                         r->LeOr<uint16_t>(hobtcolumns::kBitPos),
                         r->LeOr<uint8_t>(hobtcolumns::kXtype));
  row.type = ColumnType2005{r->LeOr<uint16_t>(hobtcolumns::kLength),
                            r->LeOr<uint8_t>(hobtcolumns::kPrec),
                            r->LeOr<uint8_t>(hobtcolumns::kScale)};
  return row;
}

std::optional<DataRowsetRow> DecodeDataRowsetRow(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  std::optional<uint8_t> status = r.U8(kStatusA);
  if (!status || !IsPrimaryStatus(*status) || !r.Contains(0, rowsets::kFixedEnd))
    return std::nullopt;
  return DataRowsetRow{r.LeOr<uint64_t>(rowsets::kRowsetId), r.LeOr<uint32_t>(rowsets::kIdMajor),
                       r.LeOr<uint32_t>(rowsets::kIdMinor)};
}

void RowsetColumnIndex2005::Add(Columns& columns, uint32_t rscolid,
                                const PhysicalColumn2005& column, const ColumnType2005& type) {
  columns.types.emplace(rscolid, type);
  auto [it, inserted] = columns.byRscolid.emplace(rscolid, column);
  // A page listed twice gives the same row twice; two different rows for
  // one column leave the rowset's layout unknown.
  if (!inserted && !SamePlace(it->second, column)) columns.conflicting = true;
}

RowsetColumnIndex2005 RowsetColumnIndex2005::Build(const PageStore& store,
                                                   const SystemPages2005& lists) {
  RowsetColumnIndex2005 index;
  ForEachSystemRow(store, lists.sysrowsets, RowsetRefSlot, [&](ByteView page, uint16_t offset) {
    std::optional<DataRowsetRow> row = DecodeDataRowsetRow(page, offset);
    if (row && row->idMinor <= kMaxDataIndexId) index.dataRowsets_.emplace(row->idMajor, row->rowsetId);
    return true;
  });
  ForEachSystemRow(store, lists.sysrscols, RowsetRefSlot, [&](ByteView page, uint16_t offset) {
    if (std::optional<RscolsRow> row = DecodeRscolsRow(page, offset)) {
      row->column.rscolid = static_cast<uint16_t>(row->rscolid);
      if (row->rscolid > 0xFFFF) row->column.rscolid = 0;
      Add(index.rscols_[row->rowsetId], row->rscolid, row->column, row->type);
    }
    return true;
  });
  ForEachSystemRow(store, lists.sysrowsetcolumns, RowsetRefSlot,
                   [&](ByteView page, uint16_t offset) {
                     std::optional<RowsetColumnRow> row = DecodeRowsetColumnRow(page, offset);
                     if (!row) return true;
                     auto [it, inserted] =
                         index.rowsetToHobt_[row->rowsetId].emplace(row->rscolid, row->hbcolid);
                     if (!inserted && it->second != row->hbcolid)
                       index.rowsetToHobtConflicting_ = true;
                     return true;
                   });
  ForEachSystemRow(store, lists.syshobtcolumns, RowsetRefSlot,
                   [&](ByteView page, uint16_t offset) {
                     if (std::optional<HobtColumnRow> row = DecodeHobtColumnRow(page, offset))
                       Add(index.hobtColumns_[row->hobtId], row->hbcolid, row->column, row->type);
                     return true;
                   });
  return index;
}

std::optional<uint64_t> RowsetColumnIndex2005::DataRowsetOf(uint32_t table_id) const {
  auto it = dataRowsets_.find(table_id);
  if (it == dataRowsets_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::map<uint32_t, PhysicalColumn2005>> RowsetColumnIndex2005::ColumnsOf(
    uint64_t rowset_id) const {
  if (auto it = rscols_.find(rowset_id); it != rscols_.end()) {
    if (it->second.conflicting) return std::nullopt;
    return it->second.byRscolid;
  }
  // 2005: rowset column -> hobt column -> its place. The hobt of an in-row
  // rowset has the rowset's id.
  auto map = rowsetToHobt_.find(rowset_id);
  auto hobt = hobtColumns_.find(rowset_id);
  if (map == rowsetToHobt_.end() || hobt == hobtColumns_.end() || hobt->second.conflicting ||
      rowsetToHobtConflicting_)
    return std::nullopt;
  std::map<uint32_t, PhysicalColumn2005> columns;
  for (const auto& [rscolid, hbcolid] : map->second) {
    auto place = hobt->second.byRscolid.find(hbcolid);
    if (place == hobt->second.byRscolid.end()) return std::nullopt;
    PhysicalColumn2005 c = place->second;
    c.rscolid = rscolid <= 0xFFFF ? static_cast<uint16_t>(rscolid) : 0;
    columns.emplace(rscolid, c);
  }
  return columns;
}

std::map<uint32_t, ColumnType2005> RowsetColumnIndex2005::TypesOf(uint64_t rowset_id) const {
  if (auto it = rscols_.find(rowset_id); it != rscols_.end()) return it->second.types;
  std::map<uint32_t, ColumnType2005> types;
  auto map = rowsetToHobt_.find(rowset_id);
  auto hobt = hobtColumns_.find(rowset_id);
  if (map == rowsetToHobt_.end() || hobt == hobtColumns_.end()) return types;
  for (const auto& [rscolid, hbcolid] : map->second)
    if (auto t = hobt->second.types.find(hbcolid); t != hobt->second.types.end())
      types.emplace(rscolid, t->second);
  return types;
}

std::map<uint16_t, ColumnInfo> PlaceholderColumns2005(
    const std::map<uint32_t, PhysicalColumn2005>& rows,
    const std::map<uint32_t, ColumnType2005>& types,
    const std::function<std::string(uint16_t)>& type_name) {
  std::map<uint16_t, ColumnInfo> columns;
  for (const auto& [rscolid, p] : rows) {
    if (rscolid == 0 || rscolid > 0xFFFF) continue;  // the uniquifier
    ColumnType2005 t;
    if (auto it = types.find(rscolid); it != types.end()) t = it->second;
    ColumnInfo c;
    c.colid = static_cast<uint16_t>(rscolid);
    c.name = "col" + std::to_string(rscolid);
    c.xtype = p.xtype;
    c.xusertype = p.xtype;
    c.xprec = t.prec;
    c.xscale = t.scale;
    c.length = StoredLength(p.xtype, t);
    c.typeName = type_name ? type_name(p.xtype) : std::string();
    c.sizeText = SizeText(TypeShape{p.xtype, p.xtype, c.length, c.xprec, c.xscale});
    if (!IsLengthType(p.xtype) && p.xtype != 106 && p.xtype != 108) c.sizeText.clear();
    c.nullText = " NULL";
    c.xoffset = 1;
    columns.emplace(c.colid, std::move(c));
  }
  return columns;
}

PhysicalLayout2005 CheckedLayout2005(const TableInfo& table, uint64_t rowset_id,
                                     const std::map<uint32_t, PhysicalColumn2005>& rows) {
  PhysicalLayout2005 unknown;
  if (table.columns.empty()) return unknown;
  PhysicalLayout2005 layout;
  layout.rowsetId = rowset_id;

  // Every column of the table has its row, of its type, in the part of the
  // record its type belongs to, inside the record.
  std::vector<std::pair<size_t, size_t>> fixed_ranges;  // [begin, end) of non-bit columns
  std::set<std::pair<int16_t, uint8_t>> bits;           // (byte, bit) of bit columns
  for (const auto& [colid, c] : table.columns) {
    auto it = rows.find(colid);
    if (it == rows.end()) return unknown;
    PhysicalColumn2005 p = it->second;
    p.rscolid = colid;
    if (p.xtype != c.xtype) return unknown;
    if (IsVariableType(c.xtype)) {
      if (p.leafOffset >= 0) return unknown;
    } else if (c.xtype == kBitType) {
      if (p.leafOffset < kFirstFixedOffset || p.bitPos >= kBitsPerByte ||
          static_cast<size_t>(p.leafOffset) + 1 > kMaxRecordBytes)
        return unknown;
      if (!bits.emplace(p.leafOffset, p.bitPos).second) return unknown;
    } else {
      size_t begin = static_cast<size_t>(p.leafOffset);
      if (p.leafOffset < kFirstFixedOffset || c.length == 0 || begin + c.length > kMaxRecordBytes)
        return unknown;
      fixed_ranges.emplace_back(begin, begin + c.length);
    }
    layout.columns.emplace(colid, p);
  }
  for (const auto& [rscolid, p] : rows) {
    if (rscolid <= 0xFFFF && table.columns.count(static_cast<uint16_t>(rscolid))) continue;
    PhysicalColumn2005 hidden = p;
    hidden.rscolid = 0;
    layout.hidden.push_back(hidden);
  }

  // Fixed columns do not overlap one another nor a byte of bit columns.
  std::set<size_t> bit_bytes;
  for (const auto& [byte, bit] : bits) bit_bytes.insert(static_cast<size_t>(byte));
  for (size_t byte : bit_bytes) fixed_ranges.emplace_back(byte, byte + 1);
  std::sort(fixed_ranges.begin(), fixed_ranges.end());
  for (size_t i = 1; i < fixed_ranges.size(); ++i)
    if (fixed_ranges[i].first < fixed_ranges[i - 1].second) return unknown;

  // Null bits and variable numbers: each used once, the variable numbers
  // 1 .. the number of variable columns, hidden ones included.
  std::set<uint16_t> null_bits;
  std::set<int16_t> variables;
  size_t variable_rows = 0;
  auto count = [&](const PhysicalColumn2005& p) {
    if (p.nullBit != 0 && !null_bits.insert(p.nullBit).second) return false;
    if (p.leafOffset < 0) {
      ++variable_rows;
      if (!variables.insert(p.leafOffset).second) return false;
    }
    return true;
  };
  for (const auto& [colid, p] : layout.columns)
    if (!count(p)) return unknown;
  for (const PhysicalColumn2005& p : layout.hidden)
    if (!count(p)) return unknown;
  if (!variables.empty() && -static_cast<int32_t>(*variables.begin()) >
                                static_cast<int32_t>(variable_rows))
    return unknown;

  layout.known = true;
  return layout;
}

void ReadPhysicalLayouts2005(const PageStore& store, const SystemPages2005& lists,
                             Catalog& catalog,
                             const std::function<std::string(uint16_t)>& type_name) {
  if (lists.sysrscols.empty() && lists.syshobtcolumns.empty()) return;
  RowsetColumnIndex2005 index = RowsetColumnIndex2005::Build(store, lists);
  for (auto& [id, table] : catalog.tables) {
    std::optional<uint64_t> rowset = index.DataRowsetOf(id);
    if (!rowset) continue;
    std::optional<std::map<uint32_t, PhysicalColumn2005>> rows = index.ColumnsOf(*rowset);
    if (!rows) continue;
    if (table.columns.empty()) {
      table.columns = PlaceholderColumns2005(*rows, index.TypesOf(*rowset), type_name);
    } else {
      // syscolpars keeps its rows in (object id, column id) order, so a lost
      // page cuts a table's columns at their start or their end; a gap
      // between known columns is a dropped column and stays hidden.
      const uint16_t first = table.columns.begin()->first;
      const uint16_t last = table.columns.rbegin()->first;
      for (auto& [colid, column] :
           PlaceholderColumns2005(*rows, index.TypesOf(*rowset), type_name))
        if (colid < first || colid > last) table.columns.emplace(colid, std::move(column));
    }
    table.physicalLayout2005 = CheckedLayout2005(table, *rowset, *rows);
  }
}

}  // namespace tollamer::sql2005
