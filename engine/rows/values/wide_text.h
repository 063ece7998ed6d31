// UTF-16LE text stored in a file, turned into the program's 8-bit text
// (UTF-8).
#pragma once

#include <string>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

// Converts the UTF-16LE string in `utf16` (up to its first NUL character,
// or all of it) and appends the result to `out`. An odd trailing byte is
// ignored.
void AppendWideAsAnsi(ByteView utf16, std::string& out);

// The length of the NUL-terminated 8-bit string at the start of `bytes`,
// at most bytes.size().
size_t NarrowLength(ByteView bytes);

// The number of UTF-16 code units before the first NUL unit (or all whole
// units).
size_t WideLength(ByteView utf16);

}  // namespace tollamer
