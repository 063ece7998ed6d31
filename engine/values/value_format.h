// The text shown in the record grid for one fixed-length column value.
// Offsets are from the start of the record; every read stays inside it, and
// a value the record is too short for gives empty text.
//
//   ID   TYPE              BYTES      TEXT
//   36   uniqueidentifier  16         XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX
//   40   date              3          yyyy-mm-dd (2005 formatter)
//   41   time              3-5        " hh:mm:ss.f" (2005 formatter)
//   42   datetime2         6-8        yyyy-mm-dd hh:mm:ss.f (2005 formatter)
//   43   datetimeoffset    8-10       ... hh:mm:ss.f +hh:mm (2005 formatter)
//   48   tinyint           1          unsigned
//   52   smallint          2          signed
//   56   int               4          signed
//   58   smalldatetime     4          yyyy-mm-dd hh:mm:00 or NULL
//   59   real              4          "%f"
//   60   money             8          four decimals
//   61   datetime          8          yyyy-mm-dd hh:mm:ss.mmm or NULL
//   62   float             8          "%f"
//   98   sql_variant       -          NULL
//   104  bit               bit        0 or 1
//   106  decimal           5/9/13/17  see decimal_text.h
//   108  numeric           5/9/13/17  as decimal
//   122  smallmoney        4          four decimals
//   127  bigint            8          signed 64-bit
//   173  binary            length     0x and two hex digits a byte
//   175  char              length     8-bit text in `code_page`, as UTF-8
//   189  timestamp         8          0x and two hex digits a byte
//   239  nchar             length     UTF-16 text
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/pagestore/byte_view.h"
#include "engine/values/value_types.h"

namespace tollamer {

// SQL 7.0/2000 files. `bit_position` is the bit of the byte at `offset`
// that holds a bit column; `code_page` that of a char column's collation.
std::string FormatValue2000(uint8_t type_id, ByteView record, uint16_t offset,
                            uint8_t bit_position, uint8_t precision, uint8_t scale,
                            uint16_t length, uint16_t code_page = 0);

// SQL 2005/2008 files, which add date, time, datetime2 and datetimeoffset.
std::string FormatValue2005(uint8_t type_id, ByteView record, uint16_t offset,
                            uint8_t precision, uint8_t scale, uint16_t length,
                            uint8_t bit_index, uint16_t code_page = 0);

// Cuts UTF-8 `text` after its first `count` characters.
inline void CutToCharacters(std::string& text, size_t count) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<uint8_t>(text[i]) & 0xC0) == 0x80) continue;  // a continuation byte
    if (seen == count) {
      text.resize(i);
      return;
    }
    ++seen;
  }
}

// One byte as eight '0'/'1' characters, character j being bit j.
std::string ByteToBitString(uint8_t byte);

// Two upper-case hex digits for each byte, and the same after "0x".
void AppendHexDigits(std::string& out, ByteView bytes);
std::string HexText(ByteView bytes);

// The parts both formatters share; empty text when the bytes are short.
std::string UniqueIdentifierText(ByteView bytes);
// char in SQL 2000 files: up to `length` bytes, to the first NUL, read in
// `code_page`, cut before the first run of ten blanks.
std::string CharText2000(ByteView bytes, uint16_t length, uint16_t code_page);
// nchar: UTF-16 up to `length` bytes and the first NUL, cut before the
// first run of ten blanks, at most length / 2 characters.
std::string NCharText(ByteView bytes, uint16_t length);

}  // namespace tollamer
