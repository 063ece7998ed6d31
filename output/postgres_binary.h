// Rows in PostgreSQL's binary COPY format, each value in the binary form
// of its column's mapped type (type_mapping.h), so that the server parses
// no text. Every integer of the format is big-endian:
//
//   OFFSET  SIZE  FIELD (the stream's header)
//   0       11    signature "PGCOPY\n\377\r\n\0"
//   11      4     flags: 0
//   15      4     length of the header extension: 0
//
//   a row:     int16 field count, then per field int32 length (-1 is NULL)
//              and that many bytes
//   the end:   int16 -1
//
//   TYPE              VALUE BYTES
//   smallint/integer/bigint  the number, 2/4/8 bytes
//   boolean           1 byte, 0 or 1
//   double precision  IEEE 754 binary64
//   numeric           int16 digit count, int16 weight (of the first digit,
//                     in powers of 10000), int16 sign (0 or 0x4000), int16
//                     digits after the point, then the base-10000 digits
//   timestamp         int64 microseconds since 2000-01-01 00:00:00
//   timestamptz       the same, of the UTC time
//   date              int32 days since 2000-01-01
//   time              int64 microseconds since midnight
//   uuid              the 16 bytes in the order of the uuid's text
//   text, bytea       the UTF-8 bytes, the bytes
//
// Each value is the one the server makes of the text that a text COPY
// sends for it (postgres_target.h), rounding included: a fraction of seven
// digits becomes microseconds as the server rounds it, and a real the
// double its shortest text reads as.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/rows/typed_value.h"

namespace tollamer {

inline constexpr std::string_view kPgCopySignature{"PGCOPY\n\377\r\n\0", 11};

enum class PgBinaryType : uint8_t {
  kInt2, kInt4, kInt8, kBool, kFloat8, kNumeric,
  kTimestamp, kTimestampTz, kDate, kTime, kUuid, kText, kBytea,
};

// The binary type of the column's mapped PostgreSQL type.
PgBinaryType PgBinaryTypeOf(const ColumnInfo& column);

// The stream's header, and its end.
void AppendPgCopyHeader(std::string& out);
void AppendPgCopyTrailer(std::string& out);

// Appends the row (one value per type, NULL for those the row lacks).
// False, with `out` as it was, when one of its values has no exact binary
// form (a value of a kind its column does not hold, a date outside the
// years 1 to 9999, ...): the row then goes as text.
bool AppendPgBinaryRow(std::string& out, const std::vector<PgBinaryType>& types,
                       const std::vector<TypedValue>& row);

}  // namespace tollamer
