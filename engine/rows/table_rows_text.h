// The record grid's texts: one more formatter over the typed values of a
// record, keeping the forms the grid has always shown. Besides the value,
// the grid looks at how the record held it (TypedValue::source), whether
// the record is compressed and the file's format:
//
//   TYPE            SQL 7.0/2000 FILES                SQL 2005/2008 FILES
//   sql_variant     NULL                              NULL
//   varchar         in-row text ("" when empty);      in-row text (" " when empty);
//                   complex: ""                       complex: off-row text, 800 chars
//   nvarchar        UTF-16 text ("" when empty)       the same; complex: off-row, 800 chars
//   xml             -                                 binary XML (" " when empty);
//                                                     complex: off-row, 800 chars
//   text            text pointer, 100 chars           text pointer, 8000 chars
//   ntext           page id 0: ""; else 200 chars     page id 0: ""; else 8000 chars
//   image           0x + hex of at most 4000 bytes    the same
//   varbinary       0x + hex; complex: ""             the same; complex: off-row, 800 bytes
//   CLR type        -                                 as varbinary
//   char            cut before ten blanks             with its pad blanks
//   decimal p<=19   "0" when implausible              any non-zero sign byte is positive
//   decimal p>=20   0x, precision, scale, 00, then the stored bytes in hex
//   datetime        1/300-second ticks cut down to milliseconds; NULL outside
//                   1753-9999 or past midnight (smalldatetime: 1900-2079)
//
// Text up to a NUL is shown, in-row. A compressed record (SQL 2008) shows an
// empty value (no bytes) as "" except int, bit and decimal ("0"), its nchar
// and nvarchar values cut before ten blanks, and empty varchar and xml as "".
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/rows/row_reader.h"
#include "engine/rows/typed_value.h"

namespace tollamer {

// Display limits.
inline constexpr size_t kText2000Chars = 100;
inline constexpr size_t kNText2000Chars = 200;
inline constexpr size_t kLargeText2005Chars = 8000;
inline constexpr size_t kOverflowChars = 800;
inline constexpr size_t kOverflowBytes = 800;
inline constexpr size_t kImageBytes = 4000;

struct GridStyle {
  bool sql2000 = false;     // a SQL 7.0/2000 file
  bool compressed = false;  // a compressed (CD) record
};

// The grid text of `value`, a value of `column`, into `out`, which takes
// over the value's text (the value keeps the old text's allocation).
void SetGridText(TypedValue& value, const ColumnInfo& column, GridStyle style,
                 std::string& out);

// The texts of a compressed record's values, one per column of `columns`
// in order (compressed records are SQL 2008 records), into `row`.
void SetCompressedGridTexts(std::vector<TypedValue>&& values,
                            const std::map<uint16_t, ColumnInfo>& columns,
                            std::vector<std::string>& row);

// One text per table column (ascending column id) for a record of the
// walk; nothing when a compressed record is rejected.
std::optional<std::vector<std::string>> RecordTexts(CMdfDatabase& db, const TableRecordWalk& walk,
                                                    const TableRecord& record);
// The same into `row`, whose strings keep their allocations from one
// record to the next; false (row unspecified) when a compressed record is
// rejected. Safe to call from several threads at once for different rows
// when `messages` is not shared.
bool RecordTexts(const PageStore& store, EngineMessages& messages, const TableRecordWalk& walk,
                 const TableRecord& record, std::vector<std::string>& row);

}  // namespace tollamer
