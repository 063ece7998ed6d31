// Text stored in a file, turned into the program's 8-bit text (UTF-8):
// UTF-16LE (nchar, nvarchar, ntext, names) and 8-bit text in the code page
// of its column's collation (char, varchar, text). Every value of every
// output, grid text or export, goes through these.
#pragma once

#include <string>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

// Converts the UTF-16LE string in `utf16` (up to its first NUL character,
// or all of it) and appends the result to `out`. An odd trailing byte is
// ignored.
void AppendWideAsAnsi(ByteView utf16, std::string& out);

// Appends the 8-bit text `bytes` of a char, varchar or text column stored
// in `code_page` (0: unknown, read as 1252) as UTF-8; see
// platform::AppendCodePageAsUtf8.
//
// Text an ANSI-to-OEM converting client (isql, osql) wrote into a 1252
// column holds OEM bytes: pubs as installed that way keeps "München" as
// 4D 81 6E ... where 0x81 is the ü of code pages 437 and 850. Such a value
// holds bytes 1252 does not define (0x81, 0x8D, 0x8F, 0x90, 0x9D), which no
// 1252 client could have sent; it is read in code page 850 instead.
void AppendNarrowAsUtf8(ByteView bytes, uint16_t code_page, std::string& out);
std::string NarrowAsUtf8(ByteView bytes, uint16_t code_page);
// The same with the code page judged by `judged` (a part of `bytes`) alone.
void AppendNarrowJudgedBy(ByteView bytes, ByteView judged, uint16_t code_page,
                          std::string& out);

// The length of the NUL-terminated 8-bit string at the start of `bytes`,
// at most bytes.size().
size_t NarrowLength(ByteView bytes);
// The bytes before the first NUL byte (all of them when there is none).
ByteView UpToNul(ByteView bytes);

// The number of UTF-16 code units before the first NUL unit (or all whole
// units).
size_t WideLength(ByteView utf16);

}  // namespace tollamer
