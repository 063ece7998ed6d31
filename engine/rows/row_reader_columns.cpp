#include "engine/rows/row_reader_columns.h"

#include <algorithm>
#include <cstdint>

#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/record_layout.h"
#include "engine/values/value_format.h"

namespace tollamer {

using namespace record_layout;

namespace {

// colstat bit of a SQL 2000 computed column.
constexpr uint16_t kColstatComputed = 0x04;

// The null-bitmap index of a recorded column that has no null bit: past
// any column count, so IsNullColumn answers "not NULL".
constexpr size_t kNoNullBit = SIZE_MAX;

uint16_t Saturate16(size_t v) { return static_cast<uint16_t>(std::min<size_t>(v, 0xFFFF)); }

// Where the null bitmap and the variable columns' end offsets of one
// record lie, checked against the page once: where both lie wholly inside
// it (the usual case) a column's bit and end offset are read without a
// check of their own; otherwise each read is checked as IsNullColumn and
// VariableEndOffset check it.
struct RecordArrays {
  RecordArrays(ByteView record, const RecordFrame& frame) : record(record), frame(frame) {
    const size_t bitmap_at = size_t{frame.fixedEnd} + kColumnCountSize;
    if (record.Contains(bitmap_at, frame.nullBitmapSize)) bitmap = record.data() + bitmap_at;
    const size_t ends_at = bitmap_at + frame.nullBitmapSize + kVariableCountSize;
    if (record.Contains(ends_at, size_t{kEndOffsetSize} * frame.variableCount))
      ends = record.data() + ends_at;
    variableStart = ends_at + size_t{kEndOffsetSize} * frame.variableCount;
  }
  bool InPage() const { return bitmap && ends; }

  ByteView record;
  const RecordFrame& frame;
  const uint8_t* bitmap = nullptr;
  const uint8_t* ends = nullptr;
  size_t variableStart = 0;  // where the first variable column's bytes begin
};

// The reads of a record's arrays; kInPage: both lie inside the page.
template <bool kInPage>
struct ArrayReads {
  const RecordArrays& a;

  bool IsNull(size_t index) const {
    if (index >= a.frame.columnCount) return false;
    if (kInPage) return ((a.bitmap[index / 8] >> (index % 8)) & 1) != 0;
    return IsNullColumn(a.record, a.frame, index);
  }

