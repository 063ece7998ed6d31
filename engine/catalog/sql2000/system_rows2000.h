// Readers for single rows of the SQL 7.0/2000 system tables (field layout in
// system_rows2000_layout.h). Each takes the row as a view from its first
// byte to the end of its page, so nothing is ever read beyond the page; a
// row whose fields do not fit, or whose geometry is implausible, yields
// nothing and is skipped by the callers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/byte_view.h"

namespace tollamer::sql2000 {

// The first variable column of a row, row-relative.
struct FirstVariableColumn {
  uint16_t varCount = 0;  // number of variable columns
  size_t start = 0;       // first byte: right after the end-offset array
  uint16_t end = 0;       // the first end offset as stored

  // end - start as an unsigned 16-bit number: a reversed range is huge.
  uint16_t Length() const { return static_cast<uint16_t>(end - start); }
};

// Locates the first variable column when the row's column count is at
// `column_count_offset`: the null bitmap follows it, then the variable
// column count and the end offsets.
std::optional<FirstVariableColumn> LocateFirstVariableColumn(ByteView row,
                                                             size_t column_count_offset);

// The decoded name in the column, "" for an empty column, nothing when its
// range does not lie inside the row view.
std::optional<std::string> NameIn(ByteView row, const FirstVariableColumn& column);

struct SysIndexesRow {
  uint32_t id = 0;
  uint16_t indid = 0;
  uint32_t dataPages = 0;
  uint64_t rowCount = 0;
  uint64_t firstIam = 0;  // page key (page_address.h)

  // Heap or clustered index: the row that describes the object's data.
  bool DescribesData() const;
};
std::optional<SysIndexesRow> ReadSysIndexesRow(ByteView row);

struct SysObjectsRow {
  uint32_t id = 0;
  uint16_t xtype = 0;
  uint16_t uid = 0;
  std::string name;
  bool shippedWithServer = false;
};
// Just the xtype, to filter rows before decoding them.
std::optional<uint16_t> ReadSysObjectsXtype(ByteView row);
// Nothing when the variable column count or the name length is 0x2000 or
// more, or when the name runs out of the page.
std::optional<SysObjectsRow> ReadSysObjectsRow(ByteView row);

std::optional<uint16_t> ReadSysUsersUid(ByteView row);
// "" when the name cannot be located.
std::string ReadSysUsersName(ByteView row);

struct SysColumnsRow {
  uint32_t id = 0;
  uint8_t typeStat = 0;
  ColumnInfo column;  // system fields and name; type texts left empty
};
std::optional<uint32_t> ReadSysColumnsId(ByteView row);
// Nothing when the fixed-part end or the variable column count is 0x2000
// or more. The name is "" when its length is 0 or 0x2000 or more, or when
// it runs out of the page.
std::optional<SysColumnsRow> ReadSysColumnsRow(ByteView row);
// The column with its type name, size text and null text filled in.
ColumnInfo FinishColumn(const SysColumnsRow& row, std::string type_name);

struct SysTypesRow {
  uint8_t xtype = 0;
  uint8_t status = 0;
  uint16_t xusertype = 0;
  uint16_t length = 0;
  uint8_t xprec = 0;
  uint8_t xscale = 0;
  uint16_t uid = 0;  // the owner; 0 when the row is too short to say
};
std::optional<SysTypesRow> ReadSysTypesRow(ByteView row);
// "" when the name cannot be located.
std::string ReadSysTypesName(ByteView row);
// A user-defined type: xtype differs from xusertype, which is not sysname.
bool IsUserDefinedType(const SysTypesRow& row);

std::optional<uint32_t> ReadSysCommentsId(ByteView row);
// The text piece of a syscomments row, converted to UTF-8. 8-bit text is
// taken up to its first zero byte; when that leaves more than two bytes
// unread the bytes are UTF-16LE text, taken up to the first zero unit.
// 8-bit text is in the database's code page. Nothing when the text does not
// lie inside the page.
std::optional<std::string> ReadSysCommentsText(ByteView row, uint16_t code_page = 1252);
// The text rule on its own, for the bytes of one piece.
std::string DecodeCommentText(ByteView bytes, uint16_t code_page = 1252);

}  // namespace tollamer::sql2000
