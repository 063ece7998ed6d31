#include "engine/catalog/sql2005/system_rows_2005.h"

#include <algorithm>

#include "engine/catalog/name_decoding.h"
#include "engine/catalog/sql2005/system_row_layout_2005.h"
#include "engine/pagestore/page_header.h"
#include "engine/pagestore/record_layout.h"
#include "platform/text.h"

namespace tollamer::sql2005 {

using namespace row_layout;
using page_layout::kPageSize;

namespace {

// The bytes [start, end) of a record, cut at the page end and at the longest
// sysname; empty when end does not lie after start.
ByteView NameBytes(ByteView record, size_t start, size_t end) {
  if (end <= start) return {};
  end = std::min(end, start + kMaxNameBytes);
  end = std::min(end, record.size());
  if (end <= start) return {};
  return *record.Slice(start, end - start);
}

// A name of `units` UTF-16 units from `start`, decoded unit by unit.
std::string NameOfUnits(ByteView record, size_t start, size_t end_offset) {
  // ((end - (start + 1)) / 2) + 1 units: an odd byte count is rounded up.
  if (end_offset <= start) return {};
  size_t units = (end_offset - start - 1) / 2 + 1;
  return DecodeName(NameBytes(record, start, start + 2 * units));
}

// N, the null bitmap size of the record: ceil(K / 8) with K at F.
std::optional<size_t> NullBitmapSize(ByteView record, uint16_t f) {
  std::optional<uint16_t> k = record.U16(f);
  if (!k) return std::nullopt;
  return record_layout::NullBitmapBytes(*k);
}

}  // namespace

std::optional<AllocUnitRow> DecodeAllocUnitRow(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  auto type = r.U8(allocunits::kType);
  auto owner = r.U64(allocunits::kOwnerId);
  auto iam = r.U32(allocunits::kPgFirstIam);
  auto iam_file = r.U16(allocunits::kPgFirstIamFileId);
  auto used = r.U64(allocunits::kPcUsed);
  if (!type || !owner || !iam || !iam_file || !used) return std::nullopt;
  return AllocUnitRow{r.LeOr<uint64_t>(allocunits::kAuid), *type, *owner,
                      *iam == 0 ? 0 : PageKey(*iam_file, *iam), *iam_file, *used};
}

std::optional<RowsetRow> DecodeRowsetRow(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  auto id = r.U32(rowsets::kIdMajor);
  auto rows = r.U64(rowsets::kRcRows);
  if (!id || !rows) return std::nullopt;
  return RowsetRow{*id, *rows};
}

std::optional<SchObjRow> DecodeSchObjRow(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  auto id = r.U32(schobjs::kId);
  auto nsid = r.U16(schobjs::kNsid);
  auto t0 = r.U8(schobjs::kType);
  auto t1 = r.U8(schobjs::kType + 1);
  if (!id || !nsid || !t0 || !t1) return std::nullopt;
  return SchObjRow{*id, *nsid, {static_cast<char>(*t0), static_cast<char>(*t1)},
                   r.U32(schobjs::kStatus).value_or(0)};
}

void SetModuleOptions(uint32_t status, ModuleInfo& module) {
  module.ansiNulls = (status & schobj_status::kAnsiNulls) != 0;
  module.quotedIdentifier = (status & schobj_status::kQuotedIdentifier) != 0;
}

std::optional<ClsObjRow> DecodeClsObjRow(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  auto cls = r.U8(clsobjs::kClass);
  auto id = r.U32(clsobjs::kId);
  if (!cls || !id) return std::nullopt;
  return ClsObjRow{*cls, *id};
}

std::optional<ScalarTypeRow> DecodeScalarTypeRow(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  auto id = r.U32(scalartypes::kId);
  auto schid = r.U32(scalartypes::kSchid);
  auto xtype = r.U8(scalartypes::kXtype);
  auto length = r.U16(scalartypes::kLength);
  auto prec = r.U8(scalartypes::kPrec);
  auto scale = r.U8(scalartypes::kScale);
  auto status = r.U32(scalartypes::kStatus);
  if (!id || !schid || !xtype || !length || !prec || !scale || !status) return std::nullopt;
  return ScalarTypeRow{*id, *schid, *xtype, *length, *prec, *scale, *status};
}

std::optional<ColParRow> DecodeColParRow(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  auto id = r.U32(colpars::kId);
  auto colid = r.U16(colpars::kColid);
  auto xtype = r.U8(colpars::kXtype);
  auto utype = r.U16(colpars::kUtype);
  auto length = r.U16(colpars::kLength);
  auto prec = r.U8(colpars::kPrec);
  auto scale = r.U8(colpars::kScale);
  auto status = r.U32(colpars::kStatus);
  if (!id || !colid || !xtype || !utype || !length || !prec || !scale || !status)
    return std::nullopt;
  ColParRow row{*id, *colid, *xtype, *utype, *length, *prec, *scale, *status};
  row.collationId = r.U32(colpars::kCollationId).value_or(0);
  return row;
}

std::optional<ObjValueRow> DecodeObjValueRow(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  auto objid = r.U32(objvalues::kObjId);
  auto f = r.U16(kFixedEnd);
  if (!objid || !f) return std::nullopt;
  auto n = NullBitmapSize(r, *f);
  if (!n) return std::nullopt;
  auto start = r.U16(*f + *n + objvalues::kValueStartFromFN);
  auto end = r.U16(*f + *n + objvalues::kValueEndFromFN);
  if (!start || !end) return std::nullopt;
  bool off_row = (*end & objvalues::kOffRowBit) != 0;
  uint16_t clean_end = static_cast<uint16_t>(*end & ~objvalues::kOffRowBit);
  return ObjValueRow{*objid, *start, static_cast<uint16_t>(clean_end - *start), off_row};
}

std::optional<IdxStatRow> DecodeIdxStatRow(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  auto id = r.U32(idxstats::kId);
  auto indid = r.U32(idxstats::kIndId);
  auto rowset = r.U64(idxstats::kRowset);
  if (!id || !indid || !rowset) return std::nullopt;
  return IdxStatRow{*id, *indid, *rowset};
}

std::optional<RowsetRefRow> DecodeRowsetRefRow(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  auto objid = r.U32(rowsetrefs::kObjId);
  auto rowset = r.U64(rowsetrefs::kRowsetId);
  if (!objid || !rowset) return std::nullopt;
  return RowsetRefRow{*objid, *rowset};
}

std::string SchObjName(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  auto f = r.U16(kFixedEnd);
  if (!f) return {};
  auto end = r.U16(size_t{*f} + schobjs::kNameEndFromF);
  if (!end) return {};
  return DecodeName(NameBytes(r, size_t{*f} + schobjs::kNameStartFromF, *end));
}

std::string ClsObjName(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  auto end = r.U16(clsobjs::kNameEnd);
  if (!end) return {};
  return DecodeName(NameBytes(r, clsobjs::kNameStart, *end));
}

std::string ScalarTypeName(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  auto end = r.U16(scalartypes::kNameEnd);
  if (!end) return {};
  return NameOfUnits(r, scalartypes::kNameStart, *end);
}

std::string ColParName(ByteView page, uint16_t offset) {
  ByteView r = page.From(offset);
  auto f = r.U16(kFixedEnd);
  if (!f) return {};
  auto n = NullBitmapSize(r, *f);
  if (!n) return {};
  auto v = r.U16(*f + *n + colpars::kVarCountFromFN);
  auto e = r.U16(*f + *n + colpars::kNameEndFromFN);
  if (!v || !e) return {};
  if (*v == 1) {
    ByteView bytes = NameBytes(r, colpars::kNameStartOneVar, *e);
    // One UTF-16 string, ending at its first zero unit.
    size_t units = bytes.size() / 2;
    for (size_t i = 0; i < units; ++i) {
      if (bytes.LeOr<uint16_t>(2 * i) == 0) {
        units = i;
        break;
      }
    }
    return DecodeName(*bytes.Slice(0, 2 * units));
  }
  return NameOfUnits(r, colpars::kNameStartTwoVars, *e);
}

void ForEachSystemRow(const PageStore& store, const SystemPageList& list, SlotFilter keep,
                      const std::function<bool(ByteView, uint16_t)>& visit) {
  for (uint64_t page_number : list) {
    std::optional<Page> page = store.ReadPage(page_number);
    if (!page) continue;
    ByteView v = page->view();
    uint16_t slots = v.LeOr<uint16_t>(page_layout::kSlotCnt);
    for (size_t i = 0; i < slots; ++i) {
      std::optional<uint16_t> offset = SlotOffset(v, i);
      if (!offset) break;  // the slot array would run into the header
      if (!keep(i, *offset)) continue;
      if (!visit(v, *offset)) break;
    }
  }
}

bool AnySlot(size_t, uint16_t) { return true; }
bool ObjectListSlot(size_t slot, uint16_t offset) {
  return 2 * slot + 2 <= kPageSize && offset != 0 && offset <= kPageSize;
}
bool ModuleTextSlot(size_t slot, uint16_t offset) {
  return 2 * slot + 2 <= kPageSize && offset <= kPageSize;
}
bool ColumnSlot(size_t, uint16_t offset) { return offset <= kPageSize; }
bool IdxStatSlot(size_t slot, uint16_t offset) {
  return 2 * slot + 2 < kPageSize && offset != 0 && offset < kPageSize;
}
bool RowsetRefSlot(size_t slot, uint16_t offset) {
  return 2 * slot + 2 < kPageSize && offset < kPageSize;
}

}  // namespace tollamer::sql2005
