// The grid text of located column values: fixed values through the value
// formatters, variable values by type (in-row bytes, text pointers,
// off-row values, binary XML), cut to the lengths the grid shows.
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
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/rows/row_reader.h"

namespace tollamer {

// Display limits.
inline constexpr size_t kText2000Chars = 100;
inline constexpr size_t kNText2000Chars = 200;
inline constexpr size_t kLargeText2005Chars = 8000;
inline constexpr size_t kOverflowChars = 800;
inline constexpr size_t kOverflowBytes = 800;
inline constexpr size_t kImageBytes = 4000;

// `record` is the page from the record's offset on.
std::string CellText2000(const PageStore& store, const ColumnInfo& column,
                         const CellLocation& cell, ByteView record);
std::string CellText2005(const PageStore& store, const ColumnInfo& column,
                         const CellLocation& cell, ByteView record);

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
