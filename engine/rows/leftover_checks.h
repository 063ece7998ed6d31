// Whether the bytes of a record found outside the live rows (a ghost, a run
// in a page's free space, a record of a page no longer allocated) hold a
// value every column's type allows. Free space is full of old bytes that
// happen to look like a record header; a run is read as a row only when
// every located column decodes to a value its type can store:
//
//   datetime        days -53690 .. 2958463 (1753-01-01 .. 9999-12-31),
//                   ticks below 300 x 86400
//   smalldatetime   minutes below 1440
//   date, datetime2, datetimeoffset
//                   days since 0001-01-01 at most 3652058 (9999-12-31)
//   time and the    units of 10^-scale seconds below one day
//   time parts
//   datetimeoffset  zone offset -840 .. 840 minutes
//   decimal         sign byte 0 or 1, magnitude below 10^precision
//   real, float     a finite number
//   char, varchar   no NUL byte, at most the column's length
//   nchar, nvarchar whole UTF-16 code units, no unpaired surrogate, no NUL
//   text pointers   16 bytes
//   NOT NULL        never NULL by the null bitmap
#pragma once

#include <vector>

#include "engine/pagestore/byte_view.h"
#include "engine/rows/row_reader_columns.h"

namespace tollamer {

// `record` is the page from the record's offset on, `cells` located against
// `plan`. `off_row_values`: the format keeps values off the row, so a
// complex variable column may hold a pointer to them.
bool LeftoverCellsValid(const std::vector<ColumnPlan>& plan, ByteView record,
                        const std::vector<CellLocation>& cells, bool off_row_values);

// One value of `column` at `offset` of `record`, `length` bytes.
bool FixedValueValid(const ColumnInfo& column, ByteView value);
bool VariableValueValid(const ColumnInfo& column, ByteView value, bool complex,
                        bool off_row_values);

}  // namespace tollamer
