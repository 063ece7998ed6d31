#include "engine/catalog/inferred_columns.h"

#include <algorithm>
#include <optional>

#include "engine/pagestore/record_layout.h"
#include "engine/values/value_types.h"

namespace tollamer {

using namespace page_layout;
using namespace record_layout;

namespace {

constexpr uint16_t kFirstFixedOffset = kFixedData;
constexpr uint8_t kTypeBinary = 173;
// No more pages than this are read for a page with a primary record.
constexpr size_t kPagesTried = 8;

std::optional<RecordShape> ReadShape(ByteView r) {
  std::optional<uint8_t> a = r.U8(kStatusA);
  std::optional<uint16_t> f = r.U16(kFixedEnd);
  if (!a || !f || !IsPrimaryStatus(*a) || *f < kFirstFixedOffset) return std::nullopt;
  std::optional<uint16_t> k = r.U16(*f);
  if (!k) return std::nullopt;
  RecordShape shape{*k, *f, 0};
  if (*a & kStatusVariableColumns) {
    std::optional<uint16_t> v = r.U16(size_t{*f} + kColumnCountSize + NullBitmapBytes(*k));
    if (!v || *v > *k) return std::nullopt;
    shape.variables = *v;
  }
  return shape;
}

ColumnInfo Placeholder(uint16_t colid, uint8_t xtype, uint16_t length) {
  ColumnInfo c;
  c.colid = colid;
  c.name = "col" + std::to_string(colid);
  c.typeName = xtype == kTypeBinary ? "binary" : "varbinary";
  c.xtype = xtype;
  c.xusertype = xtype;
  c.length = length;
  c.sizeText = length == kMaxLength ? "(max)" : "(" + std::to_string(length) + ")";
  c.nullText = " NULL";
  return c;
}

}  // namespace

std::optional<RecordShape> ReadRecordShape(const PageStore& store,
                                                   const std::vector<uint64_t>& pages) {
  size_t tried = 0;
  for (uint64_t page_number : pages) {
    if (tried++ == kPagesTried) break;
    std::optional<Page> page = store.ReadPage(page_number);
    if (!page) continue;
    ByteView v = page->view();
    std::optional<PageHeader> h = PageHeader::Decode(v);
    if (!h) continue;
    std::optional<RecordShape> shape;
    for (size_t slot = 0; slot < h->slotCnt && slot < kMaxSlots; ++slot) {
      std::optional<uint16_t> offset = SlotOffset(v, slot);
      if (!offset || *offset < kHeaderSize) continue;
      std::optional<RecordShape> record = ReadShape(v.From(*offset));
      if (!record) continue;
      if (!shape) {
        shape = record;
      } else if (shape->fixedSize != record->fixedSize) {
        return std::nullopt;
      } else {
        shape->columns = std::max(shape->columns, record->columns);
        shape->variables = std::max(shape->variables, record->variables);
      }
    }
    if (shape) return shape;
  }
  return std::nullopt;
}

bool InferColumnsFromRecords(const PageStore& store, const DataPageList& pages, TableInfo& table) {
  std::optional<RecordShape> shape = ReadRecordShape(store, pages);
  if (!shape) return false;

  std::map<uint16_t, ColumnInfo> columns;
  PhysicalLayout2005 layout;
  layout.known = true;
  uint16_t colid = 1;
  if (shape->fixedSize > kFirstFixedOffset) {
    columns.emplace(colid, Placeholder(colid, kTypeBinary, shape->fixedSize - kFirstFixedOffset));
    columns.at(colid).xoffset = static_cast<int16_t>(kFirstFixedOffset);
    layout.columns.emplace(colid, PhysicalColumn2005{colid, static_cast<int16_t>(kFirstFixedOffset),
                                                     0, 0, kTypeBinary});
    ++colid;
  }
  for (uint16_t k = 1; k <= shape->variables; ++k, ++colid) {
    columns.emplace(colid, Placeholder(colid, value_type::kVarBinary, kMaxLength));
    columns.at(colid).xoffset = static_cast<int16_t>(-k);
    layout.columns.emplace(colid, PhysicalColumn2005{colid, static_cast<int16_t>(-k), 0, 0,
                                                     value_type::kVarBinary});
  }
  if (columns.empty()) return false;
  // The other fixed columns of the record lie inside col1: counted as
  // hidden, so that records of K columns are read.
  for (size_t k = columns.size(); k < shape->columns; ++k) layout.hidden.push_back({});
  table.columns = std::move(columns);
  table.physicalLayout2005 = std::move(layout);
  table.columnsInferred = true;
  return true;
}

}  // namespace tollamer