  // The end offset of variable column k, bit 15 included; kNoEnd when
  // the record stores no such column or its offset lies past the page.
  // (A plain number rather than an optional: this runs for every variable
  // cell of every row.)
  static constexpr uint32_t kNoEnd = 0x10000;
  uint32_t EndOffset(size_t k) const {
    if (k < 1 || k > a.frame.variableCount) return kNoEnd;
    if (!kInPage) return VariableEndOffset(a.record, a.frame, k).value_or(kNoEnd);
    const uint8_t* at = a.ends + kEndOffsetSize * (k - 1);
    return uint32_t{at[0]} | (uint32_t{at[1]} << 8);
  }
};

// Locates every cell of one record: `rules` are the locator's, `out` has
// room for one cell per rule.
template <bool kInPage>
void LocateAll(const CellLocator::Rule* rules, size_t n, bool use_max_length,
               const RecordArrays& arrays, size_t record_offset, CellLocation* out) {
  const ArrayReads<kInPage> reads{arrays};
  const RecordFrame& frame = arrays.frame;
  const size_t column_count = frame.columnCount;
  const size_t fixed_end = frame.fixedEnd;
  const size_t variable_count = frame.variableCount;
  // A binary column is NULL where the record stores fewer columns than the
  // table has and does not reach it.
  const bool short_record = column_count < n;
  size_t ordinal = 1;  // the variable columns' count so far, from 1
  for (size_t i = 0; i < n; ++i) {
    const CellLocator::Rule& r = rules[i];
    CellLocation& cell = out[i];
    cell = {};
    if (r.place == ColumnPlace::kComputed) continue;
    const bool is_null = reads.IsNull(r.nullIndex);
    if (r.place != ColumnPlace::kVariable) {
      if (!is_null && r.offset < fixed_end &&
          !(r.binary && short_record && r.nullIndex >= column_count))
        cell = r.stored;
      continue;
    }
    const size_t k = r.recorded ? r.variable : ordinal;
    if (is_null) {
      ++ordinal;
      continue;
    }
    if (k > variable_count) {
      cell.kind = CellKind::kNotStored;
      continue;
    }
    ++ordinal;
    // Variable column r.variable, as the plan numbers it.
    const uint32_t end_raw = reads.EndOffset(r.variable);
    if (end_raw == reads.kNoEnd) {
      // The catalog names a variable column beyond those stored.
      cell.kind = CellKind::kNotStored;
      continue;
    }
    size_t start = arrays.variableStart;
    if (r.variable > 1) {
      const uint32_t previous = reads.EndOffset(r.variable - 1);
      if (previous != reads.kNoEnd) start = previous & kEndOffsetMask;
    }
    if (record_offset + start > page_layout::kPageSize) continue;  // NULL
    const size_t end = end_raw & kEndOffsetMask;
    size_t length = end >= start ? end - start : 0;
    if (use_max_length) {
      // text, ntext and image columns count 16 bytes (the text pointer),
      // but a table with 'text in row' keeps longer values in the row;
      // whatever the catalog allows, the value must lie inside the page.
      if (length > r.length && !r.large) length = 0;
      if (record_offset + start + length > page_layout::kPageSize) length = 0;
    } else if (record_offset + start + length >= kRecordLimit) {
      length = 0;
    }
    cell.kind = CellKind::kVariable;
    cell.offset = Saturate16(start);
    cell.length = Saturate16(length);
    cell.complex = (end_raw & kComplexFlag) != 0;
  }
}

}  // namespace

CellLocator::CellLocator(const std::vector<ColumnPlan>& plan, bool catalog_offsets)
    : useMaxLength_(catalog_offsets) {
  rules_.reserve(plan.size());
  // A computed column stores no null bit; the others count from 0.
  size_t null_index = 0;
  for (const ColumnPlan& p : plan) {
    const ColumnInfo& c = *p.column;
    Rule r;
    r.place = p.place;
    r.recorded = p.recorded;
    r.binary = c.xtype == value_type::kBinary;
    r.large = c.xtype == value_type::kText || c.xtype == value_type::kNText ||
              c.xtype == value_type::kImage;
    r.bit = p.bit;
    r.offset = p.offset;
    r.length = c.length;
    r.variable = p.variable;
    r.stored.kind = p.place == ColumnPlace::kBit ? CellKind::kBit : CellKind::kFixed;
    r.stored.offset = p.offset;
    r.stored.length = c.length;
    r.stored.bit = p.bit;
    if (p.place != ColumnPlace::kComputed) {
      // A recorded column without a null bit is never NULL by its bitmap.
      r.nullIndex = p.recorded ? (p.nullIndex ? size_t{*p.nullIndex} : kNoNullBit) : null_index;
      ++null_index;
    }
    rules_.push_back(r);
  }
}

void CellLocator::Locate(ByteView record, const RecordFrame& frame, size_t record_offset,
                         std::vector<CellLocation>& cells) const {
  const size_t n = rules_.size();
  cells.resize(n);
  const RecordArrays arrays(record, frame);
  if (arrays.InPage())
    LocateAll<true>(rules_.data(), n, useMaxLength_, arrays, record_offset, cells.data());
  else
    LocateAll<false>(rules_.data(), n, useMaxLength_, arrays, record_offset, cells.data());
}

std::vector<ColumnPlan> PlanColumns2000(const TableInfo& table) {
  std::vector<ColumnPlan> plan;
  plan.reserve(table.columns.size());
  // Columns inferred from the records (their syscolumns rows lost) carry
  // their places as a recorded layout, without null bits.
  const PhysicalLayout2005& layout = table.physicalLayout2005;
  for (const auto& [colid, c] : table.columns) {
    ColumnPlan p;
    p.column = &c;
    if (layout.known) {
      if (auto place = layout.columns.find(colid); place != layout.columns.end()) {
        p.recorded = true;
        if (place->second.nullBit != 0) p.nullIndex = static_cast<uint16_t>(place->second.nullBit - 1);
      }
    }
    if (c.colstat & kColstatComputed) {
      p.place = ColumnPlace::kComputed;
    } else if (c.xoffset < 0) {
      p.place = ColumnPlace::kVariable;
      p.variable = static_cast<uint16_t>(-static_cast<int32_t>(c.xoffset));
    } else {
      p.place = c.xtype == value_type::kBit ? ColumnPlace::kBit : ColumnPlace::kFixed;
      p.offset = static_cast<uint16_t>(c.xoffset);
      p.bit = c.bitpos;
    }
    plan.push_back(p);
  }
  return plan;
}

bool IsVariableType2005(uint8_t xtype) {
  switch (xtype) {
    case value_type::kXml: case value_type::kVarChar: case value_type::kNText:
    case value_type::kText: case value_type::kNVarChar: case value_type::kImage:
    case value_type::kVarBinary: case value_type::kClr: case value_type::kSqlVariant:
      return true;
    default:
      return false;
  }
}

namespace {

// The plan from the recorded layout; CheckedLayout2005 made sure that
// every column has its place, of its type's kind.
std::vector<ColumnPlan> PlanRecordedColumns2005(TableInfo& table) {
  std::vector<ColumnPlan> plan;
  plan.reserve(table.columns.size());
  const PhysicalLayout2005& layout = table.physicalLayout2005;
  for (auto& [colid, c] : table.columns) {
    const PhysicalColumn2005& place = layout.columns.at(colid);
    ColumnPlan p;
    p.column = &c;
    p.recorded = true;
    if (place.nullBit != 0) p.nullIndex = static_cast<uint16_t>(place.nullBit - 1);
    if (place.leafOffset < 0) {
      c.xoffset = place.leafOffset;
      p.place = ColumnPlace::kVariable;
      p.variable = static_cast<uint16_t>(-static_cast<int32_t>(place.leafOffset));
    } else {
      p.place = c.xtype == value_type::kBit ? ColumnPlace::kBit : ColumnPlace::kFixed;
      p.offset = static_cast<uint16_t>(place.leafOffset);
      p.bit = place.bitPos;
    }
    plan.push_back(p);
  }
  return plan;
}

// The recorded layout is used only when it names every column of the table.
bool HasRecordedLayout(const TableInfo& table) {
  const PhysicalLayout2005& layout = table.physicalLayout2005;
  if (!layout.known || layout.columns.size() != table.columns.size()) return false;
  for (const auto& [colid, c] : table.columns)
    if (!layout.columns.count(colid)) return false;
  return true;
}

}  // namespace

std::vector<ColumnPlan> PlanColumns2005(TableInfo& table) {
  if (HasRecordedLayout(table)) return PlanRecordedColumns2005(table);
  std::vector<ColumnPlan> plan;
  plan.reserve(table.columns.size());
  size_t offset = kFixedData;
  uint16_t variables = 0;
  uint8_t bits_in_group = 0;
  size_t group_offset = 0;
  for (auto& [colid, c] : table.columns) {
    ColumnPlan p;
    p.column = &c;
    if (IsVariableType2005(c.xtype)) {
      ++variables;
      c.xoffset = static_cast<int16_t>(-static_cast<int32_t>(variables));
      p.place = ColumnPlace::kVariable;
      p.variable = variables;
    } else if (c.xtype == value_type::kBit) {
      if (bits_in_group == 0) group_offset = offset++;
      p.place = ColumnPlace::kBit;
      p.offset = Saturate16(group_offset);
      p.bit = bits_in_group;
      bits_in_group = static_cast<uint8_t>((bits_in_group + 1) % 8);
    } else {
      p.place = ColumnPlace::kFixed;
      p.offset = Saturate16(offset);
      offset += c.length;
    }
    plan.push_back(p);
  }
  return plan;
}

}  // namespace tollamer
