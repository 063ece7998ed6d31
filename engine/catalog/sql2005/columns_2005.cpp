#include "engine/catalog/sql2005/columns_2005.h"

#include "engine/catalog/sql2005/system_row_layout_2005.h"
#include "engine/catalog/sql2005/system_rows_2005.h"
#include "engine/catalog/type_texts.h"

namespace tollamer::sql2005 {

namespace {

bool HasScaleText(uint16_t id) {
  return id == kTypeTime || id == kTypeDatetime2 || id == kTypeDatetimeOffset;
}

}  // namespace

std::string ColumnSizeText2005(uint8_t xtype, uint16_t utype, uint16_t length, uint8_t prec,
                               uint8_t scale) {
  if (!IsLengthType(utype) && !HasScaleText(utype)) return {};
  if (HasScaleText(xtype)) return "(" + std::to_string(scale) + ")";
  return SizeText(TypeShape{xtype, utype, length, prec, scale});
}

ColumnIndex2005 ColumnIndex2005::Build(const PageStore& store, const SystemPageList& syscolpars,
                                       const LookupIndex2005& lookups,
                                       const std::unordered_set<uint32_t>* wanted) {
  ColumnIndex2005 index;
  ForEachSystemRow(store, syscolpars, ColumnSlot, [&](ByteView page, uint16_t offset) {
    std::optional<ColParRow> row = DecodeColParRow(page, offset);
    if (!row) return true;
    uint8_t status = static_cast<uint8_t>(row->status);
    if ((status & row_layout::colpars::kSkipStatusBits) == row_layout::colpars::kSkipStatusBits)
      return true;
    if (wanted && !wanted->contains(row->id)) return true;
    ColumnMap& columns = index.columns_[row->id];
    if (columns.contains(row->colid)) return true;
    ColumnInfo c;
    c.name = ColParName(page, offset);
    c.typeName = lookups.LookupTypeName2005(row->utype);
    c.sizeText = ColumnSizeText2005(row->xtype, row->utype, row->length, row->prec, row->scale);
    c.nullText = ColumnNullText(status);
    c.xtype = row->xtype;
    c.xusertype = row->utype;
    c.xprec = row->prec;
    c.xscale = row->scale;
    c.length = row->length;
    c.colid = row->colid;
    c.collationId = row->collationId;
    c.xoffset = 1;  // the 2005/2008 row reader places columns itself
    columns.emplace(row->colid, std::move(c));
    return true;
  });
  return index;
}

void ColumnIndex2005::ReadColumns2005(uint32_t object_id, ColumnMap& columns) const {
  auto it = columns_.find(object_id);
  if (it == columns_.end()) return;
  for (const auto& [colid, column] : it->second) columns.emplace(colid, column);
}

void ColumnIndex2005::TakeColumns2005(uint32_t object_id, ColumnMap& columns) {
  auto it = columns_.find(object_id);
  if (it == columns_.end()) return;
  if (columns.empty()) {
    columns = std::move(it->second);
  } else {
    for (auto& [colid, column] : it->second) columns.emplace(colid, std::move(column));
  }
  columns_.erase(it);
}

}  // namespace tollamer::sql2005
