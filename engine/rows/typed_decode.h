// Decoding located column values into typed values: the complete stored
// value of every column (whole text/ntext/image and off-row values, exact
// char values without their pad blanks, numbers and dates as numbers),
// the values the record grid's texts are formatted from as well.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/byte_view.h"
#include "engine/catalog/format_profile.h"
#include "engine/rows/row_reader.h"
#include "engine/rows/typed_value.h"

namespace tollamer {

// A fixed-length value of `column` at `offset` of `record` (for bit
// columns, bit `bit` of that byte). NULL, unreadable, when the record is
// too short or the type is not one of fixed length.
TypedValue DecodeFixedTyped(const ColumnInfo& column, ByteView record, uint16_t offset,
                            uint8_t bit);

// One located cell of a record of a format with `traits`. `record` is the
// page from the record's offset on.
TypedValue DecodeCellTyped(const PageStore& store, const RecordTraits& traits,
                           const ColumnInfo& column, const CellLocation& cell, ByteView record);
// The same into `out`, keeping its text and byte buffers: a row's values
// decoded record after record allocate only when a value outgrows the one
// the record before left there.
void DecodeCellTypedInto(const PageStore& store, const RecordTraits& traits,
                         const ColumnInfo& column, const CellLocation& cell, ByteView record,
                         TypedValue& out);


// Bytes of an 8-bit text column (char, varchar, text) as UTF-8, read in the
// code page of the column's collation (see AppendNarrowAsUtf8), as judged
// by the bytes before a NUL.
std::string NarrowToUtf8(ByteView bytes, uint16_t code_page);

// One value per table column (ascending column id) for a record of the
// walk; nothing when a compressed record is rejected.
std::optional<std::vector<TypedValue>> RecordValues(CMdfDatabase& db, const TableRecordWalk& walk,
                                                    const TableRecord& record);
// The same with the page store and the messages named: safe on several
// threads at once when `messages` is not shared.
std::optional<std::vector<TypedValue>> RecordValues(const PageStore& store,
                                                    EngineMessages& messages,
                                                    const TableRecordWalk& walk,
                                                    const TableRecord& record);
// The same into `row`, reused from one record to the next (its values keep
// their buffers); false when a compressed record is rejected.
bool RecordValuesInto(const PageStore& store, EngineMessages& messages,
                      const TableRecordWalk& walk, const TableRecord& record,
                      std::vector<TypedValue>& row);

}  // namespace tollamer
