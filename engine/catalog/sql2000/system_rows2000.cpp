#include "engine/catalog/sql2000/system_rows2000.h"

#include <algorithm>
#include <vector>

#include "engine/pagestore/page_address.h"

#include "engine/catalog/name_decoding.h"
#include "engine/catalog/sql2000/system_rows2000_layout.h"
#include "engine/catalog/type_texts.h"
#include "engine/pagestore/record_layout.h"
#include "platform/text.h"
#include "engine/values/value_types.h"

namespace tollamer::sql2000 {

using record_layout::NullBitmapBytes;

std::optional<FirstVariableColumn> LocateFirstVariableColumn(ByteView row,
                                                             size_t column_count_offset) {
  std::optional<uint16_t> columns = row.U16(column_count_offset);
  if (!columns) return std::nullopt;
  size_t var_count_at = column_count_offset + 2 + NullBitmapBytes(*columns);
  std::optional<uint16_t> var_count = row.U16(var_count_at);
  std::optional<uint16_t> first_end = row.U16(var_count_at + 2);
  if (!var_count || !first_end) return std::nullopt;
  FirstVariableColumn c;
  c.varCount = *var_count;
  c.start = var_count_at + 2 + 2 * size_t{*var_count};
  c.end = *first_end;
  return c;
}

std::optional<std::string> NameIn(ByteView row, const FirstVariableColumn& column) {
  if (column.end < column.start) return std::nullopt;
  std::optional<ByteView> bytes = row.Slice(column.start, column.end - column.start);
  if (!bytes) return std::nullopt;
  return DecodeName(*bytes);
}

bool SysIndexesRow::DescribesData() const {
  return indid == sysindexes::kHeap || indid == sysindexes::kClustered;
}

std::optional<SysIndexesRow> ReadSysIndexesRow(ByteView row) {
  using namespace sysindexes;
  auto id = row.U32(kId);
  auto indid = row.U16(kIndid);
  auto pages = row.U32(kDataPages);
  auto rows = row.U64(kRowCount);
  auto iam = PointerKey(row, kFirstIam);
  if (!id || !indid || !pages || !rows || !iam) return std::nullopt;
  return SysIndexesRow{*id, *indid, *pages, *rows, *iam};
}

std::optional<uint16_t> ReadSysObjectsXtype(ByteView row) { return row.U16(sysobjects::kXtype); }

std::optional<SysObjectsRow> ReadSysObjectsRow(ByteView row) {
  using namespace sysobjects;
  auto id = row.U32(kId);
  auto xtype = row.U16(kXtype);
  auto uid = row.U16(kUid);
  auto var = LocateFirstVariableColumn(row, kColumnCount);
  if (!id || !xtype || !uid || !var) return std::nullopt;
  if (var->varCount >= kImplausible || var->Length() >= kImplausible) return std::nullopt;
  std::optional<std::string> name = NameIn(row, *var);
  if (!name) return std::nullopt;
  bool shipped = (row.LeOr<uint32_t>(kStatus) & kShippedWithServer) != 0;
  return SysObjectsRow{*id, *xtype, *uid, std::move(*name), shipped};
}

std::optional<uint16_t> ReadSysUsersUid(ByteView row) { return row.U16(sysusers::kUid); }

std::string ReadSysUsersName(ByteView row) {
  auto var = LocateFirstVariableColumn(row, sysusers::kColumnCount);
  if (!var) return {};
  return NameIn(row, *var).value_or(std::string());
}

std::optional<uint32_t> ReadSysColumnsId(ByteView row) { return row.U32(syscolumns::kId); }

std::optional<SysColumnsRow> ReadSysColumnsRow(ByteView row) {
  using namespace syscolumns;
  auto fixed_end = row.U16(kFixedPartEnd);
  if (!fixed_end || *fixed_end >= kImplausible) return std::nullopt;
  auto var = LocateFirstVariableColumn(row, *fixed_end);
  if (!var || var->varCount >= kImplausible) return std::nullopt;
  auto id = row.U32(kId);
  auto xtype = row.U8(kXtype);
  auto stat = row.U8(kTypeStat);
  auto usertype = row.U16(kXusertype);
  auto length = row.U16(kLength);
  auto prec = row.U8(kXprec);
  auto scale = row.U8(kXscale);
  auto colid = row.U16(kColid);
  auto xoffset = row.I16(kXoffset);
  auto bitpos = row.U8(kBitpos);
  auto colstat = row.U16(kColstat);
  if (!id || !xtype || !stat || !usertype || !length || !prec || !scale || !colid || !xoffset ||
      !bitpos || !colstat)
    return std::nullopt;
  SysColumnsRow r;
  r.id = *id;
  r.typeStat = *stat;
  ColumnInfo& c = r.column;
  c.xtype = *xtype;
  c.xusertype = *usertype;
  c.xprec = *prec;
  c.xscale = *scale;
  c.length = *length;
  c.colid = *colid;
  c.xoffset = *xoffset;
  c.bitpos = *bitpos;
  c.colstat = *colstat;
  // SQL 7.0 rows end their fixed part before the collation id.
  if (*fixed_end >= kCollationId + 4) c.collationId = row.U32(kCollationId).value_or(0);
  if (var->Length() != 0 && var->Length() < kImplausible)
    c.name = NameIn(row, *var).value_or(std::string());
  return r;
}

ColumnInfo FinishColumn(const SysColumnsRow& row, std::string type_name) {
  ColumnInfo c = row.column;
  c.typeName = std::move(type_name);
  c.sizeText = ColumnSizeText({c.xtype, c.xusertype, c.length, c.xprec, c.xscale});
  c.nullText = ColumnNullText(row.typeStat);
  return c;
}

std::optional<SysTypesRow> ReadSysTypesRow(ByteView row) {
  using namespace systypes;
  auto xtype = row.U8(kXtype);
  auto status = row.U8(kStatus);
  auto usertype = row.U16(kXusertype);
  auto length = row.U16(kLength);
  auto prec = row.U8(kXprec);
  auto scale = row.U8(kXscale);
  if (!xtype || !status || !usertype || !length || !prec || !scale) return std::nullopt;
  return SysTypesRow{*xtype, *status, *usertype, *length, *prec, *scale,
                     row.U16(kUid).value_or(0)};
}

std::string ReadSysTypesName(ByteView row) {
  auto fixed_end = row.U16(kFixedPartEnd);
  if (!fixed_end) return {};
  auto var = LocateFirstVariableColumn(row, *fixed_end);
  if (!var) return {};
  return NameIn(row, *var).value_or(std::string());
}

bool IsUserDefinedType(const SysTypesRow& row) {
  return row.xtype != row.xusertype && row.xusertype != value_type::kSysname;
}

std::optional<uint32_t> ReadSysCommentsId(ByteView row) { return row.U32(syscomments::kId); }

std::string DecodeCommentText(ByteView bytes, uint16_t code_page) {
  // The piece is read as if copied into a buffer two zero bytes longer.
  std::vector<uint8_t> buffer(bytes.data(), bytes.data() + bytes.size());
  buffer.resize(bytes.size() + 2, 0);
  size_t narrow = static_cast<size_t>(std::find(buffer.begin(), buffer.end(), 0) - buffer.begin());
  if (bytes.size() <= narrow + 2)
    return platform::CodePageToUtf8(std::span<const uint8_t>(buffer.data(), narrow), code_page);
  size_t units = 0;
  while (2 * units + 1 < buffer.size() && (buffer[2 * units] | buffer[2 * units + 1]) != 0) ++units;
  return platform::Utf16LeToUtf8(std::span<const uint8_t>(buffer.data(), 2 * units));
}

std::optional<std::string> ReadSysCommentsText(ByteView row, uint16_t code_page) {
  auto fixed_end = row.U16(kFixedPartEnd);
  if (!fixed_end) return std::nullopt;
  auto columns = row.U16(*fixed_end);
  if (!columns) return std::nullopt;
  size_t bitmap = NullBitmapBytes(*columns);
  size_t start = size_t{*fixed_end} + bitmap + syscomments::kTextAfterBitmap;
  auto end = row.U16(size_t{*fixed_end} + 2 + bitmap + 2);
  if (!end || *end < start) return std::nullopt;
  std::optional<ByteView> text = row.Slice(start, *end - start);
  if (!text) return std::nullopt;
  return DecodeCommentText(*text, code_page);
}

}  // namespace tollamer::sql2000
